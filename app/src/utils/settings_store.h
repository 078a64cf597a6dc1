#pragma once

#include <QSettings>

// The user's settings, opened afresh for each read or write: organisation
// "Velmora", application "WallpaperSettings" (on Windows the registry branch
// HKEY_CURRENT_USER\Software\Velmora\WallpaperSettings).
inline QSettings openSettings()
{
    return QSettings(QStringLiteral("Velmora"), QStringLiteral("WallpaperSettings"));
}
