#include "platform_services.h"
#include "system_watch.h"

#include "win32/win32_console.h"
#include "win32/win32_display_change.h"
#include "win32/win32_display_config.h"
#include "win32/win32_hotkey.h"
#include "win32/win32_server_chain.h"
#include "win32/win32_startup.h"
#include "win32/win32_system_state.h"
#include "win32/win32_wallpaper.h"
#include "win32/win32_window.h"

#include <QByteArray>
#include <QDebug>
#include <QDesktopServices>
#include <QDir>
#include <QKeyCombination>
#include <QSslCertificate>
#include <QUrl>
#include <QWidget>

namespace {

// Windows tells of power, time and the session by messages to the window,
// which hands them on; the window in front and the power line are asked.
class WindowsSystemWatch final : public SystemWatch
{
public:
    ~WindowsSystemWatch() override { win32::stopWatchingSessionChanges(m_window); }

    bool onBattery() const override { return win32::onBattery(); }
    bool fullScreenInFront() const override { return m_watchFullScreen && win32::fullScreenBusy(); }
    void setWatchFullScreen(bool watch) override { m_watchFullScreen = watch; }
    // Windows sends no message when the notification state changes.
    bool announcesFullScreenChanges() const override { return false; }

    void handleNativeMessage(const QByteArray& eventType, const void* message) override
    {
        if (eventType != "windows_generic_MSG" || !message)
            return;
        // Unlocks are told to a window that asked: the first one that passes.
        if (!m_window) {
            void* window = win32::windowOfMessage(message);
            if (win32::watchSessionChanges(window))
                m_window = window;
        }
        switch (win32::systemEventOfMessage(message)) {
        case win32::SystemEvent::Resumed:
            Q_EMIT resumed();
            break;
        case win32::SystemEvent::ClockChanged:
            Q_EMIT clockChanged();
            break;
        case win32::SystemEvent::Unlocked:
            Q_EMIT unlocked();
            break;
        case win32::SystemEvent::PowerChanged:
            Q_EMIT conditionsChanged();
            break;
        case win32::SystemEvent::None:
            break;
        }
    }

private:
    void* m_window = nullptr;
    bool m_watchFullScreen = false;
};

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

    MonitorIdentity monitorIdentity(int screenIndex) const override;

    bool isDisplayChangeMessage(const QByteArray& eventType, const void* message) const override
    {
        return eventType == "windows_generic_MSG" && win32::isDisplayChangeMessage(message);
    }

    // Windows sends its own messages; Qt's screen signals would only double them.
    bool announcesDisplayChangesByScreenSignals() const override { return false; }

    // Schannel keeps to the system's certificate stores.
    bool tlsTrustsAddedRoots() const override { return false; }
    bool verifyServerChain(const QList<QSslCertificate>& chain, const QList<QSslCertificate>& roots,
                           const QString& hostName) const override;

    bool addStartupEntry(const QString& name, const QString& programPath, const QStringList& arguments) override;
    bool removeStartupEntry(const QString& name) override;
    bool hasStartupEntry(const QString& name) const override;

    bool openFolder(const QString& folder) override { return QDesktopServices::openUrl(QUrl::fromLocalFile(folder)); }

    bool supportsGlobalShortcut() const override { return true; }
    bool setGlobalShortcut(QWidget* window, int keyCombination) override;
    bool isGlobalShortcutMessage(const QByteArray& eventType, const void* message) const override
    {
        return eventType == "windows_generic_MSG" && win32::isHotKeyMessage(message);
    }

    std::unique_ptr<SystemWatch> createSystemWatch() override { return std::make_unique<WindowsSystemWatch>(); }

private:
    // The window that owns the combination now, if any.
    void* m_hotKeyWindow = nullptr;
};

} // namespace

void attachToCallersConsole()
{
    win32::attachToParentConsole();
}

// The system's fonts are its own service's: nothing to read ahead.
struct FontConfigPreload::Private
{
};

FontConfigPreload::FontConfigPreload() = default;
FontConfigPreload::~FontConfigPreload() = default;
void FontConfigPreload::wait() {}

QString installedFontFamily(const QStringList&)
{
    return {};
}

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

