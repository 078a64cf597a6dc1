#include "test_main.h"
#include "test_pictures.h"
#include "test_screens.h"

#include "core/bitmap_file.h"
#include "core/wallpaper_builder.h"
#include "utils/path_helper.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtEndian>

using namespace TestPictures;

namespace {

const QOperatingSystemVersion windows7(QOperatingSystemVersion::Windows, 6, 1);
const QOperatingSystemVersion windows8(QOperatingSystemVersion::Windows, 6, 2);
const QOperatingSystemVersion windows10(QOperatingSystemVersion::Windows, 10, 0);
const QOperatingSystemVersion vista(QOperatingSystemVersion::Windows, 6, 0);

DesktopScreen screen(int x, int y, int width, int height, bool primary = false, qreal dpr = 1.0)
{
    return {QString(), QRect(x, y, width, height), dpr, primary};
}

const QColor red(220, 30, 30);
const QColor blue(30, 40, 210);
const QColor green(20, 200, 60);
const QColor black(0, 0, 0);

} // namespace

Q_DECLARE_METATYPE(QOperatingSystemVersion)
Q_DECLARE_METATYPE(DesktopScreen)

class TestWallpaperBuilder : public QObject
{
    Q_OBJECT

    QTemporaryDir m_folder;

    QString output() const { return m_folder.filePath(QStringLiteral("out.bmp")); }
    QString picture(const QString& name, const QColor& colour, const QSize& size = QSize(64, 36))
    {
        return save(m_folder.path(), name, flat(size, colour));
    }

private Q_SLOTS:
    void init() { QFile::remove(output()); }

    // Primary 1920 x 1080 at (0, 0), a 1280 x 1024 screen left of it.
    void workedExample()
    {
        const WallpaperBuilder builder({screen(0, 0, 1920, 1080, true), screen(-1280, 0, 1280, 1024)}, windows10);
        QCOMPARE(builder.calculateVirtualDesktopBounds(), QRect(-1280, 0, 3200, 1080));

        const QString primaryPicture = picture(QStringLiteral("a.png"), red, QSize(800, 450));
        const QString leftPicture = picture(QStringLiteral("b.png"), blue, QSize(640, 512));
        const auto mappings = builder.generateScreenMappings({{0, primaryPicture}, {1, leftPicture}});
        QCOMPARE(mappings.size(), 2);
        QCOMPARE(mappings[0].destRect, QRect(1280, 0, 1920, 1080));
        QCOMPARE(mappings[0].screenRect, QRect(0, 0, 1920, 1080));
        QCOMPARE(mappings[0].sourceRect, QRect(0, 0, 800, 450));
        QCOMPARE(mappings[0].imagePath, primaryPicture);
        QVERIFY(mappings[0].isPrimary);
        QCOMPARE(mappings[1].destRect, QRect(0, 0, 1280, 1024));
        QCOMPARE(mappings[1].screenRect, QRect(-1280, 0, 1280, 1024));
        QCOMPARE(mappings[1].sourceRect, QRect(0, 0, 640, 512));
        QVERIFY(!mappings[1].isPrimary);

        QVERIFY(builder.createMultiScreenWallpaper({{0, primaryPicture}, {1, leftPicture}}, output()));
        const QImage unwrapped(output());
        QCOMPARE(unwrapped.size(), QSize(3200, 1080));
        QVERIFY(near(unwrapped.pixel(0, 0), blue));
        QVERIFY(near(unwrapped.pixel(1279, 1023), blue));
        QVERIFY(near(unwrapped.pixel(0, 1024), black)); // strip below the smaller screen
        QVERIFY(near(unwrapped.pixel(1279, 1079), black));
        QVERIFY(near(unwrapped.pixel(1280, 0), red));
        QVERIFY(near(unwrapped.pixel(3199, 1079), red));

        // Windows 7 anchors at the primary's corner: columns 0-1279 move to 1920-3199.
        const WallpaperBuilder old({screen(0, 0, 1920, 1080, true), screen(-1280, 0, 1280, 1024)}, windows7);
        QVERIFY(old.createMultiScreenWallpaper({{0, primaryPicture}, {1, leftPicture}}, output()));
        const QImage wrapped(output());
        QCOMPARE(wrapped.size(), QSize(3200, 1080));
        QVERIFY(near(wrapped.pixel(0, 0), red));
        QVERIFY(near(wrapped.pixel(1919, 1079), red));
        QVERIFY(near(wrapped.pixel(1920, 0), blue));
        QVERIFY(near(wrapped.pixel(3199, 1023), blue));
        QVERIFY(near(wrapped.pixel(1920, 1024), black));
        QVERIFY(near(wrapped.pixel(3199, 1079), black));
    }

