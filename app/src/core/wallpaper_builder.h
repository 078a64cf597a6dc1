#pragma once

#include <QImage>
#include <QList>
#include <QMap>
#include <QOperatingSystemVersion>
#include <QRect>
#include <QSize>
#include <QString>

struct BgrCanvas;

// One monitor as the composite sees it: a copy of what QScreen reports, so
// that composing needs no GUI-thread object and tests can describe any layout.
struct DesktopScreen
{
    QString name;
    // QScreen::geometry(): the top-left unscaled, the size in logical pixels.
    QRect geometry;
    qreal devicePixelRatio = 1.0;
    bool isPrimary = false;

    // Position unscaled; size = logical size x device pixel ratio, rounded.
    QRect physicalRect() const;

    // The monitors of the running GUI application, in QGuiApplication::screens() order.
    static QList<DesktopScreen> currentScreens();
};

// One screen's place in a composite.
struct ScreenMapping
{
    // The screen in physical pixels.
    QRect screenRect;
    // (0, 0, picture size), or (0, 0, physical screen size) when the picture cannot be read.
    QRect sourceRect;
    // Where the screen's part lies in the composite.
    QRect destRect;
    QString imagePath;
    bool isPrimary = false;
};

// Composes one picture per screen into a single image covering the whole
// virtual desktop, for a desktop showing one wallpaper across all monitors.
// Create one per job; it only reads the screen layout it was given and uses
// no GUI-thread object, and it may spread one composite over a few threads.
class WallpaperBuilder
{
public:
    // The monitors and the operating system this program runs on.
    WallpaperBuilder();
    WallpaperBuilder(QList<DesktopScreen> screens, QOperatingSystemVersion os);

    // Composes imagePaths (screen index -> picture) in fill mode and saves
    // the result as a BMP at outputPath. True only when the file was written.
    bool createMultiScreenWallpaper(const QMap<int, QString>& imagePaths, const QString& outputPath) const;
    // Where createMultiScreenWallpaper moves the file it replaces at
    // outputPath, where the system can: dropping it frees a screenful of
    // pages, which is left for the caller to do once the new one is set.
    static QString replacedCompositePath(const QString& outputPath);

    QRect calculateVirtualDesktopBounds() const;
    QList<ScreenMapping> generateScreenMappings(const QMap<int, QString>& imagePaths) const;
    // A BGR888 image of virtualDesktop's size, black where no picture lies.
    QImage createCompositeImageFromMappings(const QList<ScreenMapping>& mappings, const QRect& virtualDesktop,
                                            int adjustmentMode) const;
    QImage wrapCoordinatesForWindows(const QImage& sourceImage, const QRect& virtualDesktop) const;
    bool needsCoordinateWrapping(const QRect& virtualDesktop) const;
    // The composite's file in the temporary folder, which is created on every call.
    QString getTemporaryWallpaperPath() const;

    // Every screen's rectangle inside the file createMultiScreenWallpaper
    // writes, in screen order (null for an unusable screen). Where the file is
    // wrapped for old Windows, a screen across the origin's row or column is
    // split; its rectangle then starts where its top-left landed.
    QList<QRect> getScreenRectsInComposite() const;

private:
    QImage applyAdjustmentMode(const QImage& sourceImage, const QSize& targetSize, int adjustmentMode) const;
    bool isWindows8OrLater() const;
    QString getScreenName(const DesktopScreen& screen, int index) const;
    bool isRealPrimaryScreen(const DesktopScreen& screen) const;

    void drawPicture(const BgrCanvas& canvas, const QString& path, const QRect& target, int adjustmentMode,
                     QImage& decodeBuffer, int threads) const;
    QPoint virtualDesktopOrigin() const;

    QList<DesktopScreen> m_screens;
    QOperatingSystemVersion m_os;
};
