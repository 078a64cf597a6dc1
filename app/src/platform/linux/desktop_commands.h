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
    Lxde, // pcmanfm draws the desktop
    Lxqt, // pcmanfm-qt draws the desktop
    Sway, // and other compositors that take sway's commands
    Other,
};

// The session's desktop from XDG_CURRENT_DESKTOP, XDG_SESSION_DESKTOP and
// DESKTOP_SESSION, in that order: the first one that is set decides.
LinuxDesktop detectLinuxDesktop(const QString& currentDesktop, const QString& sessionDesktop,
                                const QString& desktopSession);

// As detectLinuxDesktop; a session that names no known desktop but has
// sway's socket (SWAYSOCK) is sway.
LinuxDesktop detectLinuxDesktop(const QString& currentDesktop, const QString& sessionDesktop,
                                const QString& desktopSession, const QString& swaySocket);

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

// `pcmanfm` or `pcmanfm-qt` arguments that set the picture and its mode
// (pcmanfm: "screen" spans the picture over the whole screen; pcmanfm-qt:
// "stretch" spans it over its desktop window, "zoom" fills that window).
QStringList pcmanfmArguments(const QString& imagePath, const QString& mode);

// Whether pcmanfm-qt's settings.conf (its text) has each monitor draw the
// picture on its own (PerScreenWallpaper in [Desktop]); otherwise its one
// desktop window spans every monitor and "stretch" lays a composite over all.
bool pcmanfmQtPerScreenWallpaper(const QString& settings);

// pcmanfm's profile (`--profile NAME` or `-p NAME` among a running desktop's
// arguments), "default" when none is named.
QString pcmanfmProfile(const QStringList& arguments);

// A desktop-items-N.conf of pcmanfm with its wallpaper and mode replaced in
// the "[*]" group (added when missing), every other line kept.
QString pcmanfmDesktopItems(const QString& current, const QString& imagePath, const QString& mode);

// One picture for a sway output.
struct SwayPicture
{
    QString output;
    QString path;
};

// Which output of `swaymsg -t get_outputs -r` (JSON) shows which picture: each
// active output gets the picture whose area lies where the output lies in the
// layout, positions taken from the layout's top-left corner. A single picture
// with a null area goes on every output.
QList<SwayPicture> swayOutputPictures(const QByteArray& outputsJson, const QList<PlasmaPicture>& pictures);

// `swaymsg` arguments that show path on one output, filling it.
QStringList swaymsgBackgroundArguments(const QString& output, const QString& path);
