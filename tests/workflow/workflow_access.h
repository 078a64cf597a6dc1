#pragma once

#include "fake_platform.h"
#include "modern_window.h"

#include <QLabel>
#include <QPushButton>

// Reaches the main window's private state from the workflow and settings tests.
class ModernWindowTestAccess
{
public:
    static QMap<QString, int>& categoryRatings(ModernWindow& w) { return w.categoryRatings; }
    static QSet<QString>& excludedCategories(ModernWindow& w) { return w.excludedCategories; }
    static QDate& excludedCategoriesDay(ModernWindow& w) { return w.excludedCategoriesDay; }
    static QMap<int, QList<QString>>& screenHistory(ModernWindow& w) { return w.screenWallpaperHistory; }
    static QString& triggerMode(ModernWindow& w) { return w.currentTriggerMode; }
    static QString lastApiError(ModernWindow& w) { return w.lastApiError; }
    static int& retryCountdownSeconds(ModernWindow& w) { return w.retryCountdownSeconds; }
    static QPushButton* changeNowButton(ModernWindow& w) { return w.changeNowButton; }
    static QLabel* statusLabel(ModernWindow& w) { return w.statusLabel; }
    static QWidget* errorBanner(ModernWindow& w) { return w.errorAlertWidget; }
    static bool changeInFlight(ModernWindow& w) { return w.currentMultiDownload != nullptr; }
    static FakePlatformServices& platform(ModernWindow& w)
    {
        return static_cast<FakePlatformServices&>(*w.environment.platform);
    }
    static QList<HistoryEntry> history(ModernWindow& w) { return w.getAllHistoryEntriesMerged(); }
    static QString currentWallpaper(ModernWindow& w, int screen) { return w.getCurrentWallpaperFromLog(screen); }
    static QString screenId(ModernWindow& w, int screen) { return w.getScreenUniqueId(screen); }

    static void onRetryTimerTick(ModernWindow& w) { w.onRetryTimerTick(); }
    static void onCountdownExpired(ModernWindow& w) { w.onCountdownExpired(); }
};
