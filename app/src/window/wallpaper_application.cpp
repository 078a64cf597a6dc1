#include "modern_window.h"

#include "core/wallpaper_builder.h"
#include "platform/platform_services.h"

#include <QFile>
#include <QFileInfo>

// Composing and setting run on wallpaperJobs, one job after another, so that
// the window keeps painting while a desktop takes its time; the screens are
// read here, on the GUI thread, and each job is told of them.

namespace {

// Drops the composite that the last one replaced: after the set, so that the
// desktop never waited for it; on the composites' own queue, before the next.
void dropReplacedComposite(WorkQueue& wallpaperJobs, QObject* receiver, const WallpaperBuilder& builder)
{
    wallpaperJobs.run(
        receiver,
        [builder] {
            return QFile::remove(WallpaperBuilder::replacedCompositePath(builder.getTemporaryWallpaperPath()));
        },
        [](bool) {});
}

} // namespace

void ModernWindow::setWallpaperWithSmoothTransition(const QString& imagePath, std::function<void(bool)> done)
{
    PlatformServices* platform = environment.platform.get();
    wallpaperJobs.run(
        this,
        // The desktop keeps its position style; no transition is drawn.
        [platform, imagePath] { return platform->setWallpaper(imagePath); },
        [done = std::move(done)](bool accepted) {
            if (done)
                done(accepted);
        });
}

bool ModernWindow::setSpanWallpaperMode()
{
    // Called on the wallpaper jobs' thread; it touches the platform only.
    return environment.platform->setSpanStyle();
}

void ModernWindow::setMultipleWallpapers(const QMap<int, QString>& imagePaths, std::function<void(bool)> done)
{
    const WallpaperBuilder builder;
    wallpaperJobs.run(
        this,
        [this, builder, imagePaths] {
            const QString compositePath = builder.getTemporaryWallpaperPath();
            // Nothing on the desktop changes unless the composite was written.
            if (!builder.createMultiScreenWallpaper(imagePaths, compositePath))
                return false;
            // A desktop that refuses the span style still gets the picture.
            setSpanWallpaperMode();
            return environment.platform->setSpannedWallpaper(compositePath, builder.getScreenRectsInComposite());
        },
        [this, builder, done = std::move(done)](bool accepted) {
            if (done)
                done(accepted);
            dropReplacedComposite(wallpaperJobs, this, builder);
        });
}

void ModernWindow::rebuildCompositeWallpaper(const QMap<int, QString>& wallpapers, std::function<void(bool)> done)
{
    const WallpaperBuilder builder;
    PlatformServices* platform = environment.platform.get();
    wallpaperJobs.run(
        this,
        [platform, builder, wallpapers] {
            if (wallpapers.isEmpty())
                return false;
            // All or nothing: a partial composite would blacken a screen.
            for (const QString& path : wallpapers) {
                if (!QFileInfo::exists(path))
                    return false;
            }
            try {
                const QString compositePath = builder.getTemporaryWallpaperPath();
                // The style stays as the desktop holds it. The composite goes through
                // the spanning setter all the same: desktops without a span style
                // need each monitor's part of it.
                if (builder.createMultiScreenWallpaper(wallpapers, compositePath))
                    return platform->setSpannedWallpaper(compositePath, builder.getScreenRectsInComposite());
            } catch (...) {
                // The desktop simply stays as it was.
            }
            return false;
        },
        [this, builder, done = std::move(done)](bool accepted) {
            if (done)
                done(accepted);
            dropReplacedComposite(wallpaperJobs, this, builder);
        });
}
