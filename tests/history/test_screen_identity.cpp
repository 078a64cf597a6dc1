#include "history_fixture.h"
#include "test_main.h"
#include "test_screens.h"

#include "core/screen_unique_id.h"
#include "platform/platform_services.h"

// How a monitor gets the id that names its log and its wallpaper folder.
class TestScreenIdentity : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { TestScreens::apply({{"A", 0, 0, 1920, 1080, 1.0}}); }

    void sanitizing_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("allowed") << "Ab9_-z"
                                 << "Ab9_-z";
        QTest::newRow("blank and parentheses") << "Generic (PnP)"
                                               << "Generic__PnP_";
        QTest::newRow("one per character") << "a..b"
                                           << "a__b";
        QTest::newRow("accented") << QStringLiteral("Écran") << "_cran";
        QTest::newRow("outside the basic plane") << QStringLiteral("A\U0001F5A5B") << "A_B";
        QTest::newRow("path") << "..\\x/y:z"
                              << "___x_y_z";
        QTest::newRow("empty") << ""
                               << "";
    }

    void sanitizing()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(ScreenUniqueId::sanitize(text), expected);
    }

    void windowBuildsEachForm()
    {
        TestScreens::apply({{"DP-1", 0, 0, 1920, 1080}, {"DP-2", 1920, 0, 1280, 1024}, {"HDMI 3", 3200, 0, 800, 600}});
        auto w = makeHistoryWindow({{0, knownMonitor("", "-1", "4353")}, {1, knownMonitor("Word (Word)", "0", "264")}});
        QCOMPARE(w->screenId(0), QStringLiteral("IM--1-4353"));
        QCOMPARE(w->screenId(1), QStringLiteral("Word__Word_-0-264"));
        // Fewer named paths than screens: the rest fall back to name and position.
        QCOMPARE(w->screenId(2), QStringLiteral("HDMI_3-2-unknown"));
        QCOMPARE(w->screenId(-1), QStringLiteral("unknown_-1"));
        QCOMPARE(w->screenId(3), QStringLiteral("unknown_3"));

        w.platform->monitorIdentities.clear();
        w.platform->defaultMonitorStatus = MonitorIdentity::Status::Unreadable;
        QCOMPARE(w->screenId(2), QStringLiteral("HDMI_3-unknown-unknown"));
        QCOMPARE(w->screenId(0), QStringLiteral("DP-1-unknown-unknown"));
    }

    void idsAreStableAndOfTheAllowedCharacters()
    {
        TestScreens::apply({{"A", 0, 0, 1920, 1080}, {"B", 1920, 0, 1280, 1024}});
        auto w = makeHistoryWindow({{0, knownMonitor(QStringLiteral("Moniteur / à gauche"), "7", "1")}});
        const QRegularExpression allowed(QStringLiteral("^[A-Za-z0-9_-]+$"));
        for (int screen = -1; screen <= 2; ++screen) {
            const QString id = w->screenId(screen);
            QVERIFY2(allowed.match(id).hasMatch(), qPrintable(id));
            QCOMPARE(w->screenId(screen), id);
        }
    }

    // Without EDID a monitor is known by its connector alone, so that it keeps
    // its id (and its history) when a monitor listed before it goes.
    void linuxNamesAMonitorWithoutEdidByItsConnector()
    {
        // The offscreen platform reports no model, maker or serial number.
        TestScreens::apply({{"A", 0, 0, 1920, 1080}, {"B", 1920, 0, 1280, 1024}});
        const std::unique_ptr<PlatformServices> platform = createPlatformServices();
        if (QByteArray(platform->name()) != "linux")
            QSKIP("not the Linux platform layer");
        QCOMPARE(platform->monitorIdentity(1).status, MonitorIdentity::Status::ConnectorOnly);
        QCOMPARE(platform->monitorIdentity(5).status, MonitorIdentity::Status::Unknown);

        WindowEnvironment env;
        env.arguments = QStringList{QStringLiteral("velmora")};
        env.platform = createPlatformServices();
        ModernWindow window(std::move(env));
        ModernWindowTestAccess access(window);
        QCOMPARE(access.screenId(0), QStringLiteral("A-unknown-unknown"));
        QCOMPARE(access.screenId(1), QStringLiteral("B-unknown-unknown"));
        TestScreens::apply({{"B", 1920, 0, 1280, 1024}});
        QCOMPARE(access.screenId(0), QStringLiteral("B-unknown-unknown"));
    }
};

VELMORA_TEST_MAIN(TestScreenIdentity)
#include "test_screen_identity.moc"
