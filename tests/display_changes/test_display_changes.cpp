#include "service_fixture.h"
#include "test_main.h"
#include "test_screens.h"
#include "test_window.h"
#include "workflow_access.h"

#include "core/change_log.h"
#include "modern_window.h"
#include "utils/path_helper.h"

#include <QDir>
#include <QDirIterator>
#include <QWindow>
#include <qpa/qwindowsysteminterface.h>

namespace {

using Access = ModernWindowTestAccess;
const TestScreen A{"A", 0, 0, 1920, 1080}, B{"B", 1920, 0, 1280, 1024}, C{"C", 3200, 0, 1600, 900};

// A monitor's log naming a picture of one colour, filed in its folder. The
// monitors tell nothing of themselves, as on Linux without EDID: the id is the connector's.
void fileCurrentPicture(const QString& connector, const QColor& colour)
{
    const QString id = connector + "-unknown-unknown";
    QDir().mkpath(PathHelper::getWallpapersDirectory() + '/' + id);
    QDir().mkpath(PathHelper::getHistoryDirectory());
    QImage::fromData(ServiceFixture::encodedImage(QSize(64, 36), colour))
        .save(PathHelper::getWallpapersDirectory() + '/' + id + '/' + connector + ".png");
    ChangeLog::append(PathHelper::getHistoryDirectory() + '/' + id + ".log",
                      ChangeLog::formatLine(QDateTime::currentDateTime(), connector + ".png", "Manuel", "Remplir"));
}

struct Window
{
    FakePlatformServices* platform = nullptr;
    std::unique_ptr<ModernWindow> w;

    explicit Window(WindowEnvironment env = testWindowEnvironment())
    {
        platform = static_cast<FakePlatformServices*>(env.platform.get());
        platform->defaultMonitorStatus = MonitorIdentity::Status::ConnectorOnly;
        w = std::make_unique<ModernWindow>(std::move(env));
    }
    int reapplications() const { return int(platform->spannedWallpapers.size() + platform->wallpapers.size()); }
    bool showsColours(const QList<QColor>& colours) const { return lastCompositeShows(*platform, colours); }
};

// Every file the history code owns, with its contents.
QMap<QString, QByteArray> storedFiles()
{
    QMap<QString, QByteArray> files;
    for (const QString& root : {PathHelper::getWallpapersDirectory(), PathHelper::getHistoryDirectory()}) {
        for (QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
            QFile file(it.next());
            file.open(QIODevice::ReadOnly);
            files.insert(file.fileName(), file.readAll());
        }
    }
    return files;
}

} // namespace

