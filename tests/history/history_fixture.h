#pragma once

#include "fake_platform.h"
#include "test_window.h"

#include "modern_window.h"
#include "utils/path_helper.h"
#include "widgets/screen_selector.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include <memory>

// Reaches the window's history and housekeeping members.
class ModernWindowTestAccess
{
public:
    explicit ModernWindowTestAccess(ModernWindow& window) : w(window) {}

    QString screenId(int screen) const { return w.getScreenUniqueId(screen); }
    void log(int screen, const QString& file, const QString& trigger, const QString& adjustment)
    {
        w.logWallpaperChange(screen, file, trigger, adjustment);
    }
    bool hasLog(int screen) const { return w.hasScreenLog(screen); }
    QString currentById(const QString& id) const { return w.getCurrentWallpaperByScreenId(id); }
    QString current(int screen) const { return w.getCurrentWallpaperFromLog(screen); }
    QString last(int screen) const { return w.getLastWallpaperFromHistory(screen); }

    void add(int screen, const QString& path, const QString& trigger) { w.addToScreenHistory(screen, path, trigger); }
    void removeUnused(const QString& path) { w.removeUnusedHistoryFile(path); }
    void trimHistory() { w.cleanupHistoryDirectory(); }
    void save() { w.saveHistoryToSettings(); }
    void load() { w.loadHistoryFromSettings(); }
    QList<HistoryEntry> merged() const { return w.getAllHistoryEntriesMerged(); }
    void loadMerged() { w.loadMergedHistory(); }

    QString file(const QString& source, int screen) { return w.copyImageToWallpapers(source, screen); }
    void cleanupOld(int screen, const QString& current) { w.cleanupOldWallpapers(screen, current); }
    void cleanupAll() { w.cleanupAllWallpapers(); }
    void cleanupTemporary() { w.cleanupTemporaryFiles(); }
    void cleanupThumbnails() { w.cleanupThumbnailCache(); }

    QMap<int, QList<QString>>& lists() { return w.screenWallpaperHistory; }
    QList<HistoryEntry>& entries() { return w.currentHistoryEntries; }
    ScreenSelector*& selector() { return w.screenSelector; }
    QComboBox*& adjustmentCombo() { return w.adjustmentCombo; }
    int& scrollOffset() { return w.historyScrollOffset; }
    QString& selectedPath() { return w.selectedHistoryImagePath; }
    int& selectedScreen() { return w.selectedHistoryScreenIndex; }

private:
    ModernWindow& w;
};

struct HistoryWindow
{
    FakePlatformServices* platform = nullptr;
    std::unique_ptr<ModernWindow> window;
    std::unique_ptr<ModernWindowTestAccess> access;

    ModernWindowTestAccess* operator->() { return access.get(); }
};

// A window on the fake platform; identities maps screen index to a monitor
// the fake reports as known (others are unknown).
inline HistoryWindow makeHistoryWindow(const QMap<int, MonitorIdentity>& identities = {})
{
    HistoryWindow result;
    WindowEnvironment env = testWindowEnvironment({}, {}, &result.platform);
    result.platform->monitorIdentities = identities;
    result.window = std::make_unique<ModernWindow>(std::move(env));
    result.access = std::make_unique<ModernWindowTestAccess>(*result.window);
    return result;
}

inline MonitorIdentity knownMonitor(const QString& name, const QString& adapter, const QString& target)
{
    return MonitorIdentity{MonitorIdentity::Status::Known, name, adapter, target};
}

inline bool writeFile(const QString& path, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

inline QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline void setModified(const QString& path, const QDateTime& when)
{
    QFile file(path);
    file.open(QIODevice::ReadWrite);
    file.setFileTime(when, QFileDevice::FileModificationTime);
}

inline QStringList fileNames(const QString& directory)
{
    return QDir(directory).entryList(QDir::Files, QDir::Name);
}

// Empties every place the history code writes to, and the settings.
inline void wipeStorage()
{
    QDir(PathHelper::getWallpapersDirectory()).removeRecursively();
    QDir(PathHelper::getHistoryDirectory()).removeRecursively();
    QDir(PathHelper::getTemporaryDirectory()).removeRecursively();
    QDir(QStandardPaths::writableLocation(QStandardPaths::CacheLocation)).removeRecursively();
    QSettings(QStringLiteral("Velmora"), QStringLiteral("WallpaperSettings")).clear();
}

inline QString wallpapersDir()
{
    return PathHelper::getWallpapersDirectory();
}

inline QString historyDir()
{
    return PathHelper::getHistoryDirectory();
}

inline QString tempDir()
{
    return PathHelper::getTemporaryDirectory();
}