// Windows' virtual-key code of a Qt key; 0 for a key a global combination cannot use.
static unsigned virtualKeyOf(int key)
{
    if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9))
        return unsigned(key); // VK_A..VK_Z, VK_0..VK_9 are their ASCII codes.
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24)
        return 0x70 + unsigned(key - Qt::Key_F1); // VK_F1..VK_F24
    switch (key) {
    case Qt::Key_Space:
        return 0x20;
    case Qt::Key_PageUp:
        return 0x21;
    case Qt::Key_PageDown:
        return 0x22;
    case Qt::Key_End:
        return 0x23;
    case Qt::Key_Home:
        return 0x24;
    case Qt::Key_Left:
        return 0x25;
    case Qt::Key_Up:
        return 0x26;
    case Qt::Key_Right:
        return 0x27;
    case Qt::Key_Down:
        return 0x28;
    case Qt::Key_Insert:
        return 0x2D;
    case Qt::Key_Delete:
        return 0x2E;
    case Qt::Key_Pause:
        return 0x13;
    default:
        return 0;
    }
}

bool WindowsPlatformServices::setGlobalShortcut(QWidget* window, int keyCombination)
{
    if (m_hotKeyWindow) {
        win32::unregisterHotKey(m_hotKeyWindow);
        m_hotKeyWindow = nullptr;
    }
    if (keyCombination == 0)
        return true;
    if (!window)
        return false;
    const QKeyCombination combination = QKeyCombination::fromCombined(keyCombination);
    const Qt::KeyboardModifiers qtModifiers = combination.keyboardModifiers();
    unsigned modifiers = 0;
    if (qtModifiers & Qt::AltModifier)
        modifiers |= win32::HotKeyAlt;
    if (qtModifiers & Qt::ControlModifier)
        modifiers |= win32::HotKeyControl;
    if (qtModifiers & Qt::ShiftModifier)
        modifiers |= win32::HotKeyShift;
    if (qtModifiers & Qt::MetaModifier)
        modifiers |= win32::HotKeyWin;
    void* handle = reinterpret_cast<void*>(window->winId());
    if (!win32::registerHotKey(handle, modifiers, virtualKeyOf(int(combination.key()))))
        return false;
    m_hotKeyWindow = handle;
    return true;
}

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

MonitorIdentity WindowsPlatformServices::monitorIdentity(int screenIndex) const
{
    const win32::DisplayTarget target = win32::findDisplayTarget(screenIndex);
    MonitorIdentity identity;
    switch (target.status) {
    case win32::DisplayTargetStatus::ConfigurationUnreadable:
        identity.status = MonitorIdentity::Status::Unreadable;
        break;
    case win32::DisplayTargetStatus::NotFound:
        identity.status = MonitorIdentity::Status::Unknown;
        break;
    case win32::DisplayTargetStatus::Named:
        identity.status = MonitorIdentity::Status::Known;
        identity.name = QString::fromStdWString(target.friendlyName);
        identity.adapter = QString::number(target.adapterIdHighPart);
        identity.target = QString::number(target.targetId);
        break;
    }
    return identity;
}

bool WindowsPlatformServices::addStartupEntry(const QString& name, const QString& programPath,
                                              const QStringList& arguments)
{
    const std::wstring commandLine =
        win32::startupCommandLine(nativePath(programPath), arguments.join(QLatin1Char(' ')).toStdWString());
    return win32::addToStartup(name.toStdWString(), commandLine);
}

bool WindowsPlatformServices::removeStartupEntry(const QString& name)
{
    return win32::removeFromStartup(name.toStdWString());
}

bool WindowsPlatformServices::hasStartupEntry(const QString& name) const
{
    return win32::isInStartup(name.toStdWString());
}

namespace {

std::vector<win32::CertificateBytes> derEncoded(const QList<QSslCertificate>& certificates)
{
    std::vector<win32::CertificateBytes> encoded;
    for (const QSslCertificate& certificate : certificates) {
        const QByteArray der = certificate.toDer();
        encoded.emplace_back(der.cbegin(), der.cend());
    }
    return encoded;
}

} // namespace

bool WindowsPlatformServices::verifyServerChain(const QList<QSslCertificate>& chain,
                                                const QList<QSslCertificate>& roots, const QString& hostName) const
{
    const win32::ServerChainCheck check =
        win32::verifyServerChain(derEncoded(chain), derEncoded(roots), hostName.toStdWString());
    if (check.verdict != win32::ServerChainVerdict::Trusted)
        qDebug().nospace() << "[TLS] Chaîne du service refusée par Windows (verdict " << int(check.verdict)
                           << ", état 0x" << Qt::hex << check.trustErrors << ", politique 0x"
                           << quint32(check.policyError) << ")";
    return check.verdict == win32::ServerChainVerdict::Trusted;
}
