#include "fake_platform.h"
#include "test_main.h"
#include "test_window.h"

#include "modern_window.h"
#include "utils/utils.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTimer>

namespace {

struct Window
{
    FakePlatformServices* platform = nullptr;
    std::unique_ptr<ModernWindow> window;
};

Window makeWindow(const QStringList& arguments = {QStringLiteral("velmora")}, bool tray = true)
{
    Window result;
    WindowEnvironment env = testWindowEnvironment({}, {}, &result.platform);
    result.platform->trayAvailable = tray;
    env.arguments = arguments;
    result.window = std::make_unique<ModernWindow>(std::move(env));
    return result;
}

QAction* trayAction(ModernWindow& window, const QString& text)
{
    auto* tray = window.findChild<QSystemTrayIcon*>();
    if (!tray || !tray->contextMenu())
        return nullptr;
    const auto actions = tray->contextMenu()->actions();
    for (QAction* action : actions) {
        if (action->text() == text)
            return action;
    }
    return nullptr;
}

// Runs the application's event loop until something quits it; a stuck loop
// ends with -1 instead of hanging the suite.
int runUntilQuit(const std::function<void()>& action)
{
    QTimer::singleShot(0, action);
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(-1); });
    guard.start(20000);
    return QCoreApplication::exec();
}

} // namespace

class TestWindowLifecycle : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void startupArgumentMustMatchWholly_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("startup");
        QTest::newRow("none") << QStringList{"velmora"} << false;
        QTest::newRow("exact") << QStringList{"velmora", "--startup"} << true;
        QTest::newRow("among others") << QStringList{"velmora", "-x", "--startup", "y"} << true;
        QTest::newRow("prefix") << QStringList{"velmora", "--startupx"} << false;
        QTest::newRow("with value") << QStringList{"velmora", "--startup=1"} << false;
        QTest::newRow("case") << QStringList{"velmora", "--Startup"} << false;
        QTest::newRow("single dash") << QStringList{"velmora", "-startup"} << false;
        QTest::newRow("padded") << QStringList{"velmora", " --startup"} << false;
    }

    void startupArgumentMustMatchWholly()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, startup);
        QCOMPARE(isStartupLaunch(arguments), startup);
    }

    void windowIsFixedSizeWithTitleAndTabs()
    {
        auto w = makeWindow();
        ModernWindow& window = *w.window;
        QCOMPARE(window.windowTitle(), QStringLiteral("Velmora"));
        QCOMPARE(window.size(), QSize(725, 650));
        QCOMPARE(window.minimumSize(), QSize(725, 650));
        QCOMPARE(window.maximumSize(), QSize(725, 650));
        const Qt::WindowFlags flags = window.windowFlags();
        QCOMPARE(flags & Qt::WindowType_Mask, Qt::Window);
        QVERIFY(flags.testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
        QVERIFY(!window.isVisible());

        auto* title = window.findChild<QLabel*>("titleLabel");
        QVERIFY(title);
        QCOMPARE(title->text(), QStringLiteral("Velmora - Обои, созданные ИИ"));
        QCOMPARE(title->alignment(), Qt::AlignCenter);
        QVERIFY(window.findChild<QTabWidget*>("tabWidget"));
    }

    void trayMenuHasShowAndQuit()
    {
        auto w = makeWindow();
        auto* tray = w.window->findChild<QSystemTrayIcon*>();
        QVERIFY(tray);
        QCOMPARE(tray->toolTip(), QStringLiteral("Velmora"));
        QVERIFY(tray->isVisible());
        const auto actions = tray->contextMenu()->actions();
        // "Показать" first, "Выйти" last, the control entries between, set apart by separators.
        QVERIFY(actions.size() >= 3);
        QCOMPARE(actions.constFirst()->text(), QStringLiteral("По&казать"));
        QVERIFY(actions[1]->isSeparator());
        QVERIFY(actions[actions.size() - 2]->isSeparator());
        QCOMPARE(actions.constLast()->text(), QStringLiteral("В&ыйти"));
    }

    void minimiseHidesToTrayAndShowRestores()
    {
        auto w = makeWindow();
        ModernWindow& window = *w.window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        window.setWindowState(Qt::WindowMinimized);
        QTRY_VERIFY(!window.isVisible());

        trayAction(window, QStringLiteral("По&казать"))->trigger();
        QVERIFY(window.isVisible());
        QVERIFY(!(window.windowState() & Qt::WindowMinimized));
        QCOMPARE(w.platform->frontRequests, QList<QWidget*>{&window});
    }

    void minimiseWithoutTrayKeepsTheWindow()
    {
        auto w = makeWindow({QStringLiteral("velmora")}, false);
        ModernWindow& window = *w.window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.setWindowState(Qt::WindowMinimized);
        QCoreApplication::processEvents();
        QVERIFY(window.isVisible());
    }

    void trayClicks_data()
    {
        QTest::addColumn<int>("reason");
        QTest::addColumn<bool>("acts");
        QTest::newRow("trigger") << int(QSystemTrayIcon::Trigger) << true;
        QTest::newRow("double click") << int(QSystemTrayIcon::DoubleClick) << true;
        QTest::newRow("context") << int(QSystemTrayIcon::Context) << false;
        QTest::newRow("middle") << int(QSystemTrayIcon::MiddleClick) << false;
        QTest::newRow("unknown") << int(QSystemTrayIcon::Unknown) << false;
    }

    void trayClicks()
    {
        QFETCH(int, reason);
        QFETCH(bool, acts);
        auto w = makeWindow();
        ModernWindow& window = *w.window;
        auto* tray = window.findChild<QSystemTrayIcon*>();

        // Hidden window: an acting click restores it.
        Q_EMIT tray->activated(QSystemTrayIcon::ActivationReason(reason));
        QCOMPARE(window.isVisible(), acts);

        // Visible window: an acting click hides it.
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        Q_EMIT tray->activated(QSystemTrayIcon::ActivationReason(reason));
        QCOMPARE(window.isVisible(), !acts);
    }

    void closeEndsTheProgram()
    {
        auto w = makeWindow();
        ModernWindow& window = *w.window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto* tray = window.findChild<QSystemTrayIcon*>();
        const int code = runUntilQuit([&] { window.close(); });
        QCOMPARE(code, 0);
        QVERIFY(!tray->isVisible());
    }

    void quitFromTrayEndsTheProgram()
    {
        auto w = makeWindow({QStringLiteral("velmora"), QStringLiteral("--startup")});
        auto* tray = w.window->findChild<QSystemTrayIcon*>();
        const int code = runUntilQuit([&] { trayAction(*w.window, QStringLiteral("В&ыйти"))->trigger(); });
        QCOMPARE(code, 0);
        QVERIFY(!tray->isVisible());
        QVERIFY(!w.window->isVisible());
    }
};

VELMORA_TEST_MAIN(TestWindowLifecycle)
#include "test_window_lifecycle.moc"
