#include "fake_platform.h"
#include "test_main.h"
#include "test_pictures.h"
#include "test_screens.h"
#include "test_window.h"

#include "core/wallpaper_builder.h"
#include "modern_window.h"
#include "utils/path_helper.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <optional>

using namespace TestPictures;

// The setters answer later, on the GUI thread; these wait for the answer.
class ModernWindowTestAccess
{
public:
    static bool setWallpaperWithSmoothTransition(ModernWindow& w, const QString& path)
    {
        std::optional<bool> answer;
        w.setWallpaperWithSmoothTransition(path, [&](bool accepted) { answer = accepted; });
        return waitFor(answer);
    }
    static bool setMultipleWallpapers(ModernWindow& w, const QMap<int, QString>& paths)
    {
        std::optional<bool> answer;
        w.setMultipleWallpapers(paths, [&](bool accepted) { answer = accepted; });
        return waitFor(answer);
    }
    static bool setSpanWallpaperMode(ModernWindow& w) { return w.setSpanWallpaperMode(); }
    static void rebuildCompositeWallpaper(ModernWindow& w, const QMap<int, QString>& paths)
    {
        std::optional<bool> answer;
        w.rebuildCompositeWallpaper(paths, [&](bool) { answer = true; });
        waitFor(answer);
    }

private:
    static bool waitFor(const std::optional<bool>& answer)
    {
        return QTest::qWaitFor([&] { return answer.has_value(); }, 30000) && *answer;
    }
};

using Access = ModernWindowTestAccess;

namespace {

struct Window
{
    FakePlatformServices* platform = nullptr;
    std::unique_ptr<ModernWindow> window;
};

Window makeWindow()
{
    Window result;
    result.window = std::make_unique<ModernWindow>(testWindowEnvironment({}, {}, &result.platform));
    return result;
}

QString compositePath()
{
    return PathHelper::getTemporaryDirectory() + QStringLiteral("/composite_wallpaper.bmp");
}

const QColor red(220, 30, 30);
const QColor blue(30, 40, 210);
const QColor green(20, 200, 60);

} // namespace

class TestWallpaperApplication : public QObject
{
    Q_OBJECT

    QTemporaryDir m_folder;
    QString m_red;
    QString m_blue;
    QString m_green;

private Q_SLOTS:
    void initTestCase()
    {
        m_red = save(m_folder.path(), QStringLiteral("red.png"), flat(QSize(64, 36), red));
        m_blue = save(m_folder.path(), QStringLiteral("blue.jpg"), flat(QSize(64, 36), blue));
        m_green = save(m_folder.path(), QStringLiteral("green.bmp"), flat(QSize(64, 36), green));
    }

    void init()
    {
        TestScreens::apply({{QStringLiteral("A"), 0, 0, 192, 108},
                            {QStringLiteral("B"), -128, -20, 128, 100},
                            {QStringLiteral("C"), 192, 0, 100, 80}});
        QFile::remove(compositePath());
    }

    void singleImageGoesToEveryMonitor_data()
    {
        QTest::addColumn<bool>("accepted");
        QTest::newRow("accepted") << true;
        QTest::newRow("refused") << false;
    }

    void singleImageGoesToEveryMonitor()
    {
        QFETCH(bool, accepted);
        auto w = makeWindow();
        w.platform->wallpaperResult = accepted;
        QCOMPARE(Access::setWallpaperWithSmoothTransition(*w.window, m_red), accepted);
        QCOMPARE(w.platform->wallpapers, QList<QString>{m_red});
        QCOMPARE(w.platform->spanStyleRequests, 0);
        QVERIFY(w.platform->spannedWallpapers.isEmpty());
    }

    void spanStyleFollowsThePlatform()
    {
        auto w = makeWindow();
        QVERIFY(Access::setSpanWallpaperMode(*w.window));
        w.platform->spanStyleResult = false;
        QVERIFY(!Access::setSpanWallpaperMode(*w.window));
        QCOMPARE(w.platform->spanStyleRequests, 2);
    }

    // The composite is written, the span style asked for, and the composite set
    // with each monitor's rectangle inside it; the result is the setter's.
    void compositeIsSetInSpanStyle_data()
    {
        QTest::addColumn<bool>("styleAccepted");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("all accepted") << true << true;
        QTest::newRow("style refused") << false << true;
        QTest::newRow("wallpaper refused") << true << false;
    }

