#include "platform_services.h"
#include "system_watch.h"

#include "win32/win32_display_change.h"
#include "win32/win32_display_config.h"
#include "win32/win32_server_chain.h"
#include "win32/win32_startup.h"
#include "win32/win32_system_state.h"
#include "win32/win32_wallpaper.h"
#include "win32/win32_window.h"

#include <QByteArray>
#include <QDebug>
#include <QDir>
#include <QSslCertificate>
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

    std::unique_ptr<SystemWatch> createSystemWatch() override { return std::make_unique<WindowsSystemWatch>(); }
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