    // The file on old Windows is the composite shifted cyclically so that the
    // desktop origin lands on its first pixel.
    void wrapping_data()
    {
        QTest::addColumn<QList<DesktopScreen>>("screens");
        QTest::addColumn<QRect>("bounds");
        QTest::addColumn<QList<QRect>>("rectsInFile");
        // Steps 3 and 4 only.
        QTest::newRow("left") << QList<DesktopScreen>{screen(0, 0, 160, 90, true), screen(-100, 0, 100, 80)}
                              << QRect(-100, 0, 260, 90) << QList<QRect>{QRect(0, 0, 160, 90), QRect(160, 0, 100, 80)};
        // Steps 2 and 4: the upper screen's rows move to the bottom.
        QTest::newRow("above") << QList<DesktopScreen>{screen(0, 0, 160, 90, true), screen(20, -60, 100, 60)}
                               << QRect(0, -60, 160, 150) << QList<QRect>{QRect(0, 0, 160, 90), QRect(20, 90, 100, 60)};
        // All four steps.
        QTest::newRow("left and above") << QList<DesktopScreen>{screen(0, 0, 160, 90, true), screen(-100, -60, 100, 60),
                                                                screen(160, 0, 50, 40)}
                                        << QRect(-100, -60, 310, 150)
                                        << QList<QRect>{QRect(0, 0, 160, 90), QRect(210, 90, 100, 60),
                                                        QRect(160, 0, 50, 40)};
    }

