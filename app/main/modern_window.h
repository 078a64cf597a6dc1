#pragma once

#include "core/service_api.h"
#include "window_environment.h"

#include <QMap>
#include <QSslConfiguration>
#include <QString>
#include <QStringList>
#include <QSystemTrayIcon>
#include <QWidget>

class QCloseEvent;
class QEvent;
class QMenu;
class QNetworkAccessManager;
class QNetworkReply;
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

    // Wallpaper service client (window/service_client.cpp).
    QString serviceApiBase() const;
    // Sends one GET to the service through networkManager, trusting the
    // system's roots plus environment.extraCaCertificates, with the deadline
    // and body cap of its kind. The caller connects finished and releases the reply.
    QNetworkReply* sendServiceRequest(const QUrl& url, ServiceReplyKind kind);
    // Certificate errors are never ignored: they fail the request, and are logged and named in its error text.
    void setupSslErrorHandling(QNetworkReply* reply);

    QSystemTrayIcon* trayIcon = nullptr;
    QMenu* trayMenu = nullptr;
    QNetworkAccessManager* networkManager = nullptr;
    QTabWidget* tabWidget = nullptr;
    QString categoriesCachePath;
    QSslConfiguration serviceSslConfiguration;
    QMap<ServiceReplyKind, ServiceRequestLimits> serviceRequestLimits;

    WindowEnvironment environment;

    friend class ModernWindowTestAccess;
};
