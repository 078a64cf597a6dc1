#pragma once

#include "desktop_commands.h"
#include "wallpaper_store.h"

#include <QList>
#include <QMutex>
#include <QObject>
#include <QRect>
#include <QString>
#include <QStringList>

class DesktopSystem;

// Sets the wallpaper of whichever desktop runs the session, looked up at each
// call: GSettings for the GNOME family, Cinnamon and MATE, a Plasma shell
// script for KDE, xfconf for XFCE, pcmanfm for LXDE, pcmanfm-qt for LXQt,
// swaymsg for sway, feh for anything else on X11, swaybg for anything else on
// Wayland.
class LinuxWallpaperSetter
{
public:
    // storeDirectory keeps the files the desktop shows (see WallpaperStore).
    LinuxWallpaperSetter(DesktopSystem& system, const QString& storeDirectory);

    static LinuxDesktop sessionDesktop();

    bool setWallpaper(const QString& imagePath);
    // Plasma, LXDE, LXQt, sway and plain X11 have no span style to switch to
    // apart from the picture: false there.
    bool setSpanStyle();
    // Plasma and sway get each screen's part of the composite on that screen.
    bool setSpannedWallpaper(const QString& compositePath, const QList<QRect>& screenRects);

private:
    struct Outcome
    {
        bool accepted = false; // the desktop did all that was asked
        bool taken = false;    // the desktop now refers to the new files
    };

    bool apply(const QString& imagePath, const QList<QRect>* screenRects);
    Outcome applyGSettings(LinuxDesktop desktop, const QString& path);
    Outcome applyPlasma(const QString& imagePath, const QList<QRect>* screenRects);
    Outcome applyXfce(const QString& path);
    Outcome applyPcmanfm(const QString& path, bool spanned);
    Outcome applyPcmanfmQt(const QString& path, bool spanned);
    Outcome applySway(const QString& imagePath, const QList<QRect>* screenRects);
    // Other Wayland compositors that show swaybg's layer: one swaybg per output.
    Outcome applySwaybg(const QString& imagePath, const QList<QRect>* screenRects);
    // Each screen's part of the composite, stored; empty on failure (logged).
    QList<PlasmaPicture> screenParts(const QString& compositePath, const QList<QRect>& screenRects);
    // The whole picture (no rectangles) or each screen's part, kept in the store;
    // empty, and logged, when none could be kept.
    QList<PlasmaPicture> picturesPerScreen(const QString& imagePath, const QList<QRect>* screenRects,
                                           const QString& desktopName);
    // Runs a program; a failure is logged.
    bool runLogged(const QString& program, const QStringList& arguments);
    QStringList xfceFolders();
    // The monitors' connector names as Qt last listed them. The setter runs on
    // a worker thread, where Qt's screens must not be read: the list is kept
    // up to date on the GUI thread as monitors come and go.
    void refreshMonitorNames();
    QStringList monitorNames() const;

    DesktopSystem& m_system;
    WallpaperStore m_store;
    QObject m_screenWatch;
    mutable QMutex m_monitorNamesMutex;
    QStringList m_monitorNames;
};