    void wrapping()
    {
        QFETCH(QList<DesktopScreen>, screens);
        QFETCH(QRect, bounds);
        QFETCH(QList<QRect>, rectsInFile);
        QMap<int, QString> pictures;
        for (int i = 0; i < screens.size(); ++i)
            pictures.insert(i,
                            save(m_folder.path(), QStringLiteral("g%1.png").arg(i), gradient(QSize(90 + 10 * i, 60))));

        const WallpaperBuilder modern(screens, windows10);
        QCOMPARE(modern.calculateVirtualDesktopBounds(), bounds);
        QVERIFY(!modern.needsCoordinateWrapping(bounds));
        QVERIFY(modern.createMultiScreenWallpaper(pictures, output()));
        const QImage unwrapped = QImage(output()).convertToFormat(QImage::Format_RGB32);
        const QImage composite =
            modern.createCompositeImageFromMappings(modern.generateScreenMappings(pictures), bounds, 0);
        QCOMPARE(unwrapped, composite.convertToFormat(QImage::Format_RGB32));

        const WallpaperBuilder old(screens, windows7);
        QVERIFY(old.needsCoordinateWrapping(bounds));
        QVERIFY(old.createMultiScreenWallpaper(pictures, output()));
        const QImage wrapped = QImage(output()).convertToFormat(QImage::Format_RGB32);
        QCOMPARE(wrapped.size(), unwrapped.size());
        const int width = bounds.width();
        const int height = bounds.height();
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const QRgb expected = unwrapped.pixel((x - bounds.left()) % width, (y - bounds.top()) % height);
                if (wrapped.pixel(x, y) != expected)
                    QFAIL(qPrintable(QStringLiteral("pixel %1,%2 differs").arg(x).arg(y)));
            }
        }
        // Each screen's own picture sits at its rectangle in the file.
        const QList<QRect> rects = old.getScreenRectsInComposite();
        QCOMPARE(rects, rectsInFile);
        for (int i = 0; i < rects.size(); ++i) {
            const QImage part = wrapped.copy(rects[i]);
            const QImage alone = old.createCompositeImageFromMappings(
                {{QRect(), QRect(), QRect(QPoint(), rects[i].size()), pictures[i], false}},
                QRect(QPoint(), rects[i].size()), 0);
            QCOMPARE(part, alone.convertToFormat(QImage::Format_RGB32));
        }
    }

    void wrappingDependsOnTheWindowsVersion_data()
    {
        QTest::addColumn<QOperatingSystemVersion>("os");
        QTest::addColumn<bool>("wraps");
        QTest::newRow("vista") << vista << true;
        QTest::newRow("7") << windows7 << true;
        QTest::newRow("8") << windows8 << false;
        QTest::newRow("10") << windows10 << false;
        QTest::newRow("linux") << QOperatingSystemVersion(QOperatingSystemVersion::Unknown, -1) << false;
        QTest::newRow("this system") << QOperatingSystemVersion::current() << false;
    }

    void wrappingDependsOnTheWindowsVersion()
    {
        QFETCH(QOperatingSystemVersion, os);
        QFETCH(bool, wraps);
        const WallpaperBuilder builder({screen(0, 0, 100, 100, true), screen(-50, -20, 50, 50)}, os);
        QCOMPARE(builder.needsCoordinateWrapping(QRect(-50, -20, 150, 120)), wraps);
        QCOMPARE(builder.needsCoordinateWrapping(QRect(-50, 0, 150, 100)), wraps);
        // Nothing left of or above the origin: never.
        QVERIFY(!builder.needsCoordinateWrapping(QRect(0, 0, 150, 100)));
    }

    void boundsAlwaysContainTheOrigin()
    {
        // A primary away from (0, 0) still counts the origin in.
        const WallpaperBuilder builder({screen(100, 50, 200, 100, true), screen(300, 50, 100, 100)}, windows10);
        QCOMPARE(builder.calculateVirtualDesktopBounds(), QRect(0, 0, 400, 150));
        const auto mappings = builder.generateScreenMappings({{0, QString()}, {1, QString()}});
        QCOMPARE(mappings[0].destRect, QRect(100, 50, 200, 100));
        QCOMPARE(mappings[1].destRect, QRect(300, 50, 100, 100));
    }

    void physicalRectangles_data()
    {
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<double>("dpr");
        QTest::addColumn<QRect>("physical");
        QTest::newRow("100 %") << QRect(0, 0, 1920, 1080) << 1.0 << QRect(0, 0, 1920, 1080);
        QTest::newRow("125 %") << QRect(0, 0, 1536, 864) << 1.25 << QRect(0, 0, 1920, 1080);
        QTest::newRow("150 %, rounded up") << QRect(1920, 0, 1707, 960) << 1.5 << QRect(1920, 0, 2561, 1440);
        QTest::newRow("position unscaled") << QRect(-1280, -200, 1024, 768) << 2.0 << QRect(-1280, -200, 2048, 1536);
    }

    void physicalRectangles()
    {
        QFETCH(QRect, geometry);
        QFETCH(double, dpr);
        QFETCH(QRect, physical);
        QCOMPARE((DesktopScreen{QString(), geometry, dpr, true}.physicalRect()), physical);
    }

    // The real program reads QScreen, whose geometry has the unscaled position
    // and the logical size; the offscreen monitors stand in.
    void scaledScreensOfTheSystem()
    {
        TestScreens::apply(
            {{QStringLiteral("A"), 0, 0, 1536, 864, 1.25}, {QStringLiteral("B"), 1920, 0, 1707, 960, 1.5}});
        const QList<DesktopScreen> screens = DesktopScreen::currentScreens();
        QCOMPARE(screens.size(), 2);
        QCOMPARE(screens[0].geometry.size(), QSize(1536, 864));
        QCOMPARE(screens[0].physicalRect(), QRect(0, 0, 1920, 1080));
        // 1707 x 960 at 150 % counts as 2561 physical pixels wide.
        QCOMPARE(screens[1].physicalRect(), QRect(1920, 0, 2561, 1440));
        QVERIFY(screens[0].isPrimary);
        QVERIFY(!screens[1].isPrimary);

        const WallpaperBuilder builder;
        QCOMPARE(builder.calculateVirtualDesktopBounds(), QRect(0, 0, 4481, 1440));
        QVERIFY(builder.createMultiScreenWallpaper(
            {{0, picture(QStringLiteral("r.png"), red)}, {1, picture(QStringLiteral("b.png"), blue)}}, output()));
        const QImage file(output());
        QCOMPARE(file.size(), QSize(4481, 1440));
        QVERIFY(near(file.pixel(1919, 1079), red));
        QVERIFY(near(file.pixel(1919, 1080), black));
        QVERIFY(near(file.pixel(1920, 0), blue));
        QVERIFY(near(file.pixel(4480, 1439), blue));
        TestScreens::apply({{QStringLiteral("A"), 0, 0, 1920, 1080, 1.0}});
    }

    // Fill keeps the aspect ratio and centres with offsets truncated toward
    // zero: a portrait picture loses one row more at the bottom than at the top.
    void fillCropsPortraitPicture()
    {
        QImage rows(40, 61, QImage::Format_RGB32);
        for (int y = 0; y < rows.height(); ++y)
            std::fill_n(reinterpret_cast<QRgb*>(rows.scanLine(y)), 40, qRgb(4 * y, 255 - 4 * y, 7));
        const QString path = save(m_folder.path(), QStringLiteral("rows.png"), rows);
        const WallpaperBuilder builder({screen(0, 0, 40, 30, true)}, windows10);
        QVERIFY(builder.createMultiScreenWallpaper({{0, path}}, output()));
        const QImage file = QImage(output()).convertToFormat(QImage::Format_RGB32);
        QCOMPARE(file.size(), QSize(40, 30));
        QCOMPARE(file, rows.copy(0, 15, 40, 30));
    }

    void adjustmentModes_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QList<QPoint>>("points");
        QTest::addColumn<QList<QColor>>("colours");
        // The picture: 20 x 10, left half red, right half blue. The target: 40 x 40.
        QTest::newRow("fill") << 0 << QList<QPoint>{{5, 20}, {15, 0}, {25, 39}, {35, 20}}
                              << QList<QColor>{red, red, blue, blue};
        QTest::newRow("fit") << 1 << QList<QPoint>{{5, 5}, {5, 15}, {35, 25}, {35, 35}}
                             << QList<QColor>{black, red, blue, black};
        QTest::newRow("span") << 2 << QList<QPoint>{{0, 0}, {15, 39}, {25, 0}, {39, 39}}
                              << QList<QColor>{red, red, blue, blue};
        QTest::newRow("stretch") << 3 << QList<QPoint>{{0, 0}, {15, 39}, {25, 0}, {39, 39}}
                                 << QList<QColor>{red, red, blue, blue};
        // Copies at multiples of the picture's size; the last ones cut off.
        QTest::newRow("tile") << 4 << QList<QPoint>{{0, 0}, {12, 9}, {20, 10}, {39, 39}}
                              << QList<QColor>{red, blue, red, blue};
        QTest::newRow("other values fill")
            << 7 << QList<QPoint>{{5, 20}, {15, 0}, {25, 39}, {35, 20}} << QList<QColor>{red, red, blue, blue};
    }

    void adjustmentModes()
    {
        QFETCH(int, mode);
        QFETCH(QList<QPoint>, points);
        QFETCH(QList<QColor>, colours);
        QImage halves(20, 10, QImage::Format_RGB32);
        halves.fill(blue);
        for (int y = 0; y < 10; ++y)
            std::fill_n(reinterpret_cast<QRgb*>(halves.scanLine(y)), 10, red.rgb());
        const QString path = save(m_folder.path(), QStringLiteral("halves.png"), halves);
        const WallpaperBuilder builder({screen(0, 0, 40, 40, true)}, windows10);
        const QImage composite = builder.createCompositeImageFromMappings(builder.generateScreenMappings({{0, path}}),
                                                                          QRect(0, 0, 40, 40), mode);
        QCOMPARE(composite.size(), QSize(40, 40));
        for (int i = 0; i < points.size(); ++i) {
            if (!near(composite.pixel(points[i]), colours[i], 8))
                QFAIL(qPrintable(QStringLiteral("pixel %1,%2 is %3, expected %4")
                                     .arg(points[i].x())
                                     .arg(points[i].y())
                                     .arg(QColor(composite.pixel(points[i])).name(), colours[i].name())));
        }
        if (mode == 7) {
            const QImage fill = builder.createCompositeImageFromMappings(builder.generateScreenMappings({{0, path}}),
                                                                         QRect(0, 0, 40, 40), 0);
            QCOMPARE(composite, fill);
        }
    }

    void unusableMapsWriteNothing_data()
    {
        QTest::addColumn<QList<DesktopScreen>>("screens");
        QTest::addColumn<QList<int>>("indices");
        const QList<DesktopScreen> two{screen(0, 0, 100, 100, true), screen(100, 0, 100, 100)};
        QTest::newRow("out of range") << two << QList<int>{-1, 2, 7};
        QTest::newRow("empty map") << two << QList<int>{};
        QTest::newRow("no screens") << QList<DesktopScreen>{} << QList<int>{0};
        QTest::newRow("no primary") << QList<DesktopScreen>{screen(0, 0, 100, 100)} << QList<int>{0};
    }

    void unusableMapsWriteNothing()
    {
        QFETCH(QList<DesktopScreen>, screens);
        QFETCH(QList<int>, indices);
        const QString path = picture(QStringLiteral("p.png"), red);
        QMap<int, QString> map;
        for (int index : indices)
            map.insert(index, path);
        const WallpaperBuilder builder(screens, windows10);
        QVERIFY(!builder.createMultiScreenWallpaper(map, output()));
        QVERIFY(!QFile::exists(output()));
    }

    // A picture that does not load leaves its screen black; the others and the
    // unnamed screens are drawn or left black as usual.
    void unreadablePicturesLeaveTheirScreenBlack()
    {
        QFile text(m_folder.filePath(QStringLiteral("not-a-picture.jpg")));
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("hello");
        text.close();
        const WallpaperBuilder builder(
            {screen(0, 0, 50, 50, true), screen(50, 0, 50, 50), screen(100, 0, 50, 50), screen(150, 0, 50, 50)},
            windows10);
        const QMap<int, QString> map{{0, picture(QStringLiteral("r.png"), red)},
                                     {1, text.fileName()},
                                     {2, m_folder.filePath(QStringLiteral("missing.png"))}};
        const auto mappings = builder.generateScreenMappings(map);
        QCOMPARE(mappings.size(), 3);
        QCOMPARE(mappings[1].sourceRect, QRect(0, 0, 50, 50));
        QCOMPARE(mappings[2].sourceRect, QRect(0, 0, 50, 50));

        QVERIFY(builder.createMultiScreenWallpaper(map, output()));
        const QImage file(output());
        QCOMPARE(file.size(), QSize(200, 50));
        QVERIFY(near(file.pixel(25, 25), red));
        QVERIFY(near(file.pixel(75, 25), black));
        QVERIFY(near(file.pixel(125, 25), black));
        QVERIFY(near(file.pixel(175, 25), black));
    }

    void laterScreensPaintOverEarlierOnes()
    {
        const WallpaperBuilder builder({screen(0, 0, 60, 60, true), screen(40, 0, 60, 60)}, windows10);
        QVERIFY(builder.createMultiScreenWallpaper(
            {{1, picture(QStringLiteral("b.png"), blue)}, {0, picture(QStringLiteral("r.png"), red)}}, output()));
        const QImage file(output());
        QVERIFY(near(file.pixel(39, 10), red));
        QVERIFY(near(file.pixel(40, 10), blue));
    }

    // BMP copies of their screens' own size, read in place (or taken as they
    // are), give byte for byte the file that their originals give.
    void sameSizeBitmapsComposeLikeTheirOriginals_data()
    {
        QTest::addColumn<QList<DesktopScreen>>("screens");
        QTest::newRow("one screen") << QList<DesktopScreen>{screen(0, 0, 160, 90, true)};
        // Rows padded, and more of them than one write takes.
        QTest::newRow("side by side") << QList<DesktopScreen>{screen(0, 0, 160, 300, true), screen(160, 0, 120, 300),
                                                              screen(-101, 0, 101, 300)};
        QTest::newRow("gaps") << QList<DesktopScreen>{screen(0, 0, 160, 90, true), screen(160, 20, 100, 50),
                                                      screen(-50, -40, 50, 40)};
        QTest::newRow("overlap") << QList<DesktopScreen>{screen(0, 0, 160, 90, true), screen(120, 30, 100, 80)};
    }

    void sameSizeBitmapsComposeLikeTheirOriginals()
    {
        QFETCH(QList<DesktopScreen>, screens);
        QMap<int, QString> bitmaps;
        QMap<int, QString> originals;
        for (int i = 0; i < screens.size(); ++i) {
            const QImage image = gradient(screens[i].geometry.size()).mirrored(i == 1, i == 2);
            bitmaps.insert(i, save(m_folder.path(), QStringLiteral("s%1.bmp").arg(i), image));
            originals.insert(i, save(m_folder.path(), QStringLiteral("s%1.png").arg(i), image));
        }
        const WallpaperBuilder builder(screens, windows10);
        const QString fromOriginals = m_folder.filePath(QStringLiteral("originals.bmp"));
        QVERIFY(builder.createMultiScreenWallpaper(originals, fromOriginals));
        QVERIFY(builder.createMultiScreenWallpaper(bitmaps, output()));
        // The copies are then replaced or deleted; the composite stays as it was made.
        for (const QString& path : std::as_const(bitmaps)) {
            QVERIFY(writeBitmap(flat(QSize(16, 9), black), path));
            QVERIFY(QFile::remove(path));
        }
        QFile a(output());
        QFile b(fromOriginals);
        QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
        QVERIFY(a.readAll() == b.readAll());
    }

    // A plain 24-bit BMP, bottom-up, rows padded to four bytes.
    void fileIsA24BitBmp()
    {
        const WallpaperBuilder builder({screen(0, 0, 7, 3, true)}, windows10);
        QImage picture(7, 3, QImage::Format_RGB32);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 7; ++x)
                picture.setPixel(x, y, qRgb(10 * x, 50 * y, 200));
        const QString path = save(m_folder.path(), QStringLiteral("p.png"), picture);
        QVERIFY(builder.createMultiScreenWallpaper({{0, path}}, output()));

        QFile file(output());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        const auto at32 = [&](int offset) { return qFromLittleEndian<quint32>(bytes.constData() + offset); };
        const auto at16 = [&](int offset) { return qFromLittleEndian<quint16>(bytes.constData() + offset); };
        const int rowBytes = 24; // 7 * 3 = 21, padded
        QCOMPARE(bytes.size(), 54 + 3 * rowBytes);
        QCOMPARE(bytes.left(2), QByteArray("BM"));
        QCOMPARE(at32(2), quint32(bytes.size()));
        QCOMPARE(at32(10), 54u);
        QCOMPARE(at32(14), 40u);
        QCOMPARE(at32(18), 7u);
        QCOMPARE(at32(22), 3u); // positive: bottom-up
        QCOMPARE(at16(26), quint16(1));
        QCOMPARE(at16(28), quint16(24));
        QCOMPARE(at32(30), 0u);
        // First stored row is the bottom one, in B, G, R order; padding is zero.
        QCOMPARE(quint8(bytes[54]), quint8(200));
        QCOMPARE(quint8(bytes[55]), quint8(100));
        QCOMPARE(quint8(bytes[56]), quint8(0));
        QCOMPARE(bytes.mid(54 + 21, 3), QByteArray(3, '\0'));
        QCOMPARE(QImage(output()).convertToFormat(QImage::Format_RGB32), picture);
    }

    void unwritableOutputFails()
    {
        const WallpaperBuilder builder({screen(0, 0, 10, 10, true)}, windows10);
        const QString path = picture(QStringLiteral("p.png"), red);
        QVERIFY(!builder.createMultiScreenWallpaper({{0, path}}, m_folder.filePath(QStringLiteral("no/such/dir.bmp"))));
        QVERIFY(!builder.createMultiScreenWallpaper({{0, path}}, m_folder.path()));
    }

    void temporaryPath()
    {
        const QString folder = PathHelper::getTemporaryDirectory();
        QDir(folder).removeRecursively();
        const WallpaperBuilder builder;
        QCOMPARE(builder.getTemporaryWallpaperPath(), folder + QStringLiteral("/composite_wallpaper.bmp"));
        QVERIFY(QFileInfo(folder).isDir());
    }
};

VELMORA_TEST_MAIN(TestWallpaperBuilder)
#include "test_wallpaper_builder.moc"