class TestDisplayChanges : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        TestScreens::apply({A});
        QDir(PathHelper::getWallpapersDirectory()).removeRecursively();
        QDir(PathHelper::getHistoryDirectory()).removeRecursively();
    }

    // The middle monitor goes, the last one moves twice, all in quick succession: one re-application
    // after the last change. It comes back: each monitor gets its own last picture by its id.
    // Nothing is fetched, filed or logged.
    void unplugAndReplugKeepsEachMonitorsPicture()
    {
        ServiceFixture service;
        QVERIFY2(service.start(), qPrintable(service.errorString()));
        TestScreens::apply({A, B, C});
        for (const auto& [connector, colour] : {std::pair{"A", Qt::red}, {"B", Qt::green}, {"C", Qt::blue}})
            fileCurrentPicture(connector, colour);
        Window window(service.windowEnvironment());
        // The strip asks for its three thumbnails at start; nothing after that.
        QTRY_COMPARE_WITH_TIMEOUT(service.log().count(QStringLiteral("/mini/")), 3, 10000);
        const qsizetype startLog = service.log().size();
        const QMap<QString, QByteArray> before = storedFiles();
        for (int x : {1920, 2000, 1920}) {
            TestScreens::apply({A, {"C", x, 0, 1600, 900}});
            QVERIFY(Access::debounce(*window.w)->isActive() && window.reapplications() == 0);
        }
        QTRY_COMPARE_WITH_TIMEOUT(window.reapplications(), 1, 10000);
        QVERIFY(!Access::debounce(*window.w)->isActive() && window.showsColours({Qt::red, Qt::blue}));
        TestScreens::apply({A, B, C});
        QTRY_COMPARE_WITH_TIMEOUT(window.reapplications(), 2, 10000);
        QVERIFY(window.showsColours({Qt::red, Qt::green, Qt::blue}));
        QCOMPARE(storedFiles(), before);
        const QString later = service.log().mid(startLog);
        for (const char* request : {"/wallpapers", "/get/", "/mini/"})
            QVERIFY2(!later.contains(QLatin1String(request)), qPrintable(later));
    }

    void whatIsReapplied_data()
    {
        QTest::addColumn<QList<TestScreen>>("screens");
        QTest::addColumn<QStringList>("logged");
        QTest::addColumn<QStringList>("single");
        QTest::addColumn<QList<QColor>>("composite");
        using Screens = QList<TestScreen>;
        using Colours = QList<QColor>;
        QTest::newRow("one screen") << Screens{A} << QStringList{"A"} << QStringList{"A-unknown-unknown/A.png"}
                                    << Colours{};
        QTest::newRow("log of a monitor gone") << Screens{A} << QStringList{"Z"} << QStringList{} << Colours{};
        QTest::newRow("no screen") << Screens{} << QStringList{"A"} << QStringList{} << Colours{};
        // The composite decides what the monitor without a picture shows.
        QTest::newRow("two screens, one logged")
            << Screens{A, B} << QStringList{"B", "Z"} << QStringList{} << Colours{Qt::black, Qt::green};
    }

    void whatIsReapplied()
    {
        QFETCH(QList<TestScreen>, screens);
        QFETCH(QStringList, logged);
        QFETCH(QStringList, single);
        QFETCH(QList<QColor>, composite);
        TestScreens::apply(screens);
        for (const QString& connector : logged)
            fileCurrentPicture(connector, connector == "B" ? Qt::green : Qt::red);
        Window window;
        QVERIFY(QMetaObject::invokeMethod(window.w.get(), "onDisplayConfigurationChanged"));
        QVERIFY(Access::settle(*window.w));
        QCOMPARE(window.platform->wallpapers.size(), single.size());
        if (!single.isEmpty())
            QVERIFY(window.platform->wallpapers.first().endsWith(single.first()));
        QCOMPARE(window.platform->spannedWallpapers.isEmpty(), composite.isEmpty());
        QVERIFY(composite.isEmpty() || window.showsColours(composite));
    }

    // Started at log-on, never shown, on a system that tells of display changes by a message to
    // the window (Windows): the window has a native window for the message, and the message puts
    // the pictures back.
    void displayMessageReachesWindowStartedInTray()
    {
        TestScreens::apply({A, B});
        fileCurrentPicture("A", Qt::red);
        fileCurrentPicture("B", Qt::green);
        WindowEnvironment env = testWindowEnvironment();
        env.arguments = QStringList{"velmora", "--startup"};
        static_cast<FakePlatformServices*>(env.platform.get())->displayChangeMessages = true;
        Window window(std::move(env));
        QVERIFY(!window.w->isVisible());
        QWindow* native = window.w->windowHandle();
        QVERIFY2(native && native->handle(), "no native window to receive the system's display messages");
        qintptr result = 0;
        QWindowSystemInterface::handleNativeEvent(native, FakePlatformServices::displayChangeEventType, nullptr,
                                                  &result);
        QTRY_COMPARE_WITH_TIMEOUT(window.reapplications(), 1, 10000);
        QVERIFY(window.showsColours({Qt::red, Qt::green}));
        QVERIFY(!window.w->isVisible());
    }

    // A change in flight finishes first; the monitors' pictures, its own among them, are put back after it.
    void changeInFlightIsNotMixedWith()
    {
        ServiceFixture service;
        QVERIFY(service.addCategory("c") &&
                !service.addImage("c", QDate::currentDate(), "new.png", Qt::yellow).isEmpty());
        QVERIFY2(service.start(), qPrintable(service.errorString()));
        TestScreens::apply({A, B});
        fileCurrentPicture("A", Qt::red);
        Window window(service.windowEnvironment());
        window.w->setCategoryRating("c", 1);
        QTest::mouseClick(Access::changeNowButton(*window.w), Qt::LeftButton);
        QVERIFY(Access::changeInFlight(*window.w));
        QVERIFY(QMetaObject::invokeMethod(window.w.get(), "onDisplayConfigurationChanged"));
        QCOMPARE(window.reapplications(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(!Access::changeInFlight(*window.w), 30000);
        QVERIFY(Access::settle(*window.w));
        QCOMPARE(window.reapplications(), 2);
        QVERIFY(window.showsColours({Qt::yellow, Qt::yellow}));
    }
};

VELMORA_TEST_MAIN(TestDisplayChanges)
#include "test_display_changes.moc"
