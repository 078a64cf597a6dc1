#include "platform_services.h"

#include "linux/desktop_system.h"
#include "linux/linux_wallpaper_setter.h"

#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QWidget>
#include <QWindow>

namespace {

class LinuxPlatformServices final : public PlatformServices
{
public:
    LinuxPlatformServices()
        : m_wallpapers(m_system, QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) +
                                     QStringLiteral("/desktop"))
    {
    }

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

private:
    HostDesktopSystem m_system;
    LinuxWallpaperSetter m_wallpapers;
};

} // namespace

std::unique_ptr<PlatformServices> createPlatformServices()
{
    return std::make_unique<LinuxPlatformServices>();
}

bool LinuxPlatformServices::setWallpaper(const QString& imagePath)
{
    return m_wallpapers.setWallpaper(imagePath);
}

bool LinuxPlatformServices::setSpanStyle()
{
    return m_wallpapers.setSpanStyle();
}

bool LinuxPlatformServices::setSpannedWallpaper(const QString& compositePath, const QList<QRect>& screenRects)
{
    return m_wallpapers.setSpannedWallpaper(compositePath, screenRects);
}
