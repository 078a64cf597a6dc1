#include "fake_platform.h"
#include "service_fixture.h"
#include "test_main.h"
#include "test_window.h"
#include "workflow_access.h"

#include "core/settings_keys.h"
#include "platform/linux/linux_system_watch.h"
#include "utils/settings_store.h"
#include "widgets/countdown_widget.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusVariant>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace {

using Access = ModernWindowTestAccess;

QDateTime fakeNow;

// A private bus standing for the system bus, with logind and UPower mocked on it.
class MockSystemBus
{
public:
    QString start()
    {
        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (daemon.isEmpty())
            return QStringLiteral("dbus-daemon is not installed (scripts/setup installs it)");
        if (QProcess::execute(python, {QStringLiteral("-c"), QStringLiteral("import dbusmock")}) != 0)
            return QStringLiteral("python3-dbusmock is not installed (scripts/setup installs it)");
        m_daemon.start(daemon,
                       {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
        if (!m_daemon.waitForReadyRead(10000))
            return QStringLiteral("dbus-daemon did not start");
        const QByteArray address = m_daemon.readLine().trimmed();
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", address);
        for (const auto& [mock, name] : {std::pair{&m_logind, "logind"}, std::pair{&m_upower, "upower"}}) {
            mock->setProcessChannelMode(QProcess::ForwardedErrorChannel);
            mock->start(python, {QStringLiteral("-m"), QStringLiteral("dbusmock"), QStringLiteral("--template"),
                                 QString::fromLatin1(name)});
        }
        QDBusConnectionInterface* bus = QDBusConnection::systemBus().interface();
        if (!bus || !QTest::qWaitFor(
                        [&] {
                            return bus->isServiceRegistered(QStringLiteral("org.freedesktop.login1")) &&
                                   bus->isServiceRegistered(QStringLiteral("org.freedesktop.UPower"));
                        },
                        30000))
            return QStringLiteral("the logind and UPower mocks did not come up");
        // Our session, which the mock does not know by our process.
        const QString login1 = QStringLiteral("org.freedesktop.login1");
        const QString mock = QStringLiteral("org.freedesktop.DBus.Mock");
        if (!call(login1, managerPath, mock, QStringLiteral("AddSession"),
                  {QStringLiteral("c1"), QStringLiteral("seat0"), 1000u, QStringLiteral("user"), true}) ||
            !call(login1, managerPath, mock, QStringLiteral("AddMethod"),
                  {QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("GetSessionByPID"),
                   QStringLiteral("u"), QStringLiteral("o"), QStringLiteral("ret = '%1'").arg(sessionPath)}))
            return QStringLiteral("the logind mock took no session");
        return {};
    }

    ~MockSystemBus()
    {
        for (QProcess* process : {&m_logind, &m_upower, &m_daemon}) {
            process->kill();
            process->waitForFinished();
        }
    }

    static bool sleep(bool starting)
    {
        return listening(QStringLiteral("PrepareForSleep")) &&
               call(QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
                    QStringLiteral("org.freedesktop.DBus.Mock"), QStringLiteral("EmitSignal"),
                    {QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"),
                     QStringLiteral("b"), QVariantList{QVariant::fromValue(QDBusVariant(starting))}});
    }

    // Whether someone on the bus listens to that signal (the window's watch
    // subscribes as it starts, and to Unlock once it knows its session).
    static bool listening(const QString& member)
    {
        const QString wanted = QStringLiteral("member='%1'").arg(member);
        return QTest::qWaitFor(
            [&] {
                const QDBusMessage rules = QDBusConnection::systemBus().call(QDBusMessage::createMethodCall(
                    QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                    QStringLiteral("org.freedesktop.DBus.Debug.Stats"), QStringLiteral("GetAllMatchRules")));
                const auto byConnection =
                    qdbus_cast<QMap<QString, QStringList>>(rules.arguments().value(0).value<QDBusArgument>());
                for (const QStringList& list : byConnection)
                    for (const QString& rule : list)
                        if (rule.contains(wanted))
                            return true;
                return false;
            },
            10000);
    }

    static bool unlock()
    {
        // Only once the window's watch has found its session and listens.
        return listening(QStringLiteral("Unlock")) &&
               call(QStringLiteral("org.freedesktop.login1"), sessionPath, QStringLiteral("org.freedesktop.DBus.Mock"),
                    QStringLiteral("EmitSignal"),
                    {QStringLiteral("org.freedesktop.login1.Session"), QStringLiteral("Unlock"), QString(),
                     QVariantList()});
    }

    static bool setOnBattery(bool onBattery)
    {
        return call(QStringLiteral("org.freedesktop.UPower"), QStringLiteral("/org/freedesktop/UPower"),
                    QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Set"),
                    {QStringLiteral("org.freedesktop.UPower"), QStringLiteral("OnBattery"),
                     QVariant::fromValue(QDBusVariant(onBattery))});
    }

private:
    static bool call(const QString& service, const QString& path, const QString& interface, const QString& method,
                     const QVariantList& arguments)
    {
        QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
        message.setArguments(arguments);
        return QDBusConnection::systemBus().call(message).type() == QDBusMessage::ReplyMessage;
    }

    static inline const QString managerPath = QStringLiteral("/org/freedesktop/login1");
    static inline const QString sessionPath = QStringLiteral("/org/freedesktop/login1/session/c1");
    const QString python = QStringLiteral("/usr/bin/python3");
    QProcess m_daemon;
    QProcess m_logind;
    QProcess m_upower;
};

// A real X client under Xvfb: one window, put in front and full screen.
class FullScreenClient
{
public:
    QString start()
    {
        const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        if (xvfb.isEmpty())
            return QStringLiteral("Xvfb is not installed (scripts/setup installs it)");
        m_server.start(xvfb, {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"),
                              QStringLiteral("tcp")});
        if (!m_server.waitForReadyRead(10000))
            return QStringLiteral("Xvfb did not start");
        const QByteArray display = ':' + m_server.readLine().trimmed();
        qputenv("DISPLAY", display);
        m_c = xcb_connect(display.constData(), nullptr);
        if (xcb_connection_has_error(m_c))
            return QStringLiteral("no connection to Xvfb");
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(m_c)).data;
        m_root = screen->root;
        m_window = xcb_generate_id(m_c);
        xcb_create_window(m_c, XCB_COPY_FROM_PARENT, m_window, m_root, 0, 0, 640, 480, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                          screen->root_visual, 0, nullptr);
        xcb_map_window(m_c, m_window);
        xcb_flush(m_c);
        return {};
    }

    ~FullScreenClient()
    {
        qunsetenv("DISPLAY");
        if (m_c)
            xcb_disconnect(m_c);
        m_server.kill();
        m_server.waitForFinished();
    }

    // What a window manager does when a window goes full screen in front, or leaves it.
    void setFullScreenInFront(bool fullScreen)
    {
        const xcb_atom_t state = atom("_NET_WM_STATE");
        const xcb_atom_t full = atom("_NET_WM_STATE_FULLSCREEN");
        xcb_change_property(m_c, XCB_PROP_MODE_REPLACE, m_window, state, XCB_ATOM_ATOM, 32, fullScreen ? 1 : 0, &full);
        xcb_change_property(m_c, XCB_PROP_MODE_REPLACE, m_root, atom("_NET_ACTIVE_WINDOW"), XCB_ATOM_WINDOW, 32, 1,
                            &m_window);
        xcb_flush(m_c);
    }

private:
    xcb_atom_t atom(const char* name)
    {
        xcb_intern_atom_reply_t* reply =
            xcb_intern_atom_reply(m_c, xcb_intern_atom(m_c, 0, uint16_t(std::strlen(name)), name), nullptr);
        const xcb_atom_t result = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        std::free(reply);
        return result;
    }

    QProcess m_server;
    xcb_connection_t* m_c = nullptr;
    xcb_window_t m_root = 0;
    xcb_window_t m_window = 0;
};

QString iso(const QDateTime& moment)
{
    return moment.toUTC().toString(Qt::ISODateWithMs);
}

// An hourly schedule, with what else is stored, in a window on the service
// (or on none) and on the mocked system bus when there is one.
std::unique_ptr<ModernWindow> startWindow(ServiceFixture* service, const QVariantMap& stored, bool onBus,
                                          const QStringList& arguments = {QStringLiteral("velmora")})
{
    {
        QSettings settings = openSettings();
        settings.clear();
        settings.setValue(SettingsKeys::Frequency, 1);
        // Rated from an earlier run: a change at start need not wait for the catalogue.
        settings.setValue(SettingsKeys::CategoryRatingsGroup + QStringLiteral("/c"), 2);
        for (auto it = stored.cbegin(); it != stored.cend(); ++it)
            settings.setValue(it.key(), it.value());
    }
    WindowEnvironment env = service ? service->windowEnvironment() : testWindowEnvironment();
    env.wallClock = [] { return fakeNow; };
    env.arguments = arguments;
    // Off the mocked bus, no bus at all: never the machine's own.
    static_cast<FakePlatformServices*>(env.platform.get())->systemWatchFactory = [onBus] {
        return std::make_unique<LinuxSystemWatch>(onBus ? QDBusConnection::systemBus()
                                                        : QDBusConnection(QStringLiteral("no bus")));
    };
    return std::make_unique<ModernWindow>(std::move(env));
}

bool startService(ServiceFixture& service)
{
    return service.addCategory(QStringLiteral("c")) &&
           !service.addImage(QStringLiteral("c"), QDate::currentDate(), QStringLiteral("p.png")).isEmpty() &&
           service.start();
}

CountdownWidget* dial(ModernWindow& w)
{
    return w.findChild<CountdownWidget*>();
}

// The dial's next tick, without waiting a second for it.
void tick(ModernWindow& w)
{
    QVERIFY(QMetaObject::invokeMethod(dial(w), "updateCountdown"));
}

qsizetype changes(ModernWindow& w)
{
    return Access::platform(w).spannedWallpapers.size();
}

bool oneAutomaticChange(ModernWindow& w)
{
    if (!QTest::qWaitFor([&] { return changes(w) == 1 && !Access::changeInFlight(w); }, 30000))
        return false;
    const QList<HistoryEntry> entries = Access::history(w);
    return entries.size() == 1 && entries.first().triggerMode == QStringLiteral("Automatique");
}

} // namespace

