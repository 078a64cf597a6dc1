#include "thumbnail_cache.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QSaveFile>

namespace {

constexpr qsizetype memoryBudget = 32 * 1024 * 1024;

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

} // namespace

ThumbnailCache::ThumbnailCache(QString folder, int width)
    : m_folder(std::move(folder)), m_width(width), m_memory(memoryBudget)
{
}

ThumbnailCache::Result ThumbnailCache::thumbnail(const LibraryPicture& picture)
{
    if (const Entry* hot = m_memory.object(picture.fileName)) {
        if (hot->sourceModified == picture.modified && hot->sourceSize == picture.size)
            return {hot->data, hot->mimeType, {}, {}};
    }

    const QByteArray format = thumbnailFormat(picture.fileName);
    const QString suffix = QFileInfo(picture.fileName).suffix().toLower();
    const bool sameFormat = format == suffix.toLatin1() || (format == "jpeg" && suffix == QLatin1String("jpg"));
    const QString cachePath =
        m_folder + QLatin1Char('/') + picture.fileName + (sameFormat ? QString() : QStringLiteral(".png"));

    Result result;
    const QFileInfo cached(cachePath);
    QFile file(cachePath);
    if (cached.exists() && cached.lastModified() >= picture.modified && file.open(QIODevice::ReadOnly)) {
        result.data = file.readAll();
        result.mimeType = LibraryScanner::mimeTypeForFormat(format);
    }
    if (result.data.isEmpty())
        result = make(picture, cachePath, format);
    if (!result.ok())
        return result;

    auto* entry = new Entry{result.data, result.mimeType, picture.modified, picture.size};
    m_memory.insert(picture.fileName, entry, std::max<qsizetype>(1, result.data.size()));
    return result;
}

ThumbnailCache::Result ThumbnailCache::make(const LibraryPicture& picture, const QString& cachePath,
                                            const QByteArray& format) const
{
    Result result;
    QImageReader reader(picture.path);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (size.isValid() && size.width() > m_width)
        reader.setScaledSize(QSize(m_width, std::max(1, int(qint64(size.height()) * m_width / size.width()))));
    const QImage image = reader.read();
    if (image.isNull()) {
        result.error = QStringLiteral("cannot decode %1: %2").arg(picture.fileName, reader.errorString());
        return result;
    }

    QBuffer buffer(&result.data);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(85);
    if (!writer.write(image)) {
        result.error =
            QStringLiteral("cannot encode the thumbnail of %1: %2").arg(picture.fileName, writer.errorString());
        return result;
    }
    result.mimeType = LibraryScanner::mimeTypeForFormat(format);

    // A cache that cannot be written only costs time: the thumbnail is still served.
    QDir().mkpath(m_folder);
    QSaveFile save(cachePath);
    if (!save.open(QIODevice::WriteOnly) || save.write(result.data) != result.data.size() || !save.commit())
        result.cacheError = QStringLiteral("cannot write %1: %2").arg(cachePath, save.errorString());
    return result;
}
