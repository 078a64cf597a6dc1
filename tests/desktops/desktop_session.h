#pragma once

#include <QImage>
#include <QList>
#include <QProcess>
#include <QRect>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

// A desktop brought up for real in a test: an X server with several monitors
// of different sizes (Xorg's dummy driver, whose outputs every toolkit sees)
// or headless sway, a session bus, and the desktop's own drawing component.
// The test process points DISPLAY / SWAYSOCK at it, so that the platform
// layer drives it as it would a user's session. Everything ends with it.
class DesktopSession
{
public:
    DesktopSession();
    ~DesktopSession();
    DesktopSession(const DesktopSession&) = delete;
    DesktopSession& operator=(const DesktopSession&) = delete;

    // The monitors, laid out side by side, the middle one lower.
    static QList<QRect> monitors();

    // Empty when started; otherwise why not (a missing program, to skip on).
    QString startX();
    // The outputs are HEADLESS-1... to the program too. With ownSocket false
    // the program is told only of the Wayland display, as under compositors
    // other than sway.
    QString startSway(bool ownSocket = true);
    // Starts a long-running component with the session's environment.
    QString start(const QString& program, const QStringList& arguments);
    // Whether a shown desktop-type window covers the root (the component is up).
    bool desktopWindowShown() const;

    // Whether the program's output comes to hold text (a component settled).
    bool printsSoon(const QString& program, const QStringList& arguments, const QString& text) const;

    // The screen as shown now; null when it cannot be read.
    QImage screen() const;
    // Whether each monitor's middle shows its colour.
    bool shows(const QList<QColor>& colours) const;
    // Waits (generously) until shows(colours).
    bool comesToShow(const QList<QColor>& colours) const;
    // The monitors' middles as last read by shows().
    QString seen() const { return m_seen; }

    // The composite the program would build: each monitor filled with its colour.
    QString composite(const QList<QColor>& colours) const;

private:
    QString startBus();
    void tellWhatComponentsSaid() const;

    std::vector<std::unique_ptr<QProcess>> m_processes;
    QString m_folder;
    bool m_sway = false;
    QString m_waylandDisplay;
    mutable QString m_seen;
};
