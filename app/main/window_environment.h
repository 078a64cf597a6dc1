#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QSslCertificate>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class FontConfigPreload;
class PlatformServices;

// What the main window takes from outside: the wallpaper service it talks to,
// the certificates it trusts beyond the system's, the OS services and the
// command line. The program uses fromBuild(); tests build their own.
struct WindowEnvironment
{
    WindowEnvironment();
    WindowEnvironment(WindowEnvironment&&) noexcept;
    WindowEnvironment& operator=(WindowEnvironment&&) noexcept;
    ~WindowEnvironment();

    // Scheme, host and port of the wallpaper service, without a trailing slash.
    QString serviceOrigin;
    // CA certificates trusted in addition to the system's store.
    QList<QSslCertificate> extraCaCertificates;
    // More of them as PEM text, read with the TLS set-up: reading a
    // certificate loads the TLS back-end, which the first frame does not wait for.
    QByteArray extraCaPem;
    std::unique_ptr<PlatformServices> platform;
    // The command line; unset means QCoreApplication::arguments().
    std::optional<QStringList> arguments;
    // The wall clock of the change schedule; unset means the system's.
    std::function<QDateTime()> wallClock;
    // The program's start: the first frame shows as soon as it can and the
    // window builds the rest after it (tabs, tray, catalogue, history), the
    // strip's cached thumbnails decoded one per turn of the event loop. Off, the window
    // is complete when constructed.
    bool stagedStart = false;
    // The process's read-ahead of the font configuration, waited for before
    // the window's style names its font; none in tests.
    FontConfigPreload* fontConfig = nullptr;

    // The build constants and the real platform of this OS.
    static WindowEnvironment fromBuild();
};
