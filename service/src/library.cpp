#include "library.h"

#include "core/service_file_name.h"
#include "safe_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>

#include <atomic>
#include <thread>
#include <vector>

namespace {

constexpr qsizetype maxCategoryIdLength = 64;
constexpr qint64 maxCategoryJsonSize = 64 * 1024;

const QDir::Filters everyEntry = QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System;

// JPEG, PNG and GIF, which Qt always reads, by their signatures; empty for
// anything else, which an image plugin must recognise.
QByteArray formatBySignature(const QByteArray& head)
{
    if (head.startsWith("\xFF\xD8\xFF"))
        return QByteArrayLiteral("jpeg");
    if (head.startsWith("\x89PNG\r\n\x1A\n"))
        return QByteArrayLiteral("png");
    if (head.startsWith("GIF87a") || head.startsWith("GIF89a"))
        return QByteArrayLiteral("gif");
    return {};
}

struct CategoryMeta
{
    QString name;
    QString thumbnail;
};

class Scan
{
public:
    explicit Scan(LibrarySnapshot& snapshot) : m_snapshot(snapshot) {}

    void category(const QFileInfo& folder)
    {
        LibraryCategory category;
        category.id = folder.fileName();
        const CategoryMeta meta = readMeta(folder.absoluteFilePath());
        category.name = meta.name.isEmpty() ? category.id : meta.name;
        m_snapshot.folders << folder.absoluteFilePath();

        const QFileInfoList entries = QDir(folder.absoluteFilePath()).entryInfoList(everyEntry, QDir::Name);
        for (const QFileInfo& entry : entries) {
            const QString name = entry.fileName();
            if (name.startsWith(QLatin1Char('.')) || name == QLatin1String("category.json"))
                continue;
            const QDate date = QDate::fromString(name, QStringLiteral("yyyy-MM-dd"));
            if (!entry.isDir() || entry.isSymLink() || !date.isValid() || name.size() != 10) {
                problem(entry, QStringLiteral("not a date folder (yyyy-MM-dd)"));
                continue;
            }
            m_snapshot.folders << entry.absoluteFilePath();
            QStringList names = datePictures(entry, category.id, date);
            if (!names.isEmpty())
                category.dates.insert(date, names);
        }
        m_wantedThumbnails.insert(category.id, meta.thumbnail);
        m_snapshot.categories << category;
    }

    // Runs once every category is known, since a category may show any picture of the library.
    void resolveThumbnails()
    {
        for (LibraryCategory& category : m_snapshot.categories) {
            const QString wanted = m_wantedThumbnails.value(category.id);
            if (!wanted.isEmpty() && m_snapshot.pictures.contains(wanted)) {
                category.thumbnail = wanted;
                continue;
            }
            if (!wanted.isEmpty())
                m_snapshot.problems << QStringLiteral("%1/category.json: thumbnail %2 is not a published picture")
                                           .arg(category.id, wanted);
            if (!category.dates.isEmpty())
                category.thumbnail = category.dates.last().constFirst();
        }
    }

    QString wantedThumbnail(const QString& categoryId) const { return m_wantedThumbnails.value(categoryId); }
    void wantThumbnail(const QString& categoryId, const QString& name) { m_wantedThumbnails.insert(categoryId, name); }

