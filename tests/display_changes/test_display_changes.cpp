#include "fake_platform.h"
#include "service_fixture.h"
#include "test_main.h"
#include "test_screens.h"
#include "test_window.h"

#include "core/change_log.h"
#include "modern_window.h"
#include "utils/path_helper.h"
#include "utils/settings_store.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>

class ModernWindowTestAccess
{
public:
    static QTimer* debounce(ModernWindow& w) { return w.m_displayChangeTimer; }
    static bool changeInFlight(ModernWindow& w) { return w.currentMultiDownload != nullptr; }
    static QPushButton* changeNowButton(ModernWindow& w) { return w.changeNowButton; }
};

namespace {

using Access = ModernWindowTestAccess;

const TestScreen screenA{QStringLiteral("A"), 0, 0, 1920, 1080};
const TestScreen screenB{QStringLiteral("B"), 1920, 0, 1280, 1024};
const TestScreen screenC{QStringLiteral("C"), 3200, 0, 1600, 900};

// Monitors without identity data are known by their connector, as on Linux.
QString idOf(const QString& connector)
{
    return connector + QStringLiteral("-unknown-unknown");
}

// A monitor's log naming a picture of one colour, filed in its folder.
void fileCurrentPicture(const QString& connector, const QColor& colour)
{
    const QString name = connector + QStringLiteral(".png");
    const QString folder = PathHelper::getWallpapersDirectory() + QLatin1Char('/') + idOf(connector);
    QDir().mkpath(folder);
    QImage image(64, 36, QImage::Format_RGB32);
    image.fill(colour);
    QVERIFY(image.save(folder + QLatin1Char('/') + name));
    QDir().mkpath(PathHelper::getHistoryDirectory());
    QVERIFY(ChangeLog::append(PathHelper::getHistoryDirectory() + QLatin1Char('/') + idOf(connector) +
                                  QStringLiteral(".log"),
                              ChangeLog::formatLine(QDateTime::currentDateTime(), name, QStringLiteral("Manuel"),
                                                    QStringLiteral("Remplir"))));
}

struct Window
{
    FakePlatformServices* platform = nullptr;
    std::unique_ptr<ModernWindow> w;
};

Window makeWindow(WindowEnvironment env = testWindowEnvironment())
{
    Window result;
    result.platform = static_cast<FakePlatformServices*>(env.platform.get());
    result.platform->defaultMonitorStatus = MonitorIdentity::Status::ConnectorOnly;
    result.w = std::make_unique<ModernWindow>(std::move(env));
    return result;
}

int reapplications(const Window& window)
{
    return int(window.platform->spannedWallpapers.size() + window.platform->wallpapers.size());
}

// The colour in the middle of each screen of the last composite.
QList<QColor> compositeColours(const Window& window)
{
    const QImage composite(window.platform->spannedWallpapers.last());
    QList<QColor> colours;
    for (const QRect& rect : window.platform->spannedScreenRects.last())
        colours << composite.pixelColor(rect.center());
    return colours;
}

bool sameColours(const QList<QColor>& a, const QList<QColor>& b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (qAbs(a[i].red() - b[i].red()) > 12 || qAbs(a[i].green() - b[i].green()) > 12 ||
            qAbs(a[i].blue() - b[i].blue()) > 12)
            return false;
    }
    return true;
}

