#include "path_helper.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QStandardPaths>
#include <QTemporaryDir>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

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

#ifdef Q_OS_UNIX

constexpr QFileDevice::Permissions ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                               QFileDevice::ExeOwner | QFileDevice::ReadUser | QFileDevice::WriteUser |
                                               QFileDevice::ExeUser;

// A real folder (no link) that belongs to this user.
bool isOwnedFolder(const QFileInfo& info)
{
    return !info.isSymLink() && info.isDir() && info.ownerId() == uint(::getuid());
}

// Owned and closed to everybody else.
bool isPrivateFolder(const QString& path)
{
    const QFileInfo info(path);
    return isOwnedFolder(info) && (info.permissions() & ~ownerOnly) == 0;
}

// The session's runtime folder, when it is what it should be: private to the user.
QString runtimeLocation()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (runtime.isEmpty() || !QDir::isAbsolutePath(runtime) || !isPrivateFolder(runtime))
        return {};
    return QDir::cleanPath(runtime);
}

// Where the folder should be. Under the runtime folder the name is ours
// alone; in the shared temporary folder it carries the user id.
QString preferredTemporaryDirectory()
{
    const QString runtime = runtimeLocation();
    if (!runtime.isEmpty())
        return runtime + QStringLiteral("/Velmora");
    return QStandardPaths::writableLocation(QStandardPaths::TempLocation) + QStringLiteral("/Velmora-") +
           QString::number(::getuid());
}

// Makes path a private folder of ours: created owner-only, or an own folder
// closed to others. False when something else holds the name.
bool makePrivateFolder(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink()) {
        QDir().mkpath(info.absolutePath());
        // Created with its final permissions: there is no moment when others may enter.
        if (!QDir().mkdir(path, ownerOnly) && !QFileInfo(path).isDir())
            return false;
    }
    const QFileInfo created(path);
    if (!isOwnedFolder(created))
        return false;
    if ((created.permissions() & ~ownerOnly) != 0 && !QFile::setPermissions(path, ownerOnly))
        return false;
    return isPrivateFolder(path);
}

// When the preferred name is taken by someone else, a fresh private folder
// serves this process instead, one per preferred name.
QHash<QString, QString>& replacementFolders()
{
    static QHash<QString, QString> folders;
    return folders;
}

#endif

} // namespace

QString PathHelper::getWallpapersDirectory()
{
    return ensureDirectory(configLocation() + QStringLiteral("/wallpapers"));
}

QString PathHelper::getHistoryDirectory()
{
    return ensureDirectory(configLocation() + QStringLiteral("/history"));
}

QString PathHelper::getFavouritesDirectory()
{
    return ensureDirectory(configLocation() + QStringLiteral("/favourites"));
}

QString PathHelper::getCategoriesCachePath()
{
    return ensureDirectory(cacheLocation()) + QStringLiteral("/categories_cache.json");
}

QString PathHelper::getThumbnailsCacheDirectory()
{
    return ensureDirectory(cacheLocation() + QStringLiteral("/thumbnails"));
}

QString PathHelper::monitorFolderPath(const QString& wallpapersDirectory, const QString& screenId)
{
    return wallpapersDirectory + QLatin1Char('/') + screenId;
}

QString PathHelper::monitorLogPath(const QString& historyDirectory, const QString& screenId)
{
    return historyDirectory + QLatin1Char('/') + screenId + QStringLiteral(".log");
}

#ifdef Q_OS_UNIX

QString PathHelper::getTemporaryDirectory()
{
    const QString preferred = preferredTemporaryDirectory();
    const QString replacement = replacementFolders().value(preferred);
    if (!replacement.isEmpty() && isPrivateFolder(replacement))
        return replacement;
    if (makePrivateFolder(preferred))
        return preferred;
    // Someone else's folder, a link or a file holds the name: never write there.
    QTemporaryDir fresh(preferred + QStringLiteral("-XXXXXX"));
    fresh.setAutoRemove(false);
    if (!fresh.isValid()) {
        qDebug() << "[ERROR] Dossier temporaire privé impossible à créer:" << preferred;
        return preferred;
    }
    qDebug() << "[ERROR] Dossier temporaire" << preferred << "n'appartient pas à l'utilisateur; remplacé par"
             << fresh.path();
    replacementFolders().insert(preferred, fresh.path());
    return fresh.path();
}

QString PathHelper::existingTemporaryDirectory()
{
    const QString preferred = preferredTemporaryDirectory();
    const QString replacement = replacementFolders().value(preferred);
    if (!replacement.isEmpty() && isPrivateFolder(replacement))
        return replacement;
    return isOwnedFolder(QFileInfo(preferred)) ? preferred : QString();
}

#else

QString PathHelper::getTemporaryDirectory()
{
    // The user's own temporary folder is private to the user already.
    return ensureDirectory(QStandardPaths::writableLocation(QStandardPaths::TempLocation) + QStringLiteral("/Velmora"));
}

QString PathHelper::existingTemporaryDirectory()
{
    const QString path = QStandardPaths::writableLocation(QStandardPaths::TempLocation) + QStringLiteral("/Velmora");
    const QFileInfo info(path);
    return !info.isSymLink() && info.isDir() ? path : QString();
}

#endif