    void problem(const QFileInfo& entry, const QString& why)
    {
        m_snapshot.problems << QDir(m_snapshot.root).relativeFilePath(entry.absoluteFilePath()) + QStringLiteral(": ") +
                                   why;
    }

private:
    QStringList datePictures(const QFileInfo& folder, const QString& categoryId, const QDate& date)
    {
        QStringList names;
        const QFileInfoList entries = QDir(folder.absoluteFilePath()).entryInfoList(everyEntry, QDir::Name);
        const SafeFile::Descriptor folderFd =
            SafeFile::openFolder(m_snapshot.root, categoryId + QLatin1Char('/') + folder.fileName(), nullptr);
        for (const QFileInfo& entry : entries) {
            const QString name = entry.fileName();
            if (name.startsWith(QLatin1Char('.')))
                continue;
            if (!entry.isFile() || entry.isSymLink()) {
                problem(entry, QStringLiteral("not a regular file"));
                continue;
            }
            if (!LibraryScanner::isPublishableFileName(name)) {
                problem(entry, QStringLiteral("file name not publishable"));
                continue;
            }
            // Opened without following links: the entry may have changed since it was listed.
            const QString relative = categoryId + QLatin1Char('/') + folder.fileName() + QLatin1Char('/') + name;
            FileStamp stamp;
            const std::unique_ptr<QFile> file =
                folderFd.isValid() ? SafeFile::openRegularIn(folderFd.get(), name, &stamp, nullptr) : nullptr;
            if (!file) {
                problem(entry, QStringLiteral("not a regular file"));
                continue;
            }
            // The usual formats by their first bytes: a hundred thousand pictures
            // are indexed in moments, not after a trip through every image plugin.
            QByteArray format = formatBySignature(file->peek(12));
            if (format.isEmpty()) {
                QImageReader reader(file.get());
                reader.setDecideFormatFromContent(true);
                if (!reader.canRead()) {
                    problem(entry, QStringLiteral("unreadable image: ") + reader.errorString());
                    continue;
                }
                format = reader.format();
            }
            const auto existing = m_snapshot.pictures.constFind(name);
            if (existing != m_snapshot.pictures.constEnd()) {
                problem(entry, QStringLiteral("file name already published by ") +
                                   QDir(m_snapshot.root).relativeFilePath(existing->path));
                continue;
            }
            LibraryPicture picture;
            picture.fileName = name;
            picture.path = entry.absoluteFilePath();
            picture.relativePath = relative;
            picture.mimeType = LibraryScanner::mimeTypeForFormat(format);
            picture.categoryId = categoryId;
            picture.date = date;
            picture.size = stamp.size;
            picture.modified = QDateTime::fromMSecsSinceEpoch(stamp.modifiedNs / 1'000'000);
            m_snapshot.pictures.insert(name, picture);
            names << name;
        }
        return names;
    }

    CategoryMeta readMeta(const QString& folder)
    {
        CategoryMeta meta;
        const QFileInfo info(folder + QStringLiteral("/category.json"));
        if (!info.exists() && !info.isSymLink())
            return meta;
        // Never through a link, never a FIFO or device, never more than the cap.
        QByteArray contents;
        QString error;
        if (!SafeFile::readSmallFile(m_snapshot.root, QDir(m_snapshot.root).relativeFilePath(info.absoluteFilePath()),
                                     maxCategoryJsonSize, &contents, &error)) {
            problem(info, QStringLiteral("cannot read category.json (a regular file of at most %1 bytes)")
                              .arg(maxCategoryJsonSize));
            return meta;
        }
        QJsonParseError parseError;
        const QJsonDocument document = QJsonDocument::fromJson(contents, &parseError);
        if (parseError.error != QJsonParseError::NoError || !document.isObject()) {
            problem(info, QStringLiteral("not a JSON object"));
            return meta;
        }
        const QJsonObject object = document.object();
        meta.name = object.value(QLatin1String("name")).toString().trimmed();
        meta.thumbnail = object.value(QLatin1String("thumbnail")).toString();
        return meta;
    }

    LibrarySnapshot& m_snapshot;
    QHash<QString, QString> m_wantedThumbnails;
};

} // namespace

