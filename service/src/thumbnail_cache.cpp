#include "thumbnail_cache.h"

#include <QBuffer>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qsizetype memoryBudget = 32 * 1024 * 1024;
// Thumbnails are a few dozen KiB; anything far larger in the cache is not ours.
constexpr qint64 maxCachedFileSize = 4 * 1024 * 1024;
const QByteArray cacheFolderName = QByteArrayLiteral(".mini");
const QByteArray cacheMagic = QByteArrayLiteral("velmora-thumbnail 1");

// Thumbnails keep the picture's format when it can be written, so the
// program can store them under the picture's name; otherwise PNG.
QByteArray thumbnailFormat(const QString& fileName)
{
    QByteArray format = QFileInfo(fileName).suffix().toLower().toLatin1();
    if (format == "jpg")
        format = "jpeg";
    static const QList<QByteArray> writable = QImageWriter::supportedImageFormats();
    return writable.contains(format) ? format : QByteArrayLiteral("png");
}

QByteArray stampLine(const FileStamp& stamp, const QByteArray& mimeType)
{
    return cacheMagic + ' ' + QByteArray::number(stamp.size) + ' ' + QByteArray::number(stamp.modifiedNs) + ' ' +
           QByteArray::number(stamp.inode) + ' ' + QByteArray::number(stamp.device) + ' ' + mimeType + '\n';
}

