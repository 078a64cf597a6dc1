#pragma once

#include "fake_platform.h"
#include "modern_window.h"
#include "widgets/countdown_widget.h"

#include <QTest>

// Reaches the main window's private state from the tests.
class ModernWindowTestAccess
{
public:
    static FakePlatformServices& platform(ModernWindow& w)
    {
        return static_cast<FakePlatformServices&>(*w.environment.platform);
    }
    static bool changeInFlight(ModernWindow& w) { return w.currentMultiDownload != nullptr; }
    static CountdownWidget* dial(ModernWindow& w) { return w.countdownWidget; }
    static QString screenId(ModernWindow& w, int screen) { return w.getScreenUniqueId(screen); }
    static QString currentWallpaper(ModernWindow& w, int screen) { return w.getCurrentWallpaperFromLog(screen); }
    static QMenu* trayMenu(ModernWindow& w) { return w.trayMenu; }
    static bool inTray(ModernWindow& w) { return w.inTray; }
    static bool nativeEvent(ModernWindow& w, const QByteArray& type)
    {
        qintptr result = 0;
        return w.nativeEvent(type, nullptr, &result);
    }
};
