// Monitor identity, change logs and the history store of the main window.

#include "modern_window.h"

#include "utils/settings_store.h"

#include "core/change_log.h"
#include "core/file_housekeeping.h"
#include "core/history_merge.h"
#include "core/recent_files.h"
#include "core/screen_unique_id.h"
#include "core/service_file_name.h"
#include "platform/platform_services.h"
#include "utils/path_helper.h"
#include "widgets/screen_selector.h"

#include <QComboBox>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QTimeZone>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <memory>

namespace {

// Together the change logs may take this much before the oldest are deleted.
constexpr qint64 maxHistoryDirectoryBytes = 3 * 1024 * 1024;
// A staged start's read of the logs parses for at most this long per turn of the event loop.
constexpr qint64 historyReadSliceMs = 5;

} // namespace

QString ModernWindow::getScreenUniqueId(int screenIndex) const
{
    const QList<QScreen*> screens = QGuiApplication::screens();
    if (screenIndex < 0 || screenIndex >= screens.size())
        return ScreenUniqueId::invalidIndex(screenIndex);
    const QString qtName = screens[screenIndex]->name();
    const MonitorIdentity identity = environment.platform->monitorIdentity(screenIndex);
    switch (identity.status) {
    case MonitorIdentity::Status::Unreadable:
        return ScreenUniqueId::unreadable(qtName);
    case MonitorIdentity::Status::Unknown:
        break;
    case MonitorIdentity::Status::Known:
        return ScreenUniqueId::named(identity.name, identity.adapter, identity.target);
    case MonitorIdentity::Status::ConnectorOnly:
        // Known by its connector, not by its position, which other monitors shift.
        if (!qtName.isEmpty())
            return ScreenUniqueId::connectorOnly(qtName);
        break;
    }
    return ScreenUniqueId::unmatched(qtName, screenIndex);
}

void ModernWindow::logWallpaperChange(int screenIndex, const QString& filename, const QString& triggerMode,
                                      const QString& adjustMode)
{
    // A name with a line break or a path in it would not read back as one line
    // naming a file of the monitor's folder.
    if (!isSafeServiceFileName(filename))
        return;
    const QString path = PathHelper::monitorLogPath(getHistoryDirectory(), getScreenUniqueId(screenIndex));
    ChangeLog::append(path, ChangeLog::formatLine(QDateTime::currentDateTime(), filename, triggerMode, adjustMode));
}

bool ModernWindow::hasScreenLog(int screenIndex) const
{
    return ChangeLog::hasContent(PathHelper::monitorLogPath(getHistoryDirectory(), getScreenUniqueId(screenIndex)));
}

QString ModernWindow::getCurrentWallpaperByScreenId(const QString& screenId) const
{
    if (!isSafeServiceFileName(screenId))
        return {};
    const QString line = ChangeLog::lastNonEmptyLine(PathHelper::monitorLogPath(getHistoryDirectory(), screenId));
    const std::optional<ChangeLogLine> fields = ChangeLog::parseLine(line);
    if (!fields)
        return {};
    const QString path =
        PathHelper::monitorFolderPath(getWallpapersDirectory(), screenId) + QLatin1Char('/') + fields->fileName;
    return QFileInfo(path).isFile() ? path : QString();
}

QString ModernWindow::getCurrentWallpaperFromLog(int screenIndex) const
{
    return getCurrentWallpaperByScreenId(getScreenUniqueId(screenIndex));
}

void ModernWindow::addToScreenHistory(int screenIndex, const QString& imagePath, const QString& triggerMode)
{
    if (screenIndex < 0)
        return;
    const QList<FilingRequest> requests{filingRequest(screenIndex, imagePath, triggerMode)};
    const QList<QString> filed = fileChangedPictures(requests, PathHelper::getTemporaryDirectory());
    if (filed.value(0).isEmpty())
        return;
    recordFiledPictures(requests, filed);
    cleanupHistoryDirectory();
    saveHistoryToSettings();
    loadMergedHistory();
}

