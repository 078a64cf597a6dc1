#pragma once

#include "platform/system_watch.h"

#include <QDBusConnection>
#include <QStringList>
#include <QVariantMap>

#include <memory>

class QSocketNotifier;
class X11FrontWindow;

// The Linux system as the schedule sees it: logind (sleep, unlock), UPower
// (battery) and timedated (time zone) on the system bus, a timer the kernel
// cancels when the wall clock is set, and the X server's window in front. Whatever is missing tells
// nothing.
class LinuxSystemWatch final : public SystemWatch
{
    Q_OBJECT

public:
    // bus: the system bus; tests hand a private one.
    explicit LinuxSystemWatch(const QDBusConnection& bus, QObject* parent = nullptr);
    ~LinuxSystemWatch() override;

    bool onBattery() const override { return m_onBattery; }
    bool fullScreenInFront() const override;
    void setWatchFullScreen(bool watch) override;

private Q_SLOTS:
    void onPrepareForSleep(bool starting);
    void onSessionUnlock();
    void onUPowerPropertiesChanged(const QString& interfaceName, const QVariantMap& changed,
                                   const QStringList& invalidated);

    void onTimeDatePropertiesChanged(const QString& interfaceName, const QVariantMap& changed,
                                     const QStringList& invalidated);

private:
    void readOnBattery();
    void setOnBattery(bool onBattery);
    void findSession();
    void watchClock();
    void armClockTimer();

    QDBusConnection m_bus;
    bool m_onBattery = false;
    int m_clockFd = -1;
    QSocketNotifier* m_clockNotifier = nullptr;
    std::unique_ptr<X11FrontWindow> m_front;
};