    void compositeIsSetInSpanStyle()
    {
        QFETCH(bool, styleAccepted);
        QFETCH(bool, accepted);
        auto w = makeWindow();
        w.platform->spanStyleResult = styleAccepted;
        w.platform->spannedResult = accepted;
        QCOMPARE(Access::setMultipleWallpapers(*w.window, {{0, m_red}, {1, m_blue}, {2, m_green}}), accepted);
        QCOMPARE(w.platform->spanStyleRequests, 1);
        QCOMPARE(w.platform->spannedWallpapers, QList<QString>{compositePath()});
        const QList<QRect> rects{QRect(128, 20, 192, 108), QRect(0, 0, 128, 100), QRect(320, 20, 100, 80)};
        QCOMPARE(w.platform->spannedScreenRects, QList<QList<QRect>>{rects});
        QVERIFY(w.platform->wallpapers.isEmpty());

        const QImage composite(compositePath());
        QCOMPARE(composite.size(), QSize(420, 128));
        QVERIFY(near(composite.pixel(rects[0].center()), red));
        QVERIFY(near(composite.pixel(rects[1].center()), blue, 6));
        QVERIFY(near(composite.pixel(rects[2].center()), green));
        QVERIFY(near(composite.pixel(0, 110), Qt::black));
    }

    // Without a composite nothing of the desktop is touched.
    void compositeThatCannotBeBuiltChangesNothing()
    {
        auto w = makeWindow();
        QVERIFY(!Access::setMultipleWallpapers(*w.window, {{3, m_red}, {-1, m_blue}}));
        QVERIFY(!Access::setMultipleWallpapers(*w.window, {}));
        QCOMPARE(w.platform->spanStyleRequests, 0);
        QVERIFY(w.platform->spannedWallpapers.isEmpty());
        QVERIFY(w.platform->wallpapers.isEmpty());
        QVERIFY(!QFile::exists(compositePath()));
    }

    void rebuildSetsTheCompositeAsTheDesktopHoldsIt()
    {
        auto w = makeWindow();
        w.platform->spannedResult = false; // ignored
        Access::rebuildCompositeWallpaper(*w.window, {{0, m_red}, {2, m_green}});
        QCOMPARE(w.platform->spannedWallpapers, QList<QString>{compositePath()});
        QCOMPARE(w.platform->spanStyleRequests, 0);
        const QImage composite(compositePath());
        QVERIFY(near(composite.pixel(200, 50), red));
        QVERIFY(near(composite.pixel(50, 50), Qt::black));
    }

    // Each composite replaces the last; the one replaced is set aside, not
    // left behind, once the desktop has the new one.
    void aReplacedCompositeIsDropped()
    {
        auto w = makeWindow();
        QVERIFY(Access::setMultipleWallpapers(*w.window, {{0, m_red}}));
        Access::rebuildCompositeWallpaper(*w.window, {{0, m_green}});
        QVERIFY(near(QImage(compositePath()).pixel(200, 50), green));
        QVERIFY(Access::setMultipleWallpapers(*w.window, {{0, m_blue}}));
        QVERIFY(near(QImage(compositePath()).pixel(200, 50), blue, 6));
        QTRY_VERIFY_WITH_TIMEOUT(QDir(PathHelper::getTemporaryDirectory())
                                     .entryList({QStringLiteral("*.replaced.bmp")}, QDir::Files)
                                     .isEmpty(),
                                 30000);
    }

    void rebuildNeedsEveryFile_data()
    {
        QTest::addColumn<bool>("empty");
        QTest::newRow("one of three gone") << false;
        QTest::newRow("empty map") << true;
    }

    void rebuildNeedsEveryFile()
    {
        QFETCH(bool, empty);
        auto w = makeWindow();
        QMap<int, QString> map;
        if (!empty) {
            const QString gone = save(m_folder.path(), QStringLiteral("gone.png"), flat(QSize(8, 8), red));
            QVERIFY(QFile::remove(gone));
            map = {{0, m_red}, {1, gone}, {2, m_green}};
        }
        Access::rebuildCompositeWallpaper(*w.window, map);
        QVERIFY(w.platform->spannedWallpapers.isEmpty());
        QVERIFY(w.platform->wallpapers.isEmpty());
        QCOMPARE(w.platform->spanStyleRequests, 0);
        QVERIFY(!QFile::exists(compositePath()));
    }

    void cleanupTestCase() { TestScreens::apply({{QStringLiteral("A"), 0, 0, 1920, 1080}}); }
};

VELMORA_TEST_MAIN(TestWallpaperApplication)
#include "test_wallpaper_application.moc"