// The cache folder as a descriptor, made when missing; a link, file or other
// thing in its place is removed first. note tells the operator what was done.
SafeFile::Descriptor openCacheFolder(int root, QString* note)
{
    for (int attempt = 0; attempt < 3; ++attempt) {
        SafeFile::Descriptor folder(
            ::openat(root, cacheFolderName.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (folder.isValid())
            return folder;
        const int error = errno;
        if (error == ENOENT) {
            if (::mkdirat(root, cacheFolderName.constData(), 0755) != 0 && errno != EEXIST)
                break;
        } else if (error == ELOOP || error == ENOTDIR) {
            if (::unlinkat(root, cacheFolderName.constData(), 0) != 0)
                break;
            *note = QStringLiteral(".mini was not a folder (a link or a file): replaced");
        } else {
            break;
        }
    }
    *note = QStringLiteral("cannot make the thumbnail folder .mini: ") + SafeFile::systemError(errno);
    return {};
}

// The cached thumbnail of a picture with this stamp, if the folder holds one.
bool readCached(int folder, const QByteArray& name, const FileStamp& stamp, ThumbnailCache::Result* result)
{
    FileStamp cachedStamp;
    SafeFile::Descriptor fd = SafeFile::openRegularAt(folder, name, &cachedStamp, nullptr);
    if (!fd.isValid() || cachedStamp.size > maxCachedFileSize)
        return false;
    QFile file;
    if (!file.open(fd.get(), QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        return false;
    fd.release();
    const QByteArray contents = file.read(maxCachedFileSize);
    const qsizetype lineEnd = contents.indexOf('\n');
    if (lineEnd < 0)
        return false;
    const QList<QByteArray> fields = contents.left(lineEnd).split(' ');
    if (fields.size() != 7 || !contents.startsWith(QByteArray(cacheMagic + ' ')))
        return false;
    const QByteArray mimeType = fields.at(6);
    if (contents.left(lineEnd + 1) != stampLine(stamp, mimeType) || lineEnd + 1 >= contents.size())
        return false;
    result->data = contents.mid(lineEnd + 1);
    result->mimeType = mimeType;
    return true;
}

// Written beside and renamed into place: a reader never sees half a file,
// and a link of that name is replaced, never written through.
QString writeCached(int folder, const QByteArray& name, const QByteArray& contents)
{
    const QByteArray temporary =
        QByteArrayLiteral(".tmp-") + QByteArray::number(QRandomGenerator::global()->generate64(), 16);
    SafeFile::Descriptor fd(
        ::openat(folder, temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (!fd.isValid())
        return SafeFile::systemError(errno);
    qsizetype written = 0;
    while (written < contents.size()) {
        const ssize_t n = ::write(fd.get(), contents.constData() + written, size_t(contents.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const QString error = SafeFile::systemError(errno);
            ::unlinkat(folder, temporary.constData(), 0);
            return error;
        }
        written += n;
    }
    fd = SafeFile::Descriptor();
    if (::renameat(folder, temporary.constData(), folder, name.constData()) != 0) {
        const QString error = SafeFile::systemError(errno);
        ::unlinkat(folder, temporary.constData(), 0);
        return error;
    }
    return {};
}

struct Job
{
    FileStamp stamp;
    ThumbnailCache::Result result;
};

// A picture written less than this long ago may be in the middle of its writing.
constexpr qint64 settleNs = 1'000'000'000;

// The picture in source, decoded at thumbnail size; null with error when it cannot be.
// final: the picture says it is too large, whatever else happens to the file.
QImage readSmall(QFile* source, const QString& fileName, const ThumbnailSettings& settings, QString* error, bool* final)
{
    QImageReader reader(source);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (!size.isValid()) {
        *error = QStringLiteral("cannot decode %1: %2").arg(fileName, reader.errorString());
        return {};
    }
    if (qint64(size.width()) * size.height() > settings.maxPixels) {
        *error = QStringLiteral("%1 is %2 x %3 pixels, above the limit of %4 pixels (--max-picture-pixels)")
                     .arg(fileName)
                     .arg(size.width())
                     .arg(size.height())
                     .arg(settings.maxPixels);
        *final = true;
        return {};
    }
    // JPEG decodes straight at the smaller size.
    if (size.width() > settings.width)
        reader.setScaledSize(
            QSize(settings.width, std::max(1, int(qint64(size.height()) * settings.width / size.width()))));
    const QImage image = reader.read();
    if (image.isNull())
        *error = QStringLiteral("cannot decode %1: %2").arg(fileName, reader.errorString());
    return image;
}

// Runs on a worker thread.
Job make(const QString& root, const LibraryPicture& picture, const FileStamp& expected,
         const ThumbnailSettings& settings)
{
    Job job;
    job.stamp = expected;
    ThumbnailCache::Result& result = job.result;
    const QByteArray cacheName = QFile::encodeName(ThumbnailCache::cacheName(picture.fileName));
    const SafeFile::Descriptor rootFolder = SafeFile::openFolder(root, {}, &result.error);
    if (!rootFolder.isValid())
        return job;
    const SafeFile::Descriptor cache = openCacheFolder(rootFolder.get(), &result.note);
    if (cache.isValid() && readCached(cache.get(), cacheName, expected, &result))
        return job;

    FileStamp opened;
    FileStamp previous;
    QImage image;
    for (int attempt = 0;; ++attempt) {
        result.error.clear();
        const std::unique_ptr<QFile> source = SafeFile::openRegular(root, picture.relativePath, &opened, &result.error);
        if (!source)
            return job;
        job.stamp = opened;
        bool final = false;
        image = readSmall(source.get(), picture.fileName, settings, &result.error, &final);
        // A picture rewritten while it was read decodes as garbage or not at
        // all, through no fault of its own: it is read once more, and a
        // failure is the picture's only if the same file fails twice and has
        // been left alone for a while (file times are too coarse to show
        // every write).
        const FileStamp after = SafeFile::stampOfDescriptor(source->handle());
        const bool stable = after == opened;
        const qint64 ageNs = QDateTime::currentMSecsSinceEpoch() * 1'000'000 - after.modifiedNs;
        if (final || (stable && !image.isNull()) ||
            (stable && attempt > 0 && opened == previous && std::abs(ageNs) >= settleNs))
            break;
        if (attempt > 0) {
            result.error = QStringLiteral("%1 changed while it was read").arg(picture.fileName);
            result.transient = true;
            return job;
        }
        previous = opened;
    }
    if (image.isNull())
        return job;

    const QByteArray format = thumbnailFormat(picture.fileName);
    QBuffer buffer(&result.data);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(85);
    if (!writer.write(image)) {
        result.data.clear();
        result.error =
            QStringLiteral("cannot encode the thumbnail of %1: %2").arg(picture.fileName, writer.errorString());
        return job;
    }
    result.mimeType = LibraryScanner::mimeTypeForFormat(format);

    // A cache that cannot be written only costs time: the thumbnail is still served.
    if (cache.isValid()) {
        const QString error = writeCached(cache.get(), cacheName, stampLine(opened, result.mimeType) + result.data);
        if (!error.isEmpty())
            result.note = QStringLiteral("cannot write the thumbnail of %1: %2").arg(picture.fileName, error);
    }
    return job;
}

} // namespace

ThumbnailCache::ThumbnailCache(QString libraryRoot, ThumbnailSettings settings, QObject* parent)
    : QObject(parent), m_root(std::move(libraryRoot)), m_settings(settings), m_memory(memoryBudget)
{
    m_pool.setMaxThreadCount(std::max(1, m_settings.workers));
    // Decoders refuse to allocate more than this; sized for the largest picture accepted.
    const qint64 neededMiB = m_settings.maxPixels * 4 / (1024 * 1024) + 1;
    if (neededMiB > QImageReader::allocationLimit())
        QImageReader::setAllocationLimit(int(std::min<qint64>(neededMiB, 4096)));
}

ThumbnailCache::~ThumbnailCache()
{
    m_pool.waitForDone();
}

QString ThumbnailCache::folder() const
{
    return m_root + QLatin1Char('/') + QString::fromLatin1(cacheFolderName);
}

QString ThumbnailCache::prepareFolder()
{
    QString note;
    const SafeFile::Descriptor root = SafeFile::openFolder(m_root, {}, &note);
    if (root.isValid())
        openCacheFolder(root.get(), &note);
    return note;
}

QString ThumbnailCache::cacheName(const QString& pictureName)
{
    // Appending one fixed suffix keeps distinct names distinct.
    return pictureName + QStringLiteral(".thumbnail");
}

void ThumbnailCache::waitForWorkers()
{
    m_pool.waitForDone();
}

void ThumbnailCache::thumbnail(const LibraryPicture& picture, QObject* receiver, Callback done)
{
    const FileStamp stamp = SafeFile::stampOf(m_root, picture.relativePath);
    if (!stamp.isValid()) {
        Result gone;
        gone.error = QStringLiteral("%1 is no longer a regular file").arg(picture.relativePath);
        done(gone);
        return;
    }
    if (const Entry* hot = m_memory.object(picture.fileName); hot && hot->stamp == stamp) {
        done(hot->result);
        return;
    }
    if (const auto failed = m_failed.constFind(picture.fileName);
        failed != m_failed.constEnd() && failed->stamp == stamp) {
        Result remembered = failed->result;
        remembered.error += QStringLiteral(" (remembered until the picture changes)");
        done(remembered);
        return;
    }

    QList<Waiter>& waiters = m_waiting[picture.fileName];
    waiters << Waiter{receiver, std::move(done)};
    if (waiters.size() > 1)
        return;
    m_pool.start([this, root = m_root, picture, stamp, settings = m_settings] {
        const Job job = make(root, picture, stamp, settings);
        QMetaObject::invokeMethod(
            this, [this, name = picture.fileName, job] { finished(name, job.stamp, job.result); },
            Qt::QueuedConnection);
    });
}

void ThumbnailCache::finished(const QString& name, const FileStamp& stamp, const Result& result)
{
    if (result.ok()) {
        m_failed.remove(name);
        Result kept = result;
        kept.note.clear();
        m_memory.insert(name, new Entry{stamp, kept}, std::max<qsizetype>(1, result.data.size()));
    } else if (!result.transient) {
        m_failed.insert(name, Entry{stamp, result});
    }
    const QList<Waiter> waiters = m_waiting.take(name);
    for (const Waiter& waiter : waiters) {
        if (waiter.receiver)
            waiter.done(result);
    }
}
