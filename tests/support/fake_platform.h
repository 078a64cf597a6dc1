#pragma once

#include "platform/platform_services.h"
#include "platform/system_watch.h"

#include <QCoreApplication>
#include <QList>
#include <QMap>
#include <QMetaObject>
#include <QRect>
#include <QSslCertificate>
#include <QString>
#include <QStringList>
#include <QThread>

#include <functional>

class QWidget;

// Stands in for what Windows or the desktop would do, and records it.
class FakePlatformServices final : public PlatformServices
{
public:
    const char* name() const override { return "fake"; }

    bool bringToFront(QWidget* window) override
    {
        frontRequests.append(window);
        return true;
    }

    bool hasSystemTray() const override { return trayAvailable; }

    // The window sets wallpapers from a thread of its own; what it asked is
    // recorded on the GUI thread, before the window hears the answer.
    bool setWallpaper(const QString& imagePath) override
    {
        record([this, imagePath] { wallpapers.append(imagePath); });
        return wallpaperResult;
    }

    bool setSpanStyle() override
    {
        record([this] { ++spanStyleRequests; });
        return spanStyleResult;
    }

    bool setSpannedWallpaper(const QString& compositePath, const QList<QRect>& screenRects) override
    {
        record([this, compositePath, screenRects] {
            spannedWallpapers.append(compositePath);
            spannedScreenRects.append(screenRects);
        });
        return spannedResult;
    }

    MonitorIdentity monitorIdentity(int screenIndex) const override
    {
        return monitorIdentities.value(screenIndex, MonitorIdentity{defaultMonitorStatus, {}, {}, {}});
    }

    // Like Linux: no display messages, Qt's screen signals tell of changes.
    // With displayChangeMessages, like Windows: a native message of type
    // displayChangeEventType tells of them, and the screen signals do not.
    bool isDisplayChangeMessage(const QByteArray& eventType, const void*) const override
    {
        return displayChangeMessages && eventType == displayChangeEventType;
    }
    bool announcesDisplayChangesByScreenSignals() const override { return !displayChangeMessages; }

    // Like Linux, the TLS back-end takes the CA a request adds, unless told
    // otherwise; the system's verification is then chainVerifier's.
    bool tlsTrustsAddedRoots() const override { return trustsAddedRoots; }
    bool verifyServerChain(const QList<QSslCertificate>& chain, const QList<QSslCertificate>& roots,
                           const QString& hostName) const override
    {
        ++chainVerifications;
        return chainVerifier && chainVerifier(chain, roots, hostName);
    }

    bool addStartupEntry(const QString& name, const QString& programPath, const QStringList& arguments) override
    {
        if (!startupEntryResult)
            return false;
        startupEntries.insert(name, QStringList{programPath} + arguments);
        return true;
    }
    bool removeStartupEntry(const QString& name) override { return startupEntries.remove(name) > 0; }
    bool hasStartupEntry(const QString& name) const override { return startupEntries.contains(name); }

    bool openFolder(const QString& folder) override
    {
        openedFolders.append(folder);
        return true;
    }
    // With globalShortcuts, like Windows: the window may own a key combination,
    // and a native message of type globalShortcutEventType says it was pressed.
    bool supportsGlobalShortcut() const override { return globalShortcuts; }
    bool setGlobalShortcut(QWidget*, int keyCombination) override
    {
        if (!globalShortcuts)
            return keyCombination == 0;
        globalShortcut = keyCombination;
        return true;
    }
    bool isGlobalShortcutMessage(const QByteArray& eventType, const void*) const override
    {
        return globalShortcuts && eventType == globalShortcutEventType;
    }

    // The schedule's view of the system: tells nothing unless a test hands its own.
    std::unique_ptr<SystemWatch> createSystemWatch() override
    {
        return systemWatchFactory ? systemWatchFactory() : std::make_unique<SystemWatch>();
    }
    std::function<std::unique_ptr<SystemWatch>()> systemWatchFactory;

    static constexpr char displayChangeEventType[] = "fake_display_change";
    static constexpr char globalShortcutEventType[] = "fake_global_shortcut";
    bool globalShortcuts = false;
    int globalShortcut = 0;
    QStringList openedFolders;
    bool displayChangeMessages = false;

    bool trustsAddedRoots = true;
    std::function<bool(const QList<QSslCertificate>&, const QList<QSslCertificate>&, const QString&)> chainVerifier;
    mutable int chainVerifications = 0;

    bool trayAvailable = true;
    bool wallpaperResult = true;
    bool spanStyleResult = true;
    bool spannedResult = true;

    QList<QWidget*> frontRequests;
    QList<QString> wallpapers;
    int spanStyleRequests = 0;
    QList<QString> spannedWallpapers;
    QList<QList<QRect>> spannedScreenRects;

    // Monitor identities by screen index; screens not listed answer defaultMonitorStatus.
    QMap<int, MonitorIdentity> monitorIdentities;
    MonitorIdentity::Status defaultMonitorStatus = MonitorIdentity::Status::Unknown;

    // Start-up entries by name: the program and its arguments.
    bool startupEntryResult = true;
    QMap<QString, QStringList> startupEntries;

private:
    template <typename Record> static void record(Record record)
    {
        if (QThread::currentThread() == QCoreApplication::instance()->thread())
            record();
        else
            QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(record), Qt::QueuedConnection);
    }
};
