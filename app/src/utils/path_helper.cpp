#include "path_helper.h"

#include <QDir>
#include <QStandardPaths>

namespace {

QString ensureDirectory(const QString& path)
{
    QDir().mkpath(path);
    return path;
}

QString configLocation()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
}

QString cacheLocation()
{
    return QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
}

} // namespace

QString PathHelper::getWallpapersDirectory()
{
    return ensureDirectory(configLocation() + QStringLiteral("/wallpapers"));
}

QString PathHelper::getHistoryDirectory()
{
    return ensureDirectory(configLocation() + QStringLiteral("/history"));
}

QString PathHelper::getCategoriesCachePath()
{
    return ensureDirectory(cacheLocation()) + QStringLiteral("/categories_cache.json");
}

QString PathHelper::getThumbnailsCacheDirectory()
{
    return ensureDirectory(cacheLocation() + QStringLiteral("/thumbnails"));
}

QString PathHelper::getTemporaryDirectory()
{
    // Not created here: every writer creates it right before writing.
    return QStandardPaths::writableLocation(QStandardPaths::TempLocation) + QStringLiteral("/Velmora");
}
