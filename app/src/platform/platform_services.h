#pragma once

#include <QList>
#include <QRect>
#include <QString>
#include <QStringList>

#include <memory>

class QByteArray;
class QSslCertificate;
class SystemWatch;
class QWidget;

// What the system tells of one monitor, to name it across restarts and
// re-plugging. On Windows: the monitor's friendly name and the adapter
// (high part of its identifier) and target identifiers of its display path.
// On Linux: the model, manufacturer and serial number from the monitor's EDID.
struct MonitorIdentity
{
    enum class Status {
        // The system's display configuration could not be read.
        Unreadable,
        // It was read but said nothing of this screen.
        Unknown,
        // name, adapter and target below hold what it said.
        Known,
        // The monitor tells nothing of itself (Linux: no EDID); it is known by
        // its connector alone, QScreen::name().
        ConnectorOnly,
    };
    Status status = Status::Unknown;
    QString name;
    QString adapter;
    QString target;
};

// What the operating system does for Velmora. One implementation per OS is
// compiled in (see app/CMakeLists.txt); tests substitute their own.
class PlatformServices
{
public:
    virtual ~PlatformServices();

    // Name of the implementation, for diagnostics.
    virtual const char* name() const = 0;

    // Brings a shown top-level window in front of other applications' windows.
    // Returns false when the system refused.
    virtual bool bringToFront(QWidget* window) = 0;

    // Whether a notification area exists to hide the window into.
    virtual bool hasSystemTray() const = 0;

    // Desktop wallpaper. Each returns whether the desktop accepted the change;
    // a desktop the implementation cannot drive is a failure like any other.

    // One image on every monitor, in whatever position style the desktop holds.
    virtual bool setWallpaper(const QString& imagePath) = 0;
    // Switches the desktop to the span style: one image across all monitors.
    virtual bool setSpanStyle() = 0;
    // Sets a composite that spans the whole virtual desktop. screenRects are
    // the monitors' rectangles inside the image (for desktops that take one
    // image per monitor and have no span style).
    virtual bool setSpannedWallpaper(const QString& compositePath, const QList<QRect>& screenRects) = 0;

    // Identity of the screen at this position of QGuiApplication::screens().
    virtual MonitorIdentity monitorIdentity(int screenIndex) const = 0;

    // Display configuration changes: monitors plugged, unplugged, moved or
    // resized. Whether this native message of a top-level window announces
    // one (Windows: WM_DISPLAYCHANGE, WM_DEVICECHANGE).
    virtual bool isDisplayChangeMessage(const QByteArray& eventType, const void* message) const = 0;
    // Whether the system sends no such message, so that the window follows
    // the application's screen signals instead.
    virtual bool announcesDisplayChangesByScreenSignals() const = 0;

    // TLS. Whether the system's TLS back-end trusts CA certificates that a
    // request's configuration adds to the system's own (Linux: OpenSSL does).
    // Where it does not (Windows: Schannel keeps to the system's stores), the
    // program's own CA is not handed to it: a service certificate it refuses
    // for want of a known issuer is checked with verifyServerChain instead.
    virtual bool tlsTrustsAddedRoots() const = 0;
    // Whether the chain a TLS server presented (leaf first) leads to one of
    // roots, the system's own roots not counting, and is fit now for a server
    // named hostName, by the system's own verification. Local work only:
    // nothing is fetched. Where the back-end trusts added roots it is never
    // needed, and says no.
    virtual bool verifyServerChain(const QList<QSslCertificate>& chain, const QList<QSslCertificate>& roots,
                                   const QString& hostName) const;

    // Start at log-on: an entry named `name` that runs the program at
    // programPath with the arguments when the user logs on (Windows: a value
    // of the user's Run key; Linux: a freedesktop autostart entry).
    // Writes the entry afresh; false when the system refused.
    virtual bool addStartupEntry(const QString& name, const QString& programPath, const QStringList& arguments) = 0;
    // False also when there was no entry.
    virtual bool removeStartupEntry(const QString& name) = 0;
    // Whether an entry of that name exists, whatever it runs.
    virtual bool hasStartupEntry(const QString& name) const = 0;

    // Opens a folder in the desktop's file manager; false when nothing took it.
    virtual bool openFolder(const QString& folder);

    // A global key combination: one that reaches the program wherever the
    // focus is. Whether this system lets a program own one (Windows does;
    // Linux desktops keep global keys in their own keyboard settings).
    virtual bool supportsGlobalShortcut() const { return false; }
    // Owns this combination (QKeyCombination::toCombined(); 0 for none) for
    // the window's native window, in place of the one it owned before. False
    // when the system refused (another program owns it) or cannot.
    virtual bool setGlobalShortcut(QWidget* window, int keyCombination);
    // Whether this native message of that window says the combination was pressed.
    virtual bool isGlobalShortcutMessage(const QByteArray& eventType, const void* message) const;

    // What the system tells the change schedule (see SystemWatch); the base
    // class tells nothing.
    virtual std::unique_ptr<SystemWatch> createSystemWatch();

    // The program is closing: desktop work still waited for on another thread
    // ends at once as failed, rather than at its time limit. Safe on any thread.
    virtual void abandonPendingWork() {}
};

// Before a command line's answer is printed: where a windowed program has no
// standard output of its own (Windows), it writes to the console it was
// started from.
void attachToCallersConsole();

// Reads the system's font configuration on a thread of its own from the
// process's start, while the application object and the window are made:
// the first text laid out would otherwise read it on the GUI thread (Linux:
// fontconfig's files, a few milliseconds before any first frame). Where the
// system has nothing to read ahead, it does nothing. Made before the
// application object; its thread is waited for when it is destroyed.
class FontConfigPreload
{
public:
    FontConfigPreload();
    ~FontConfigPreload();
    FontConfigPreload(const FontConfigPreload&) = delete;
    FontConfigPreload& operator=(const FontConfigPreload&) = delete;

    // Before the first font is used: what is left of the read is done, so
    // that it is not read a second time on the calling thread.
    void wait();

private:
    struct Private;
    std::unique_ptr<Private> d;
};

// The first of the font families named, in order of preference, that the
// system has installed or, where it has none of them, the family its font
// configuration puts in place of the first. Empty where the system is not
// asked (Windows: Qt finds the named ones itself) or names none.
QString installedFontFamily(const QStringList& families);

// The implementation for the OS this program was built for.
std::unique_ptr<PlatformServices> createPlatformServices();
