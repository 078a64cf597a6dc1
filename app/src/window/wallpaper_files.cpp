// Filing applied images per monitor, and the housekeeping of wallpaper files.

#include "modern_window.h"

#include "core/change_log.h"
#include "core/file_housekeeping.h"
#include "core/history_filing.h"
#include "core/service_file_name.h"
#include "utils/path_helper.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QStandardPaths>

namespace {

constexpr int maxCacheFiles = 100;
const QString compositeFileName = QStringLiteral("composite_wallpaper.bmp");

} // namespace

QString ModernWindow::copyImageToWallpapers(const QString& sourcePath, int screenIndex)
{
    return fileIntoScreenFolder(sourcePath,
                                PathHelper::monitorFolderPath(getWallpapersDirectory(), getScreenUniqueId(screenIndex)),
                                PathHelper::getTemporaryDirectory());
}

void ModernWindow::cleanupOldWallpapers(int screenIndex, const QString& currentFilePath)
{
    FileHousekeeping::deleteAllFilesExcept(
        PathHelper::monitorFolderPath(getWallpapersDirectory(), getScreenUniqueId(screenIndex)), currentFilePath);
}

void ModernWindow::cleanupAllWallpapers()
{
    // Folders of monitors that are not connected now are left alone.
    const int screenCount = int(QGuiApplication::screens().size());
    for (int screen = 0; screen < screenCount; ++screen) {
        const QString screenId = getScreenUniqueId(screen);
        const QString screenDir = PathHelper::monitorFolderPath(getWallpapersDirectory(), screenId);
        const LastLogEntry last = ChangeLog::lastEntry(PathHelper::monitorLogPath(getHistoryDirectory(), screenId));
        // A log that is there but cannot be read or understood may still name
        // the picture on the desktop: its folder stays as it is.
        if (last.state == LastLogEntry::State::Unusable) {
            qDebug() << "[INIT] Journal de l'écran" << screenId << "inutilisable (" << last.reason
                     << "), dossier conservé:" << screenDir;
            continue;
        }
        const QString current = getCurrentWallpaperFromLog(screen);
        if (!current.isEmpty()) {
            cleanupOldWallpapers(screen, current);
            continue;
        }
        FileHousekeeping::removeFolder(screenDir);
    }
}

void ModernWindow::cleanupTemporaryFiles()
{
    // Only a folder that is ours: a foreign one, or a link, is not cleaned.
    const QString folder = PathHelper::existingTemporaryDirectory();
    if (!folder.isEmpty())
        FileHousekeeping::deleteImagesExcept(folder, compositeFileName);
}

void ModernWindow::cleanupTemporaryFilesThen(std::function<void()> done)
{
    const QString folder = PathHelper::existingTemporaryDirectory();
    filingJobs.run(
        this,
        [folder] {
            if (!folder.isEmpty())
                FileHousekeeping::deleteImagesExcept(folder, compositeFileName);
            return true;
        },
        [done = std::move(done)](bool) { done(); });
}

void ModernWindow::cleanupThumbnailCache()
{
    // Not PathHelper's getter: that one would create a missing folder.
    FileHousekeeping::keepNewestFiles(
        QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + QStringLiteral("/thumbnails"), maxCacheFiles);
}
