#include "platform_services.h"

#include "linux/autostart_entry.h"
#include "linux/desktop_system.h"
#include "linux/linux_system_watch.h"
#include "linux/linux_wallpaper_setter.h"

#include <QDesktopServices>
#include <QGuiApplication>
#include <QScreen>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QUrl>
#include <QWidget>
#include <QWindow>

#include <fontconfig/fontconfig.h>

#include <memory>
#include <system_error>
#include <thread>

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

    MonitorIdentity monitorIdentity(int screenIndex) const override;

    // X11 and Wayland tell of monitors only through Qt's screen signals.
    bool isDisplayChangeMessage(const QByteArray& eventType, const void* message) const override;
    bool announcesDisplayChangesByScreenSignals() const override { return true; }

    // OpenSSL verifies against the roots a request's configuration holds.
    bool tlsTrustsAddedRoots() const override { return true; }

    bool addStartupEntry(const QString& name, const QString& programPath, const QStringList& arguments) override
    {
        return LinuxAutostart::add(name, programPath, arguments);
    }
    bool removeStartupEntry(const QString& name) override { return LinuxAutostart::remove(name); }
    bool hasStartupEntry(const QString& name) const override { return LinuxAutostart::exists(name); }
    void abandonPendingWork() override { m_system.abandon(); }
    bool openFolder(const QString& folder) override { return QDesktopServices::openUrl(QUrl::fromLocalFile(folder)); }
    std::unique_ptr<SystemWatch> createSystemWatch() override
    {
        return std::make_unique<LinuxSystemWatch>(QDBusConnection::systemBus());
    }

private:
    HostDesktopSystem m_system;
    LinuxWallpaperSetter m_wallpapers;
};

} // namespace

// Standard output is the terminal's already.
void attachToCallersConsole() {}

struct FontConfigPreload::Private
{
    std::thread reader;
};

FontConfigPreload::FontConfigPreload() : d(std::make_unique<Private>())
{
    try {
        // Thread-safe, and done once per process: Qt's font database finds it done.
        d->reader = std::thread([] { FcInit(); });
    } catch (const std::system_error&) {
        // No thread: the first font reads it, as it always did.
    }
}

FontConfigPreload::~FontConfigPreload()
{
    wait();
}

void FontConfigPreload::wait()
{
    if (d->reader.joinable())
        d->reader.join();
}

namespace {

// fontconfig's objects, each released by its own function.
template <auto release> struct FcRelease
{
    void operator()(auto* object) const { release(object); }
};
using Pattern = std::unique_ptr<FcPattern, FcRelease<FcPatternDestroy>>;

Pattern familyPattern(const QString& family)
{
    Pattern pattern(FcPatternCreate());
    if (pattern)
        FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(family.toUtf8().constData()));
    return pattern;
}

bool isInstalled(const QString& family)
{
    const Pattern pattern = familyPattern(family);
    const std::unique_ptr<FcObjectSet, FcRelease<FcObjectSetDestroy>> names(FcObjectSetBuild(FC_FAMILY, nullptr));
    if (!pattern || !names)
        return false;
    // Only fonts that carry the name itself, not the configuration's stand-ins for it.
    const std::unique_ptr<FcFontSet, FcRelease<FcFontSetDestroy>> fonts(
        FcFontList(nullptr, pattern.get(), names.get()));
    return fonts && fonts->nfont > 0;
}

} // namespace

QString installedFontFamily(const QStringList& families)
{
    for (const QString& family : families) {
        if (isInstalled(family))
            return family;
    }
    if (families.isEmpty())
        return {};
    const Pattern pattern = familyPattern(families.constFirst());
    if (!pattern)
        return {};
    FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern);
    FcDefaultSubstitute(pattern.get());
    FcResult result = FcResultNoMatch;
    const Pattern match(FcFontMatch(nullptr, pattern.get(), &result));
    FcChar8* name = nullptr;
    if (!match || FcPatternGetString(match.get(), FC_FAMILY, 0, &name) != FcResultMatch || !name)
        return {};
    return QString::fromUtf8(reinterpret_cast<const char*>(name));
}

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

// Linux names a monitor by what Qt reads from its EDID, so that it keeps its
// id across restarts and re-plugging as on Windows. The ids a monitor gets on
// Linux (see ModernWindow::getScreenUniqueId):
//   MODEL-MANUFACTURER-SERIAL      the EDID gave a model, maker or serial;
//   MODEL-MANUFACTURER-CONNECTOR   the same without a serial (connector = QScreen::name, "HDMI-1");
//   CONNECTOR-unknown-unknown      no EDID at all (virtual and offscreen screens, some
//                                  adapters and KVM switches): the connector alone, never the
//                                  screen's position, which shifts when a monitor listed
//                                  before it goes and would orphan its history;
//   -INDEX-unknown                 neither EDID nor connector name: the position is all there is.
MonitorIdentity LinuxPlatformServices::monitorIdentity(int screenIndex) const
{
    MonitorIdentity identity;
    const QList<QScreen*> screens = QGuiApplication::screens();
    if (screenIndex < 0 || screenIndex >= screens.size())
        return identity;
    const QScreen* screen = screens[screenIndex];
    const QString model = screen->model();
    const QString manufacturer = screen->manufacturer();
    const QString serial = screen->serialNumber();
    if (model.isEmpty() && manufacturer.isEmpty() && serial.isEmpty()) {
        if (!screen->name().isEmpty())
            identity.status = MonitorIdentity::Status::ConnectorOnly;
        return identity;
    }
    identity.status = MonitorIdentity::Status::Known;
    identity.name = model;
    identity.adapter = manufacturer;
    identity.target = serial.isEmpty() ? screen->name() : serial;
    return identity;
}

bool LinuxPlatformServices::isDisplayChangeMessage(const QByteArray&, const void*) const
{
    return false;
}