FilingRequest ModernWindow::filingRequest(int screenIndex, const QString& imagePath, const QString& triggerMode) const
{
    const QString screenId = getScreenUniqueId(screenIndex);
    const QString fileName = QFileInfo(imagePath).fileName();
    const QString adjustment = ChangeLog::adjustmentWord(adjustmentCombo ? adjustmentCombo->currentIndex() : 0);
    FilingRequest request;
    request.screenIndex = screenIndex;
    request.sourcePath = imagePath;
    request.screenFolder = PathHelper::monitorFolderPath(getWallpapersDirectory(), screenId);
    request.logPath = PathHelper::monitorLogPath(getHistoryDirectory(), screenId);
    // A name with a line break or a path in it would not read back as one line
    // naming a file of the monitor's folder.
    if (isSafeServiceFileName(fileName))
        request.logLine = ChangeLog::formatLine(QDateTime::currentDateTime(), fileName, triggerMode, adjustment);
    return request;
}

void ModernWindow::fileIntoHistory(const QList<FilingRequest>& requests, std::function<void()> done,
                                   std::function<void(QSettings&)> alsoSave)
{
    struct Filed
    {
        QList<QString> copies;
        QList<HistoryEntry> history;
    };
    const QString temporaryFolder = PathHelper::getTemporaryDirectory();
    const QString historyDirectory = getHistoryDirectory();
    const QList<QString> logs = screenLogPaths();
    const RecentFilesLists listed = screenWallpaperHistory;
    filingJobs.run(
        this,
        [requests, temporaryFolder, historyDirectory, logs, listed] {
            Filed filed{fileChangedPictures(requests, temporaryFolder), {}};
            FileHousekeeping::trimToSize(historyDirectory, maxHistoryDirectoryBytes,
                                         [&](const QString& path) { return RecentFiles::isListed(listed, path); });
            filed.history = readMergedHistory(logs);
            return filed;
        },
        [this, requests, done = std::move(done), alsoSave = std::move(alsoSave)](const Filed& filed) mutable {
            if (std::none_of(filed.copies.cbegin(), filed.copies.cend(),
                             [](const QString& c) { return !c.isEmpty(); })) {
                if (done)
                    done();
                return;
            }
            recordFiledPictures(requests, filed.copies);
            const RecentFilesLists lists = screenWallpaperHistory;
            // The pictures and their log lines are in place: that is the
            // change filed. What done queues (a change's clean-up) runs while
            // the strip is redrawn; the status it ends with comes after.
            if (done)
                done();
            showHistory(filed.history);
            // The settings file is written whole and flushed to the disk
            // (twice, with its lock), so it is not waited for; queued after
            // what done queues, it still precedes any later filing.
            filingJobs.run(
                this,
                [lists, alsoSave = std::move(alsoSave)] {
                    QSettings settings = openSettings();
                    RecentFiles::save(settings, lists);
                    if (alsoSave)
                        alsoSave(settings);
                    return true;
                },
                [](bool) {});
        });
}

void ModernWindow::recordFiledPictures(const QList<FilingRequest>& requests, const QList<QString>& filed)
{
    for (qsizetype i = 0; i < requests.size() && i < filed.size(); ++i) {
        if (filed[i].isEmpty())
            continue;
        const int screen = requests[i].screenIndex;
        const QString dropped = RecentFiles::prepend(screenWallpaperHistory[screen], filed[i]);
        if (!dropped.isEmpty())
            removeUnusedHistoryFile(dropped);
        if (screenSelector)
            screenSelector->setScreenCanBeDeselected(screen, true);
    }
}

void ModernWindow::removeUnusedHistoryFile(const QString& filePath)
{
    if (RecentFiles::isListed(screenWallpaperHistory, filePath))
        return;
    // Only filed copies are ever deleted, whatever a list was made to hold.
    if (!RecentFiles::isFiledWallpaperPath(filePath, getWallpapersDirectory()))
        return;
    QFile::remove(filePath);
}

