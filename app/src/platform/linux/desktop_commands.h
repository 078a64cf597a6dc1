#pragma once

#include <QList>
#include <QRect>
#include <QString>
#include <QStringList>

// What each Linux desktop is told to change its wallpaper, built as plain text
// so that it can be checked without the desktop.

enum class LinuxDesktop {
    Gnome, // also Unity, Budgie, Pantheon and Ubuntu's session
    Cinnamon,
    Mate,
    Kde,
    Xfce,
    Other,
};

// The session's desktop from XDG_CURRENT_DESKTOP, XDG_SESSION_DESKTOP and
// DESKTOP_SESSION, in that order: the first one that is set decides.
LinuxDesktop detectLinuxDesktop(const QString& currentDesktop, const QString& sessionDesktop,
                                const QString& desktopSession);

// A string in GVariant text form, as `gsettings set` parses it.
QString gvariantString(const QString& text);

// `gsettings set schema key 'value'`, without the program name.
QStringList gsettingsSetArguments(const QString& schema, const QString& key, const QString& value);

// One picture for Plasma: area is its screen's rectangle inside the composite,
// or null for a picture that goes on every desktop.
struct PlasmaPicture
{
    QRect area;
    QString path;
};

// Script for org.kde.PlasmaShell.evaluateScript that sets the image wallpaper
// of every desktop. With several pictures each desktop gets the one whose area
// lies where its screen lies in the desktop's own layout.
QString plasmaWallpaperScript(const QList<PlasmaPicture>& pictures);

// The backdrop property folders ("/backdrop/screen0/monitorX/workspace0") named
// in `xfconf-query -c xfce4-desktop -l`, plus workspace 0 of every monitor that
// has none yet, sorted and without repeats.
QStringList xfceBackdropFolders(const QString& propertyListing, const QStringList& monitorNames);

// `xfconf-query` arguments that set one property of xfce4-desktop, creating it
// when missing.
QStringList xfconfSetArguments(const QString& property, const QString& type, const QString& value);

// `feh` arguments; spanned draws one picture across the whole root window.
QStringList fehArguments(const QString& imagePath, bool spanned);
