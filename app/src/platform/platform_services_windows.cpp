#include "platform_services.h"

#include "win32/win32_wallpaper.h"
#include "win32/win32_window.h"

#include <QDir>
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

namespace {

// Windows is handed the path with its own separators.
std::wstring nativePath(const QString& path)
{
    return QDir::toNativeSeparators(path).toStdWString();
}

} // namespace

bool WindowsPlatformServices::setWallpaper(const QString& imagePath)
{
    return win32::setWallpaper(nativePath(imagePath));
}

bool WindowsPlatformServices::setSpanStyle()
{
    return win32::setSpanStyle();
}

// Windows spans the composite itself; the screens' rectangles are not needed.
bool WindowsPlatformServices::setSpannedWallpaper(const QString& compositePath, const QList<QRect>&)
{
    return win32::setSpannedWallpaper(nativePath(compositePath));
}