class TestScheduleSystem : public QObject
{
    Q_OBJECT

    std::unique_ptr<MockSystemBus> bus;
    QString noBus;

private Q_SLOTS:
    void initTestCase()
    {
        bus = std::make_unique<MockSystemBus>();
        noBus = bus->start();
    }

    void init() { fakeNow = QDateTime(QDate(2026, 6, 1), QTime(10, 0), Qt::UTC); }

    void restartBeforeAndAfterTheMoment()
    {
        ServiceFixture service;
        QVERIFY2(startService(service), qPrintable(service.errorString()));
        auto first = startWindow(&service, {}, false);
        QCOMPARE(dial(*first)->displayText(), QStringLiteral("1h 0m"));
        const QString due = openSettings().value(SettingsKeys::NextChangeDue).toString();
        QCOMPARE(due, iso(fakeNow.addSecs(3600)));
        first.reset();

        fakeNow = fakeNow.addSecs(25 * 60);
        auto before = startWindow(&service, {{SettingsKeys::NextChangeDue, due}}, false);
        QCOMPARE(dial(*before)->displayText(), QStringLiteral("35m 0s"));
        before.reset();

        // Past at start: the change runs on the dial's first tick, as automatic.
        fakeNow = fakeNow.addSecs(3 * 3600);
        auto after = startWindow(&service, {{SettingsKeys::NextChangeDue, due}}, false);
        QCOMPARE(dial(*after)->displayText(), QStringLiteral("0s"));
        tick(*after);
        QVERIFY(oneAutomaticChange(*after));
        QCOMPARE(openSettings().value(SettingsKeys::NextChangeDue).toString(), iso(fakeNow.addSecs(3600)));
    }

