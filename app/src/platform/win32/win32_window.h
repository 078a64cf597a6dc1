#pragma once

// Win32 window helpers, free of Qt types so that they build and are tested on
// their own with mingw-w64 under wine.
namespace win32 {

// SetForegroundWindow on a native window handle (HWND). False for a null
// handle or when Windows refuses.
bool setForegroundWindow(void* windowHandle);

} // namespace win32
