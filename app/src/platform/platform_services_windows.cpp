#include "platform_services.h"

#include "win32/win32_window.h"

#include <QWidget>

namespace {

class WindowsPlatformServices final : public PlatformServices
{
public:
    const char* name() const override { return "windows"; }

    bool bringToFront(QWidget* window) override
    {
        if (!window)
            return false;
        return win32::setForegroundWindow(reinterpret_cast<void*>(window->winId()));
    }

    bool setWallpaper(const QString& imagePath) override;
    bool setSpanStyle() override;
    bool setSpannedWallpaper(const QString& compositePath, const QList<QRect>& screenRects) override;

    bool hasSystemTray() const override { return true; }
};

} // namespace

std::unique_ptr<PlatformServices> createPlatformServices()
{
    return std::make_unique<WindowsPlatformServices>();
}

bool WindowsPlatformServices::setWallpaper(const QString&)
{
    return false;
}

bool WindowsPlatformServices::setSpanStyle()
{
    return false;
}

bool WindowsPlatformServices::setSpannedWallpaper(const QString&, const QList<QRect>&)
{
    return false;
}