    void theLogOnChangeStandsForAMomentPastAtStart()
    {
        const QString due = iso(fakeNow.addSecs(-60));
        auto w = startWindow(nullptr, {{SettingsKeys::NextChangeDue, due}, {SettingsKeys::ChangeOnStartup, true}},
                             false, {QStringLiteral("velmora"), QStringLiteral("--startup")});
        QCOMPARE(dial(*w)->displayText(), QStringLiteral("1h 0m"));
        QCOMPARE(openSettings().value(SettingsKeys::NextChangeDue).toString(), iso(fakeNow.addSecs(3600)));
    }

    void sleepThroughTheMomentChangesOnceOnResume()
    {
        if (!noBus.isEmpty())
            QSKIP(qPrintable(noBus));
        ServiceFixture service;
        QVERIFY2(startService(service), qPrintable(service.errorString()));
        auto w = startWindow(&service, {}, true);
        QVERIFY(MockSystemBus::sleep(true));
        fakeNow = fakeNow.addSecs(8 * 3600);
        QVERIFY(MockSystemBus::sleep(false));
        // The settling wait shows on the dial; it ends in one change.
        QTRY_COMPARE_WITH_TIMEOUT(dial(*w)->displayText(), QStringLiteral("10s"), 10000);
        QCOMPARE(changes(*w), 0);
        dial(*w)->setRemainingTime(0);
        tick(*w);
        QVERIFY(oneAutomaticChange(*w));
        QCOMPARE(dial(*w)->displayText(), QStringLiteral("1h 0m"));
    }

