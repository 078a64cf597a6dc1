#pragma once

#include "window_environment.h"

#include <QMap>
#include <QString>
#include <QStringList>
#include <QSystemTrayIcon>
#include <QWidget>

class QCloseEvent;
class QEvent;
class QMenu;
class QNetworkAccessManager;
class QTabWidget;

// The one top-level window. It owns every other object through Qt parenting
// and orchestrates the subsystems; its member functions are spread over
// app/src/window/, one file per subsystem.
class ModernWindow : public QWidget
{
    Q_OBJECT

public:
    explicit ModernWindow(QWidget* parent = nullptr);
    explicit ModernWindow(WindowEnvironment environment, QWidget* parent = nullptr);
    ~ModernWindow() override;

    // Storage places and date strings, as the window code uses them.
    QString getWallpapersDirectory() const;
    QString getHistoryDirectory() const;
    QString getCurrentDateString() const;
    QString getPreviousDateString(int daysBack) const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private Q_SLOTS:
    void handleStartupBehavior();
    void onTrayIconActivated(QSystemTrayIcon::ActivationReason reason);
    void restoreWindow();
    void quitApplication();

private:
    void setupUI();
    void setupSystemTray();

    QStringList commandLine() const;

    // Desktop wallpaper (window/wallpaper_application.cpp).
    bool setWallpaperWithSmoothTransition(const QString& imagePath);
    bool setMultipleWallpapers(const QMap<int, QString>& imagePaths);
    bool setSpanWallpaperMode();
    void rebuildCompositeWallpaper(const QMap<int, QString>& wallpapers);

    QSystemTrayIcon* trayIcon = nullptr;
    QMenu* trayMenu = nullptr;
    QNetworkAccessManager* networkManager = nullptr;
    QTabWidget* tabWidget = nullptr;
    QString categoriesCachePath;

    WindowEnvironment environment;

    friend class ModernWindowTestAccess;
};
