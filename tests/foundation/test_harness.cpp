#include "test_main.h"
#include "test_screens.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>

// The harness itself: isolation from the user and the screen layouts that
// later tests rely on.
class TestHarness : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void userPlacesAreTemporary()
    {
        const QString root = TestEnvironment::root();
        QVERIFY(!root.isEmpty());
        QVERIFY(QDir::homePath().startsWith(root));
        QVERIFY(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation).startsWith(root));
        QVERIFY(QStandardPaths::writableLocation(QStandardPaths::CacheLocation).startsWith(root));
        QVERIFY(QStandardPaths::writableLocation(QStandardPaths::TempLocation).startsWith(root));
        QSettings settings(QStringLiteral("Velmora"), QStringLiteral("WallpaperSettings"));
        QVERIFY(settings.fileName().startsWith(root));
    }

    void defaultIsOneScreen()
    {
        QCOMPARE(QGuiApplication::screens().size(), 1);
        QCOMPARE(QGuiApplication::primaryScreen()->geometry(), QRect(0, 0, 1920, 1080));
    }

    void layoutsApplyInNameOrder()
    {
        TestScreens::apply(
            {{"B", 1920, 0, 1280, 1024, 1.0}, {"A", 0, 0, 1920, 1080, 1.5}, {"C", -800, 200, 800, 600, 2.0}});
        const auto screens = QGuiApplication::screens();
        QCOMPARE(screens.size(), 3);
        QCOMPARE(screens[0]->name(), QStringLiteral("A"));
        QCOMPARE(screens[1]->name(), QStringLiteral("B"));
        QCOMPARE(screens[2]->name(), QStringLiteral("C"));
        QCOMPARE(QGuiApplication::primaryScreen()->name(), QStringLiteral("A"));
        QCOMPARE(screens[2]->geometry().topLeft(), QPoint(-800, 200));
        QCOMPARE(screens[0]->devicePixelRatio(), 1.5);
        QCOMPARE(screens[2]->devicePixelRatio(), 2.0);

        // Re-applying with the same names gives fresh screens with the new values.
        TestScreens::apply({{"A", 0, 0, 2560, 1440, 1.25}});
        QCOMPARE(QGuiApplication::screens().size(), 1);
        QCOMPARE(QGuiApplication::primaryScreen()->devicePixelRatio(), 1.25);
    }
};

VELMORA_TEST_MAIN(TestHarness)
#include "test_harness.moc"