    void sleepShortOfTheMomentKeepsCounting()
    {
        if (!noBus.isEmpty())
            QSKIP(qPrintable(noBus));
        auto w = startWindow(nullptr, {}, true);
        fakeNow = fakeNow.addSecs(20 * 60);
        QVERIFY(MockSystemBus::sleep(false));
        QTRY_COMPARE_WITH_TIMEOUT(dial(*w)->displayText(), QStringLiteral("40m 0s"), 10000);
        QCOMPARE(changes(*w), 0);
    }

    void unlockChangesWhenAsked()
    {
        if (!noBus.isEmpty())
            QSKIP(qPrintable(noBus));
        ServiceFixture service;
        QVERIFY2(startService(service), qPrintable(service.errorString()));
        auto w = startWindow(&service, {{SettingsKeys::ChangeOnUnlock, true}}, true);
        fakeNow = fakeNow.addSecs(600);
        QVERIFY(MockSystemBus::unlock());
        QVERIFY(oneAutomaticChange(*w));
        // The next period counts from the change.
        QCOMPARE(dial(*w)->displayText(), QStringLiteral("1h 0m"));
    }

    void onBatteryNoChangeUntilPowerReturns()
    {
        if (!noBus.isEmpty())
            QSKIP(qPrintable(noBus));
        ServiceFixture service;
        QVERIFY2(startService(service), qPrintable(service.errorString()));
        QVERIFY(MockSystemBus::setOnBattery(true));
        auto w = startWindow(&service, {{SettingsKeys::PauseOnBattery, true}}, true);
        QTRY_COMPARE_WITH_TIMEOUT(dial(*w)->displayText(), QStringLiteral("PAUSE"), 10000);
        fakeNow = fakeNow.addSecs(2 * 3600);
        tick(*w);
        QCOMPARE(changes(*w), 0);
        QVERIFY(MockSystemBus::setOnBattery(false));
        QVERIFY(oneAutomaticChange(*w));
    }

    void fullScreenNoChangeUntilItLeaves()
    {
        FullScreenClient client;
        const QString noX = client.start();
        if (!noX.isEmpty())
            QSKIP(qPrintable(noX));
        ServiceFixture service;
        QVERIFY2(startService(service), qPrintable(service.errorString()));
        auto w = startWindow(&service, {{SettingsKeys::PauseFullScreen, true}}, false);
        QCOMPARE(dial(*w)->displayText(), QStringLiteral("1h 0m"));
        client.setFullScreenInFront(true);
        QTRY_COMPARE_WITH_TIMEOUT(dial(*w)->displayText(), QStringLiteral("PAUSE"), 10000);
        fakeNow = fakeNow.addSecs(2 * 3600);
        tick(*w);
        QCOMPARE(changes(*w), 0);
        client.setFullScreenInFront(false);
        QVERIFY(oneAutomaticChange(*w));
    }
};

VELMORA_TEST_MAIN(TestScheduleSystem)
#include "test_schedule_system.moc"
