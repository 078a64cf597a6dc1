#pragma once

#include <string>

// Desktop wallpaper through Win32, free of Qt types so that it builds and is
// tested on its own with mingw-w64 under wine. Paths use native separators.
namespace win32 {

// One image on every monitor: IDesktopWallpaper when the shell offers it,
// otherwise SystemParametersInfoW without updating the user profile. The
// position style is left as Windows holds it.
bool setWallpaper(const std::wstring& imagePath);

// "TileWallpaper" = "0" and "WallpaperStyle" = "22" (span) under
// HKCU "Control Panel\Desktop". True only when both values were written.
bool setSpanStyle();

// A composite for the whole virtual desktop, saved in the user profile and
// broadcast to running programs.
bool setSpannedWallpaper(const std::wstring& compositePath);

} // namespace win32
