#pragma once

#include "fake_platform.h"
#include "modern_window.h"

#include "core/categories_cache.h"
#include "utils/path_helper.h"
#include "utils/settings_store.h"

#include <QDir>
#include <QFrame>
#include <QJsonObject>
#include <QLabel>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>

// What the categories tests cannot read from the window's widgets.
class ModernWindowTestAccess
{
public:
    static QString lastApiError(ModernWindow& w) { return w.lastApiError; }
    static QWidget* errorBanner(ModernWindow& w) { return w.errorAlertWidget; }
    static QLabel* statusLabel(ModernWindow& w) { return w.statusLabel; }
    static QPushButton* changeNowButton(ModernWindow& w) { return w.changeNowButton; }
    static bool changeInFlight(ModernWindow& w) { return w.currentMultiDownload != nullptr; }
    static QMap<int, QList<QString>>& screenHistory(ModernWindow& w) { return w.screenWallpaperHistory; }
    static QString screenId(ModernWindow& w, int screen) { return w.getScreenUniqueId(screen); }
    static FakePlatformServices& platform(ModernWindow& w)
    {
        return static_cast<FakePlatformServices&>(*w.environment.platform);
    }
    // A rebuild of the tab, as a new catalogue brings it.
    static void clearTiles(ModernWindow& w) { w.clearCategoriesDisplay(); }
    // Waits until the desktop has answered every wallpaper job asked for so far.
    static bool settle(ModernWindow& w)
    {
        bool answered = false;
        w.wallpaperJobs.run(
            &w, [] { return true; }, [&](bool) { answered = true; });
        return QTest::qWaitFor([&] { return answered; }, 30000);
    }
};

namespace categories_test {

constexpr int timeoutMs = 30000;

inline QJsonObject category(const QString& id, const QString& thumbnail = {})
{
    return {{"id", id}, {"name", id}, {"thumbnail", thumbnail}};
}

inline QString thumbnailsFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + QStringLiteral("/thumbnails");
}

// A fresh profile: no settings, caches or wallpapers.
inline void wipeProfile()
{
    openSettings().clear();
    QDir(QStandardPaths::writableLocation(QStandardPaths::CacheLocation)).removeRecursively();
    QDir(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation)).removeRecursively();
}

inline CategoriesCacheData readCache()
{
    CategoriesCacheData data;
    CategoriesCache::read(PathHelper::getCategoriesCachePath(), data);
    return data;
}

inline QList<QFrame*> tiles(const QWidget& window)
{
    return window.findChildren<QFrame*>(QStringLiteral("categoryFrame"));
}

inline bool everyThumbnailShown(const QWidget& window)
{
    const auto labels = window.findChildren<QLabel*>(QStringLiteral("thumbnailLabel"));
    return !labels.isEmpty() &&
           std::all_of(labels.cbegin(), labels.cend(), [](const QLabel* label) { return !label->pixmap().isNull(); });
}

inline void send(QWidget* widget, QEvent::Type type)
{
    QEvent event(type);
    QCoreApplication::sendEvent(widget, &event);
}

} // namespace categories_test
