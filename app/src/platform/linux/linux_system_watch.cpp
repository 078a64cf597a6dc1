#include "linux_system_watch.h"

#include "x11_front_window.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QSocketNotifier>

#include <sys/timerfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <limits>

namespace {
const QString kLogin1 = QStringLiteral("org.freedesktop.login1");
const QString kLogin1Path = QStringLiteral("/org/freedesktop/login1");
const QString kLogin1Manager = QStringLiteral("org.freedesktop.login1.Manager");
const QString kLogin1Session = QStringLiteral("org.freedesktop.login1.Session");
const QString kUPower = QStringLiteral("org.freedesktop.UPower");
const QString kUPowerPath = QStringLiteral("/org/freedesktop/UPower");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
} // namespace

LinuxSystemWatch::LinuxSystemWatch(const QDBusConnection& bus, QObject* parent) : SystemWatch(parent), m_bus(bus)
{
    if (m_bus.isConnected()) {
        m_bus.connect(kLogin1, kLogin1Path, kLogin1Manager, QStringLiteral("PrepareForSleep"), this,
                      SLOT(onPrepareForSleep(bool)));
        m_bus.connect(kUPower, kUPowerPath, kProperties, QStringLiteral("PropertiesChanged"), this,
                      SLOT(onUPowerPropertiesChanged(QString, QVariantMap, QStringList)));
        // timedated runs while someone sets the zone through it, and says so.
        m_bus.connect(QStringLiteral("org.freedesktop.timedate1"), QStringLiteral("/org/freedesktop/timedate1"),
                      kProperties, QStringLiteral("PropertiesChanged"), this,
                      SLOT(onTimeDatePropertiesChanged(QString, QVariantMap, QStringList)));
        readOnBattery();
        findSession();
    }
    watchClock();
}

LinuxSystemWatch::~LinuxSystemWatch()
{
    if (m_clockFd >= 0)
        ::close(m_clockFd);
}

bool LinuxSystemWatch::fullScreenInFront() const
{
    return m_front && m_front->isFullScreen();
}

void LinuxSystemWatch::setWatchFullScreen(bool watch)
{
    if (!watch) {
        m_front.reset();
        return;
    }
    if (m_front)
        return;
    m_front = std::make_unique<X11FrontWindow>();
    connect(m_front.get(), &X11FrontWindow::changed, this, &SystemWatch::conditionsChanged);
}

void LinuxSystemWatch::onPrepareForSleep(bool starting)
{
    if (!starting)
        Q_EMIT resumed();
}

void LinuxSystemWatch::onSessionUnlock()
{
    Q_EMIT unlocked();
}

void LinuxSystemWatch::onUPowerPropertiesChanged(const QString& interfaceName, const QVariantMap& changed,
                                                 const QStringList& invalidated)
{
    if (interfaceName != kUPower)
        return;
    const auto onBattery = changed.constFind(QStringLiteral("OnBattery"));
    if (onBattery != changed.constEnd())
        setOnBattery(onBattery->toBool());
    else if (invalidated.contains(QStringLiteral("OnBattery")))
        readOnBattery();
}

void LinuxSystemWatch::onTimeDatePropertiesChanged(const QString&, const QVariantMap& changed,
                                                   const QStringList& invalidated)
{
    const QString zone = QStringLiteral("Timezone");
    if (changed.contains(zone) || invalidated.contains(zone))
        Q_EMIT clockChanged();
}

void LinuxSystemWatch::readOnBattery()
{
    QDBusMessage get = QDBusMessage::createMethodCall(kUPower, kUPowerPath, kProperties, QStringLiteral("Get"));
    get << kUPower << QStringLiteral("OnBattery");
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(get), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        const QDBusPendingReply<QDBusVariant> reply = *call;
        // No UPower: mains power, as far as anyone can tell.
        if (!reply.isError())
            setOnBattery(reply.value().variant().toBool());
    });
}

void LinuxSystemWatch::setOnBattery(bool onBattery)
{
    if (onBattery == m_onBattery)
        return;
    m_onBattery = onBattery;
    Q_EMIT conditionsChanged();
}

void LinuxSystemWatch::findSession()
{
    // Unlock is a signal of our own session's object.
    QDBusMessage find =
        QDBusMessage::createMethodCall(kLogin1, kLogin1Path, kLogin1Manager, QStringLiteral("GetSessionByPID"));
    find << quint32(::getpid());
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(find), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        const QDBusPendingReply<QDBusObjectPath> reply = *call;
        if (reply.isError())
            return;
        m_bus.connect(kLogin1, reply.value().path(), kLogin1Session, QStringLiteral("Unlock"), this,
                      SLOT(onSessionUnlock()));
    });
}

void LinuxSystemWatch::watchClock()
{
    // A timer on the wall clock that the kernel cancels when the clock is set.
    m_clockFd = ::timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC);
    if (m_clockFd < 0)
        return;
    armClockTimer();
    m_clockNotifier = new QSocketNotifier(m_clockFd, QSocketNotifier::Read, this);
    connect(m_clockNotifier, &QSocketNotifier::activated, this, [this] {
        std::uint64_t expirations = 0;
        // ECANCELED: the clock was set; the timer must be armed again.
        if (::read(m_clockFd, &expirations, sizeof expirations) < 0 && errno == ECANCELED) {
            armClockTimer();
            Q_EMIT clockChanged();
        }
    });
}

void LinuxSystemWatch::armClockTimer()
{
    itimerspec far{};
    far.it_value.tv_sec = std::numeric_limits<time_t>::max() / 2;
    ::timerfd_settime(m_clockFd, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &far, nullptr);
}
