#pragma once

#include "workflow_access.h"

#include "core/categories_cache.h"
#include "utils/path_helper.h"
#include "utils/settings_store.h"

#include <QDir>
#include <QFrame>
#include <QJsonObject>
#include <QLabel>
#include <QPushButton>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTest>

#include <memory>

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

// The window, shown on its categories tab.
inline std::unique_ptr<ModernWindow> categoriesTab(WindowEnvironment environment)
{
    auto window = std::make_unique<ModernWindow>(std::move(environment));
    window->findChild<QTabWidget*>("tabWidget")->setCurrentIndex(1);
    window->show();
    return window;
}

inline void send(QWidget* widget, QEvent::Type type)
{
    QEvent event(type);
    QCoreApplication::sendEvent(widget, &event);
}

} // namespace categories_test