// Every file the history code owns, with its contents.
QMap<QString, QByteArray> storedFiles()
{
    QMap<QString, QByteArray> files;
    for (const QString& root : {PathHelper::getWallpapersDirectory(), PathHelper::getHistoryDirectory()}) {
        QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
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
        TestScreens::apply({screenA});
        openSettings().clear();
        QDir(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation)).removeRecursively();
    }

    // A burst of changes settles into one re-application once the last is 500 ms old.
    void burstGivesOneReapplication()
    {
        TestScreens::apply({screenA, screenB});
        fileCurrentPicture(QStringLiteral("A"), Qt::red);
        fileCurrentPicture(QStringLiteral("B"), Qt::green);
        Window window = makeWindow();
        QVERIFY(!Access::debounce(*window.w));

        for (int width : {1600, 1680, 1920}) {
            TestScreens::apply({{QStringLiteral("A"), 0, 0, width, 1080}, {QStringLiteral("B"), width, 0, 1280, 1024}});
            QVERIFY(Access::debounce(*window.w)->isActive());
            QCOMPARE(reapplications(window), 0);
        }
        QCOMPARE(Access::debounce(*window.w)->interval(), 500);
        QVERIFY(Access::debounce(*window.w)->isSingleShot());
        QTRY_COMPARE_WITH_TIMEOUT(reapplications(window), 1, 10000);
        QVERIFY(!Access::debounce(*window.w)->isActive());
        QVERIFY(sameColours(compositeColours(window), {Qt::red, Qt::green}));
    }

    // Unplugging the middle monitor and plugging it back: every monitor gets
    // its own last picture by its id, and nothing is fetched, filed or logged.
    void unplugAndReplugKeepsEachMonitorsPicture()
    {
        ServiceFixture service;
        QVERIFY2(service.start(), qPrintable(service.errorString()));
        TestScreens::apply({screenA, screenB, screenC});
        fileCurrentPicture(QStringLiteral("A"), Qt::red);
        fileCurrentPicture(QStringLiteral("B"), Qt::green);
        fileCurrentPicture(QStringLiteral("C"), Qt::blue);
        Window window = makeWindow(service.windowEnvironment());
        const QMap<QString, QByteArray> before = storedFiles();

        TestScreens::apply({screenA, screenC});
        QTRY_COMPARE_WITH_TIMEOUT(reapplications(window), 1, 10000);
        QVERIFY(sameColours(compositeColours(window), {Qt::red, Qt::blue}));

        TestScreens::apply({screenA, screenB, screenC});
        QTRY_COMPARE_WITH_TIMEOUT(reapplications(window), 2, 10000);
        QVERIFY(sameColours(compositeColours(window), {Qt::red, Qt::green, Qt::blue}));

        QCOMPARE(storedFiles(), before);
        for (const char* request : {"/wallpapers", "/get/", "/mini/"})
            QVERIFY2(!service.log().contains(QLatin1String(request)), qPrintable(service.log()));
    }

    void whatIsReapplied_data()
    {
        QTest::addColumn<QList<TestScreen>>("screens");
        QTest::addColumn<QStringList>("logged");
        QTest::addColumn<int>("single");
        QTest::addColumn<QList<QColor>>("composite");
        QTest::newRow("one screen") << QList<TestScreen>{screenA} << QStringList{"A"} << 1 << QList<QColor>{};
        QTest::newRow("log of a monitor gone")
            << QList<TestScreen>{screenA} << QStringList{"Z"} << 0 << QList<QColor>{};
        // The composite decides what the monitor without a picture shows.
        QTest::newRow("two screens, one logged")
            << QList<TestScreen>{screenA, screenB} << QStringList{"B", "Z"} << 0 << QList<QColor>{Qt::black, Qt::green};
    }

    void whatIsReapplied()
    {
        QFETCH(QList<TestScreen>, screens);
        QFETCH(QStringList, logged);
        QFETCH(int, single);
        QFETCH(QList<QColor>, composite);
        TestScreens::apply(screens);
        const QMap<QString, QColor> colours{{"A", Qt::red}, {"B", Qt::green}, {"Z", Qt::yellow}};
        for (const QString& connector : logged)
            fileCurrentPicture(connector, colours.value(connector));
        Window window = makeWindow();

        QVERIFY(QMetaObject::invokeMethod(window.w.get(), "onDisplayConfigurationChanged"));
        QCOMPARE(window.platform->wallpapers.size(), single);
        if (single)
            QVERIFY(window.platform->wallpapers.first().endsWith(QStringLiteral("/A-unknown-unknown/A.png")));
        QCOMPARE(window.platform->spannedWallpapers.isEmpty(), composite.isEmpty());
        if (!composite.isEmpty())
            QVERIFY(sameColours(compositeColours(window), composite));
    }

    // A change in flight is left to finish; the monitors' pictures are put back after it.
    void changeInFlightIsNotMixedWith()
    {
        ServiceFixture service;
        QVERIFY(service.addCategory(QStringLiteral("c")));
        QVERIFY(!service.addImage("c", QDate::currentDate(), "new.png", Qt::yellow).isEmpty());
        QVERIFY2(service.start(), qPrintable(service.errorString()));
        TestScreens::apply({screenA, screenB});
        fileCurrentPicture(QStringLiteral("A"), Qt::red);
        fileCurrentPicture(QStringLiteral("B"), Qt::green);
        Window window = makeWindow(service.windowEnvironment());
        window.w->setCategoryRating(QStringLiteral("c"), 1);

        QTest::mouseClick(Access::changeNowButton(*window.w), Qt::LeftButton);
        QVERIFY(Access::changeInFlight(*window.w));
        QVERIFY(QMetaObject::invokeMethod(window.w.get(), "onDisplayConfigurationChanged"));
        QCOMPARE(reapplications(window), 0);

        QTRY_VERIFY_WITH_TIMEOUT(!Access::changeInFlight(*window.w), 30000);
        // The change's own composite, then the monitors' logged pictures, which now include it.
        QCOMPARE(reapplications(window), 2);
        QVERIFY(sameColours(compositeColours(window), {Qt::yellow, Qt::yellow}));
    }
};

VELMORA_TEST_MAIN(TestDisplayChanges)
#include "test_display_changes.moc"
