#pragma once

#include "fake_platform.h"
#include "modern_window.h"

#include <QLabel>
#include <QNetworkAccessManager>
#include <QPushButton>
#include <QTest>
#include <QTimer>

// Reaches the main window's private state from the tests.
class ModernWindowTestAccess
{
public:
    static QMap<QString, int>& categoryRatings(ModernWindow& w) { return w.categoryRatings; }
    static QSet<QString>& excludedCategories(ModernWindow& w) { return w.changeWorkflow->exclusions().categories; }
    static QDate& excludedCategoriesDay(ModernWindow& w) { return w.changeWorkflow->exclusions().day; }
    static QMap<int, QList<QString>>& screenHistory(ModernWindow& w) { return w.screenWallpaperHistory; }
    static QString triggerMode(ModernWindow& w) { return w.currentTriggerMode(); }
    static QString lastApiError(ModernWindow& w) { return w.lastApiError.toString(); }
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

    static QString status(ModernWindow& w) { return w.statusLabel->text(); }
    static QTimer* debounce(ModernWindow& w) { return w.m_displayChangeTimer; }
    static QNetworkAccessManager* network(ModernWindow& w) { return w.networkManager; }
    // At start the settings load the history; here the tests do.
    static void loadHistory(ModernWindow& w) { w.populateHistoryScreenCombo(); }
    // Waits until the desktop has answered and what follows its answer (the
    // filing, the saving of the lists, then the clean-up) has run.
    static bool settle(ModernWindow& w)
    {
        for (WorkQueue* queue : {&w.wallpaperJobs, &w.filingJobs, &w.filingJobs, &w.filingJobs}) {
            bool answered = false;
            queue->run(
                &w, [] { return true; }, [&](bool) { answered = true; });
            if (!QTest::qWaitFor([&] { return answered; }, 30000))
                return false;
        }
        return true;
    }

    static WorkQueue& filingJobs(ModernWindow& w) { return w.filingJobs; }
    // Waits until the desktop's answers given so far have reached the window.
    static bool desktopAnswered(ModernWindow& w)
    {
        bool answered = false;
        w.wallpaperJobs.run(
            &w, [] { return true; }, [&](bool) { answered = true; });
        return QTest::qWaitFor([&] { return answered; }, 30000);
    }

    // A rebuild of the categories tab, as a new catalogue brings it.
    static void clearTiles(ModernWindow& w) { w.clearCategoriesDisplay(); }

    static void onRetryTimerTick(ModernWindow& w) { w.onRetryTimerTick(); }
    static void onCountdownExpired(ModernWindow& w) { w.onCountdownExpired(); }
};
