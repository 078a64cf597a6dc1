#include "modern_window.h"

#include "core/wallpaper_builder.h"
#include "platform/platform_services.h"

#include <QFileInfo>

bool ModernWindow::setWallpaperWithSmoothTransition(const QString& imagePath)
{
    // The desktop keeps its position style; no transition is drawn.
    return environment.platform->setWallpaper(imagePath);
}

bool ModernWindow::setSpanWallpaperMode()
{
    return environment.platform->setSpanStyle();
}

bool ModernWindow::setMultipleWallpapers(const QMap<int, QString>& imagePaths)
{
    const WallpaperBuilder builder;
    const QString compositePath = builder.getTemporaryWallpaperPath();
    // Nothing on the desktop changes unless the composite was written.
    if (!builder.createMultiScreenWallpaper(imagePaths, compositePath))
        return false;
    // A desktop that refuses the span style still gets the picture.
    setSpanWallpaperMode();
    return environment.platform->setSpannedWallpaper(compositePath, builder.getScreenRectsInComposite());
}

void ModernWindow::rebuildCompositeWallpaper(const QMap<int, QString>& wallpapers)
{
    if (wallpapers.isEmpty())
        return;
    // All or nothing: a partial composite would blacken a screen.
    for (const QString& path : wallpapers) {
        if (!QFileInfo::exists(path))
            return;
    }
    try {
        const WallpaperBuilder builder;
        const QString compositePath = builder.getTemporaryWallpaperPath();
        // The style stays as the desktop holds it. The composite goes through
        // the spanning setter all the same: desktops without a span style
        // need each monitor's part of it.
        if (builder.createMultiScreenWallpaper(wallpapers, compositePath))
            environment.platform->setSpannedWallpaper(compositePath, builder.getScreenRectsInComposite());
    } catch (...) {
        // The desktop simply stays as it was.
    }
}
