#include "platform_services.h"

#include <QSystemTrayIcon>
#include <QWidget>
#include <QWindow>

namespace {

class LinuxPlatformServices final : public PlatformServices
{
public:
    const char* name() const override { return "linux"; }

    bool bringToFront(QWidget* window) override
    {
        if (!window || !window->windowHandle())
            return false;
        // On X11 Qt sends _NET_ACTIVE_WINDOW to the window manager; on Wayland
        // it uses the activation protocol where the compositor offers one.
        window->windowHandle()->requestActivate();
        return true;
    }

    bool setWallpaper(const QString& imagePath) override;
    bool setSpanStyle() override;
    bool setSpannedWallpaper(const QString& compositePath, const QList<QRect>& screenRects) override;

    bool hasSystemTray() const override { return QSystemTrayIcon::isSystemTrayAvailable(); }
};

} // namespace

std::unique_ptr<PlatformServices> createPlatformServices()
{
    return std::make_unique<LinuxPlatformServices>();
}

// Not yet able to drive any desktop: every wallpaper request fails cleanly.
bool LinuxPlatformServices::setWallpaper(const QString&)
{
    return false;
}

bool LinuxPlatformServices::setSpanStyle()
{
    return false;
}

bool LinuxPlatformServices::setSpannedWallpaper(const QString&, const QList<QRect>&)
{
    return false;
}
