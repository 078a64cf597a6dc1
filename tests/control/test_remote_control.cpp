#include "control_access.h"
#include "service_fixture.h"
#include "test_main.h"
#include "test_screens.h"
#include "test_window.h"

#include "core/settings_keys.h"
#include "core/single_instance.h"
#include "utils/path_helper.h"
#include "utils/settings_store.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QKeySequenceEdit>
#include <QLocalSocket>
#include <QMenu>
#include <QProcess>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QtEndian>

namespace {

using Access = ModernWindowTestAccess;
constexpr int kWaitMs = 60000;

struct Run
{
    int exitCode = -1;
    QByteArray out;
    QString err;
};

// The real program as a second start; this process's loop keeps running
// meanwhile, so that the instance under test can answer it.
Run runProgram(const QStringList& arguments)
{
    QProcess process;
    process.start(QStringLiteral(VELMORA_BINARY), arguments);
    Run run;
    if (!QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, kWaitMs))
        process.kill();
    process.waitForFinished(kWaitMs);
    if (process.exitStatus() == QProcess::NormalExit)
        run.exitCode = process.exitCode();
    run.out = process.readAllStandardOutput();
    run.err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

QStringList logLines(ModernWindow& window, int screen)
{
    QFile log(PathHelper::monitorLogPath(window.getHistoryDirectory(), Access::screenId(window, screen)));
    if (!log.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// A window on the real service, with the single instance wired as the program wires it.
struct Running
{
    // The schedule's wall clock runs this far ahead of the real one.
    static inline qint64 clockAheadMs = 0;
    ServiceFixture service;
    std::unique_ptr<ModernWindow> window;
    std::unique_ptr<SingleInstance> instance;

    bool start()
    {
        if (!service.addCategory(QStringLiteral("c")))
            return false;
        for (int i = 0; i < 6; ++i) {
            if (service.addImage(QStringLiteral("c"), QDate::currentDate(), QStringLiteral("p%1.png").arg(i)).isEmpty())
                return false;
        }
        if (!service.start())
            return false;
        clockAheadMs = 0;
        window = std::make_unique<ModernWindow>(environment());
        window->setCategoryRating(QStringLiteral("c"), 2);
        instance = std::make_unique<SingleInstance>();
        if (instance->start({QStringLiteral("velmora"), QStringLiteral("--startup")}) != SingleInstance::Role::Primary)
            return false;
        instance->setCommandHandler([this](const RemoteCommand& c) { return window->runRemoteCommand(c); });
        return true;
    }

    WindowEnvironment environment()
    {
        WindowEnvironment env = service.windowEnvironment();
        env.wallClock = [] { return QDateTime::currentDateTimeUtc().addMSecs(clockAheadMs); };
        return env;
    }

    bool changed(int screen, int lines)
    {
        return QTest::qWaitFor(
            [&] { return logLines(*window, screen).size() == lines && !Access::changeInFlight(*window); }, kWaitMs);
    }
};

} // namespace

class TestRemoteControl : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        TestScreens::apply({{QStringLiteral("A"), 0, 0, 1920, 1080}});
        openSettings().clear();
        // Every hour: the dial counts.
        openSettings().setValue(SettingsKeys::Frequency, 1);
        QDir(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation)).removeRecursively();
        QDir(QStandardPaths::writableLocation(QStandardPaths::CacheLocation)).removeRecursively();
    }

    void nextChangesTheRunningInstance()
    {
        Running running;
        QVERIFY2(running.start(), qPrintable(running.service.errorString()));
        const Run run = runProgram({QStringLiteral("--next")});
        QCOMPARE(run.exitCode, 0);
        QVERIFY(running.changed(0, 1));
        QVERIFY(logLines(*running.window, 0).constFirst().contains(QStringLiteral("[Manuel]")));
        QCOMPARE(Access::platform(*running.window).spannedWallpapers.size(), 1);
        // Handed over, a command never brings the window up.
        QVERIFY(!running.window->isVisible());
    }

    void nextOnOneScreenChangesOnlyThatMonitor()
    {
        TestScreens::apply({{QStringLiteral("A"), 0, 0, 1920, 1080}, {QStringLiteral("B"), 1920, 0, 1920, 1080}});
        openSettings().setValue(SettingsKeys::MultiScreen, true);
        Running running;
        QVERIFY2(running.start(), qPrintable(running.service.errorString()));
        QCOMPARE(runProgram({QStringLiteral("--next")}).exitCode, 0);
        QVERIFY(running.changed(0, 1) && running.changed(1, 1));

        QCOMPARE(runProgram({QStringLiteral("--next"), QStringLiteral("--screen"), QStringLiteral("2")}).exitCode, 0);
        QVERIFY(running.changed(1, 2));
        QCOMPARE(logLines(*running.window, 0).size(), 1);

        // By its id, as --status names it.
        const QString firstId = Access::screenId(*running.window, 0);
        QCOMPARE(runProgram({QStringLiteral("--next"), QStringLiteral("--screen=") + firstId}).exitCode, 0);
        QVERIFY(running.changed(0, 2));
        QCOMPARE(logLines(*running.window, 1).size(), 2);

        const Run missing = runProgram({QStringLiteral("--next"), QStringLiteral("--screen"), QStringLiteral("3")});
        QCOMPARE(missing.exitCode, 3);
        QVERIFY2(missing.err.contains(QStringLiteral("no such screen")), qPrintable(missing.err));
    }

    void pauseHoldsADueChangeAndResumeLetsItRun()
    {
        Running running;
        QVERIFY2(running.start(), qPrintable(running.service.errorString()));
        ModernWindow& window = *running.window;
        CountdownWidget* dial = Access::dial(window);

        QCOMPARE(runProgram({QStringLiteral("--pause"), QStringLiteral("1h")}).exitCode, 0);
        QCOMPARE(dial->displayText(), QStringLiteral("PAUSE"));
        // The schedule's moment passes (the pause is counted on the real clock): no change happens.
        Running::clockAheadMs = 3 * 3600 * 1000;
        Q_EMIT dial->countdownExpired();
        QVERIFY(!Access::changeInFlight(window));
        QCOMPARE(dial->displayText(), QStringLiteral("PAUSE"));

        {
            // A restart within the hour is still paused.
            ModernWindow restarted(running.environment());
            QCOMPARE(Access::dial(restarted)->displayText(), QStringLiteral("PAUSE"));
        }

        QCOMPARE(runProgram({QStringLiteral("--resume")}).exitCode, 0);
        QVERIFY(dial->displayText() != QStringLiteral("PAUSE"));
        QVERIFY(!openSettings().contains(SettingsKeys::PausedUntil));
        // The change that fell due during the pause runs now.
        QVERIFY(running.changed(0, 1));
        QVERIFY(logLines(window, 0).constFirst().contains(QStringLiteral("[Automatique]")));
    }

    void trayEntriesPauseAndChange()
    {
        Running running;
        QVERIFY2(running.start(), qPrintable(running.service.errorString()));
        QMenu* menu = Access::trayMenu(*running.window);
        Q_EMIT menu->aboutToShow();
        QAction* resume = menu->findChild<QAction*>(QStringLiteral("trayResumeAction"));
        QVERIFY(resume && !resume->isVisible());
        menu->findChild<QAction*>(QStringLiteral("trayPauseUntilResumedAction"))->trigger();
        QVERIFY(resume->isVisible());
        QCOMPARE(Access::dial(*running.window)->displayText(), QStringLiteral("PAUSE"));
        auto* tray = running.window->findChild<QSystemTrayIcon*>();
        QVERIFY(tray->toolTip().contains(QStringLiteral("пауза")));
        resume->trigger();
        QVERIFY(!resume->isVisible());
        QCOMPARE(tray->toolTip(), QStringLiteral("Velmora"));

        menu->findChild<QAction*>(QStringLiteral("trayNextAction"))->trigger();
        QVERIFY(running.changed(0, 1));
        Q_EMIT menu->aboutToShow();
        QAction* picture = menu->findChild<QAction*>(QStringLiteral("trayPicture_0"));
        QVERIFY(picture && picture->isEnabled());
        picture->trigger();
        QCOMPARE(Access::platform(*running.window).openedFolders,
                 QStringList{QFileInfo(Access::currentWallpaper(*running.window, 0)).absolutePath()});
    }

    void globalShortcutChangesTheWallpaper()
    {
        Running running;
        QVERIFY(running.service.addCategory(QStringLiteral("c")));
        QVERIFY(
            !running.service.addImage(QStringLiteral("c"), QDate::currentDate(), QStringLiteral("p.png")).isEmpty());
        QVERIFY2(running.service.start(), qPrintable(running.service.errorString()));
        auto withShortcuts = [&] {
            WindowEnvironment environment = running.service.windowEnvironment();
            static_cast<FakePlatformServices&>(*environment.platform).globalShortcuts = true;
            return std::make_unique<ModernWindow>(std::move(environment));
        };
        running.window = withShortcuts();
        running.window->setCategoryRating(QStringLiteral("c"), 2);
        FakePlatformServices& platform = Access::platform(*running.window);
        // Off until the user picks one.
        QCOMPARE(platform.globalShortcut, 0);
        auto* edit = running.window->findChild<QKeySequenceEdit*>(QStringLiteral("globalShortcutEdit"));
        QVERIFY(edit);
        const QKeySequence keys(Qt::CTRL | Qt::ALT | Qt::Key_N);
        edit->setKeySequence(keys);
        Q_EMIT edit->editingFinished();
        QCOMPARE(platform.globalShortcut, keys[0].toCombined());

        QVERIFY(Access::nativeEvent(*running.window, FakePlatformServices::globalShortcutEventType));
        QVERIFY(running.changed(0, 1));
        QVERIFY(logLines(*running.window, 0).constFirst().contains(QStringLiteral("[Manuel]")));

        // Owned again after a restart; given up when cleared.
        running.window = withShortcuts();
        QCOMPARE(Access::platform(*running.window).globalShortcut, keys[0].toCombined());
        edit = running.window->findChild<QKeySequenceEdit*>(QStringLiteral("globalShortcutEdit"));
        edit->clear();
        QCOMPARE(Access::platform(*running.window).globalShortcut, 0);
        QVERIFY(!openSettings().contains(SettingsKeys::GlobalShortcut));
    }

    void statusPrintsTheLoggedPictures()
    {
        Running running;
        QVERIFY2(running.start(), qPrintable(running.service.errorString()));
        QCOMPARE(runProgram({QStringLiteral("--next")}).exitCode, 0);
        QVERIFY(running.changed(0, 1));
        QCOMPARE(runProgram({QStringLiteral("--pause")}).exitCode, 0);

        const Run run = runProgram({QStringLiteral("--status")});
        QCOMPARE(run.exitCode, 0);
        QJsonParseError error;
        const QJsonObject status = QJsonDocument::fromJson(run.out, &error).object();
        QVERIFY2(error.error == QJsonParseError::NoError, qPrintable(error.errorString()));
        const QJsonObject screen = status.value("screens").toArray().at(0).toObject();
        QCOMPARE(screen.value("id").toString(), Access::screenId(*running.window, 0));
        QCOMPARE(screen.value("picture").toString(), Access::currentWallpaper(*running.window, 0));
        QVERIFY(!screen.value("picture").toString().isEmpty());
        QVERIFY(QDateTime::fromString(screen.value("applied").toString(), Qt::ISODate).isValid());
        QCOMPARE(screen.value("category").toString(), QStringLiteral("c"));
        QCOMPARE(screen.value("date").toString(), QDate::currentDate().toString(Qt::ISODate));
        QCOMPARE(status.value("pause").toObject().value("paused").toBool(), true);
        QVERIFY(status.value("schedule").toObject().value("nextChange").isNull());
    }

    void badArgumentsChangeNothing_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("screen without value") << QStringList{"--next", "--screen"};
        QTest::newRow("bad duration") << QStringList{"--pause", "soon"};
        QTest::newRow("two commands") << QStringList{"--pause", "--next"};
        QTest::newRow("stray word") << QStringList{"--resume", "please"};
    }

    void badArgumentsChangeNothing()
    {
        QFETCH(QStringList, arguments);
        Running running;
        QVERIFY2(running.start(), qPrintable(running.service.errorString()));
        const Run run = runProgram(arguments);
        QCOMPARE(run.exitCode, 2);
        QVERIFY(run.err.startsWith(QStringLiteral("velmora: ")));
        QVERIFY(run.out.isEmpty());
        QTest::qWait(0);
        QVERIFY(!Access::changeInFlight(*running.window));
        QVERIFY(!openSettings().contains(SettingsKeys::PausedUntil));
        QVERIFY(!running.window->isVisible());
    }

    void malformedHandOverIsRefused_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("not JSON") << QByteArray("\x01{next") << 2;
        QTest::newRow("other version") << QByteArray("\x01{\"version\":9,\"command\":\"next\"}") << 2;
        QTest::newRow("oversized") << QByteArray("\x01") + QByteArray(60000, ' ') + "{}" << 2;
        // The length alone is past the limit: the connection is dropped unread.
        QTest::newRow("length too large") << QByteArray() << -1;
    }

    void malformedHandOverIsRefused()
    {
        QFETCH(QByteArray, payload);
        QFETCH(int, exitCode);
        Running running;
        QVERIFY2(running.start(), qPrintable(running.service.errorString()));

        QLocalSocket socket;
        socket.connectToServer(SingleInstance::defaultServerName());
        QVERIFY(socket.waitForConnected(5000));
        QByteArray header(4, '\0');
        qToBigEndian<quint32>(payload.isEmpty() ? 0x7fffffffU : quint32(payload.size()), header.data());
        socket.write(header + payload);
        QByteArray reply;
        QVERIFY(QTest::qWaitFor(
            [&] {
                reply += socket.readAll();
                return socket.state() == QLocalSocket::UnconnectedState;
            },
            kWaitMs));
        if (exitCode < 0) {
            QVERIFY(reply.isEmpty());
        } else {
            const std::optional<RemoteReply> answer = RemoteProtocol::decodeReply(reply.mid(4));
            QVERIFY(answer);
            QCOMPARE(answer->exitCode, exitCode);
        }
        QVERIFY(!Access::changeInFlight(*running.window));
        QVERIFY(!running.window->isVisible());
        // The instance still answers a proper command.
        QCOMPARE(runProgram({QStringLiteral("--status")}).exitCode, 0);
    }

    void commandStartsVelmoraHiddenWhenNoneRuns()
    {
        ServiceFixture service;
        QVERIFY(service.addCategory(QStringLiteral("c")));
        QVERIFY(!service.addImage(QStringLiteral("c"), QDate::currentDate(), QStringLiteral("p.png")).isEmpty());
        QVERIFY2(service.start(), qPrintable(service.errorString()));
        // What main() builds for "velmora --next" when no instance answers.
        WindowEnvironment environment = service.windowEnvironment();
        environment.arguments = QStringList{QStringLiteral("velmora"), QStringLiteral("--next")};
        ModernWindow window(std::move(environment));
        window.setCategoryRating(QStringLiteral("c"), 2);
        QVERIFY(Access::inTray(window));
        QVERIFY(QTest::qWaitFor([&] { return logLines(window, 0).size() == 1; }, kWaitMs));
        QVERIFY(!window.isVisible());
    }

    void realCommandWithNoneRunningBecomesTheInstance()
    {
        QProcess first;
        first.start(QStringLiteral(VELMORA_BINARY), {QStringLiteral("--pause"), QStringLiteral("2h")});
        // It stays, hidden, and the next command finds it paused.
        QVERIFY(QTest::qWaitFor([] { return QFileInfo::exists(SingleInstance::defaultServerName()); }, kWaitMs));
        Run status;
        QVERIFY(QTest::qWaitFor(
            [&] {
                status = runProgram({QStringLiteral("--status")});
                return status.exitCode == 0;
            },
            kWaitMs));
        QVERIFY(QJsonDocument::fromJson(status.out).object().value("pause").toObject().value("paused").toBool());
        QCOMPARE(first.state(), QProcess::Running);
        first.kill();
        first.waitForFinished(kWaitMs);
    }
};

VELMORA_TEST_MAIN(TestRemoteControl)
#include "test_remote_control.moc"