LibrarySnapshot LibraryScanner::scan(const QString& rootPath)
{
    LibrarySnapshot snapshot;
    snapshot.root = QDir(rootPath).absolutePath();
    snapshot.folders << snapshot.root;
    Scan scan(snapshot);

    // The root's entries in name order: a line for each that is no category,
    // or the category's own scan. Categories are scanned on every core, each
    // into a snapshot of its own; they are merged in order, so that of two
    // pictures of one name the first in the library's order is published.
    struct Item
    {
        QString problem;
        QFileInfo folder;
        LibrarySnapshot part;
        QString wantedThumbnail;
    };
    std::vector<Item> items;
    const QFileInfoList entries = QDir(snapshot.root).entryInfoList(everyEntry, QDir::Name);
    for (const QFileInfo& entry : entries) {
        const QString name = entry.fileName();
        if (name.startsWith(QLatin1Char('.')))
            continue;
        Item item;
        if (!entry.isDir() || entry.isSymLink())
            item.problem = QStringLiteral("not a category folder");
        else if (!isValidCategoryId(name))
            item.problem = QStringLiteral("category folder name not usable as an id");
        item.folder = entry;
        items.push_back(std::move(item));
    }
    std::atomic<size_t> next{0};
    const auto work = [&] {
        for (size_t i = next++; i < items.size(); i = next++) {
            Item& item = items[i];
            if (!item.problem.isEmpty())
                continue;
            item.part.root = snapshot.root;
            Scan part(item.part);
            part.category(item.folder);
            item.wantedThumbnail = part.wantedThumbnail(item.folder.fileName());
        }
    };
    {
        std::vector<std::jthread> workers;
        for (int i = 1; i < std::min(QThread::idealThreadCount(), int(items.size())); ++i)
            workers.emplace_back(work);
        work();
    }
    for (Item& item : items) {
        if (!item.problem.isEmpty()) {
            scan.problem(item.folder, item.problem);
            continue;
        }
        LibrarySnapshot& part = item.part;
        snapshot.folders += part.folders;
        snapshot.problems += part.problems;
        LibraryCategory category = part.categories.constFirst();
        for (auto date = category.dates.begin(); date != category.dates.end();) {
            QStringList kept;
            for (const QString& name : std::as_const(date.value())) {
                const LibraryPicture& picture = part.pictures[name];
                const auto existing = snapshot.pictures.constFind(name);
                if (existing != snapshot.pictures.constEnd()) {
                    snapshot.problems << picture.relativePath + QStringLiteral(": file name already published by ") +
                                             QDir(snapshot.root).relativeFilePath(existing->path);
                    continue;
                }
                snapshot.pictures.insert(name, picture);
                kept << name;
            }
            if (kept.isEmpty()) {
                date = category.dates.erase(date);
            } else {
                date.value() = kept;
                ++date;
            }
        }
        scan.wantThumbnail(category.id, item.wantedThumbnail);
        snapshot.categories << category;
    }
    scan.resolveThumbnails();
    for (const QString& folder : std::as_const(snapshot.folders))
        snapshot.changedMs = std::max(snapshot.changedMs, QFileInfo(folder).lastModified().toMSecsSinceEpoch());
    for (const LibraryCategory& category : std::as_const(snapshot.categories)) {
        const QFileInfo meta(snapshot.root + QLatin1Char('/') + category.id + QStringLiteral("/category.json"));
        if (meta.isFile() && !meta.isSymLink())
            snapshot.changedMs = std::max(snapshot.changedMs, meta.lastModified().toMSecsSinceEpoch());
    }
    return snapshot;
}

bool LibraryScanner::isValidCategoryId(const QString& id)
{
    if (id.isEmpty() || id.size() > maxCategoryIdLength || !id.front().isLetterOrNumber() ||
        !id.back().isLetterOrNumber())
        return false;
    for (const QChar c : id) {
        if (!c.isLetterOrNumber() && c != QLatin1Char('-') && c != QLatin1Char('_') && c != QLatin1Char('.') &&
            c != QLatin1Char(' '))
            return false;
    }
    return true;
}

bool LibraryScanner::isPublishableFileName(const QString& name)
{
    static const QStringList suffixes = {QStringLiteral("jpg"),  QStringLiteral("jpeg"), QStringLiteral("png"),
                                         QStringLiteral("webp"), QStringLiteral("bmp"),  QStringLiteral("gif")};
    if (!isSafeServiceFileName(name) || name.startsWith(QLatin1Char('.')))
        return false;
    // The program puts the name into a URL path unencoded: these would change its meaning.
    if (name.contains(QLatin1Char('#')) || name.contains(QLatin1Char('%')))
        return false;
    return suffixes.contains(QFileInfo(name).suffix().toLower());
}

QByteArray LibraryScanner::mimeTypeForFormat(const QByteArray& format)
{
    const QByteArray lower = format.toLower();
    if (lower == "jpg" || lower == "jpeg")
        return QByteArrayLiteral("image/jpeg");
    if (lower == "png" || lower == "webp" || lower == "bmp" || lower == "gif")
        return QByteArrayLiteral("image/") + lower;
    return QByteArrayLiteral("application/octet-stream");
}