void ModernWindow::cleanupHistoryDirectory()
{
    FileHousekeeping::trimToSize(getHistoryDirectory(), maxHistoryDirectoryBytes, [this](const QString& path) {
        return RecentFiles::isListed(screenWallpaperHistory, path);
    });
}

void ModernWindow::saveHistoryToSettings()
{
    QSettings settings = openSettings();
    RecentFiles::save(settings, screenWallpaperHistory);
}

void ModernWindow::loadHistoryFromSettings()
{
    QSettings settings = openSettings();
    const RecentFiles::Loaded loaded = RecentFiles::load(settings, getWallpapersDirectory());
    for (auto it = loaded.lists.cbegin(); it != loaded.lists.cend(); ++it)
        screenWallpaperHistory.insert(it.key(), it.value());
    if (!screenSelector)
        return;
    for (int screen : loaded.screens) {
        if (hasScreenLog(screen))
            screenSelector->setScreenCanBeDeselected(screen, true);
    }
}

QList<QString> ModernWindow::screenLogPaths() const
{
    const int screenCount = screenSelector ? screenSelector->screenCount() : 1;
    const QString historyDirectory = getHistoryDirectory();
    QList<QString> paths;
    for (int screen = 0; screen < screenCount; ++screen)
        paths.append(PathHelper::monitorLogPath(historyDirectory, getScreenUniqueId(screen)));
    return paths;
}

QList<ModernWindow::HistoryEntry> ModernWindow::getAllHistoryEntriesMerged() const
{
    return readMergedHistory(screenLogPaths());
}

void ModernWindow::startHistoryRead()
{
    // On the GUI thread, a slice of at most a few milliseconds per turn of the
    // event loop: read on a worker, a Windows suite never exited under wine.
    struct Read
    {
        QList<QString> logs;
        qsizetype log = 0;
        QByteArray data;
        qsizetype next = -1;
        QTimeZone zone = QTimeZone::systemTimeZone();
        QList<HistoryEntry> entries;
        quint64 shownBefore = 0;
    };
    historyReadQueued = true;
    auto read = std::make_shared<Read>();
    read->logs = screenLogPaths();
    read->shownBefore = historiesShown;
    auto slice = std::make_shared<std::function<void()>>();
    *slice = [this, read, weakSlice = std::weak_ptr(slice)] {
        QElapsedTimer clock;
        clock.start();
        const auto keepGoing = [&clock] { return clock.elapsed() < historyReadSliceMs; };
        while (read->log < read->logs.size()) {
            if (read->next < 0) {
                read->data = ChangeLog::readLog(read->logs[read->log]);
                read->next = 0;
            }
            read->next =
                ChangeLog::parseEntries(read->data, read->next, int(read->log), read->zone, read->entries, keepGoing);
            if (read->next < read->data.size()) {
                // The turn posted holds the read; the read holds none of its turns.
                QTimer::singleShot(0, this, [next = weakSlice.lock()] { (*next)(); });
                return;
            }
            ++read->log;
            read->next = -1;
            read->data.clear();
        }
        // A change filed meanwhile has shown a newer strip. The strip is built
        // in a turn of its own, after the merge's.
        if (historiesShown != read->shownBefore)
            return;
        QTimer::singleShot(0, this, [this, merged = mergeHistoryEntries(read->entries), read] {
            if (historiesShown == read->shownBefore)
                showHistory(merged);
        });
    };
    QTimer::singleShot(0, this, [slice] { (*slice)(); });
}

void ModernWindow::loadMergedHistory()
{
    showHistory(getAllHistoryEntriesMerged());
}

void ModernWindow::showHistory(const QList<HistoryEntry>& entries)
{
    ++historiesShown;
    selectedHistoryImagePath.clear();
    selectedHistoryScreenIndex = -1;
    historyScrollOffset = 0;
    currentHistoryEntries = entries;
    refreshHistoryCarousel();
}

QString ModernWindow::getLastWallpaperFromHistory(int screenIndex) const
{
    return getCurrentWallpaperFromLog(screenIndex);
}
