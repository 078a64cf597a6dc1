#include "categories_cache.h"

#include "safe_file.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QVariant>

namespace {

// QSaveFile writes through a symbolic link to its target; a link in one of
// our folders is removed instead, so that the new file takes its place.
bool openReplacing(QSaveFile& file)
{
    const QFileInfo info(file.fileName());
    if (info.isSymLink() && !QFile::remove(file.fileName()))
        return false;
    return file.open(QIODevice::WriteOnly);
}

} // namespace

bool CategoriesCache::read(const QString& path, CategoriesCacheData& data)
{
    // A link could lead out of the cache folder, a device or pipe never ends.
    const SafeFile::Result file = SafeFile::readAll(path, maxFileBytes);
    if (file.status != SafeFile::Status::Read)
        return false;
    const QJsonObject object = QJsonDocument::fromJson(file.data).object();
    data.categories = object.value(QLatin1String("categories")).toArray();
    data.timestamp = object.value(QLatin1String("timestamp")).toVariant().toLongLong();
    data.thumbnails.clear();
    const QJsonObject thumbnails = object.value(QLatin1String("thumbnails")).toObject();
    for (auto it = thumbnails.constBegin(); it != thumbnails.constEnd(); ++it)
        data.thumbnails.insert(it.key(), it.value().toString());
    return true;
}

bool CategoriesCache::write(const QString& path, const CategoriesCacheData& data)
{
    QJsonObject thumbnails;
    for (auto it = data.thumbnails.cbegin(); it != data.thumbnails.cend(); ++it)
        thumbnails.insert(it.key(), it.value());
    QJsonObject object;
    object.insert(QLatin1String("categories"), data.categories);
    object.insert(QLatin1String("timestamp"), data.timestamp);
    object.insert(QLatin1String("thumbnails"), thumbnails);

    QSaveFile file(path);
    if (!openReplacing(file))
        return false;
    file.write(QJsonDocument(object).toJson(QJsonDocument::Indented));
    return file.commit();
}

bool saveImageFile(const QImage& image, const QString& path, ImageFileWrite mode)
{
    if (image.isNull())
        return false;
    const QByteArray format = QFileInfo(path).suffix().toLower().toLatin1();
    if (mode == ImageFileWrite::Plain) {
        if (QFileInfo(path).isSymLink() && !QFile::remove(path))
            return false;
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return false;
        if (QImageWriter(&file, format).write(image))
            return true;
        file.close();
        file.remove();
        return false;
    }
    QSaveFile file(path);
    if (!openReplacing(file))
        return false;
    QImageWriter writer(&file, format);
    if (!writer.write(image)) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}
