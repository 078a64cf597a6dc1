#pragma once

// Display-change notifications among a window's messages, free of Qt types
// so that it builds and is tested on its own with mingw-w64 under wine.
namespace win32 {

// Whether the MSG at message announces a display configuration change:
// WM_DISPLAYCHANGE (resolution or monitor layout) or WM_DEVICECHANGE (a
// device, often a monitor, came or went). False for a null pointer.
bool isDisplayChangeMessage(const void* message);

} // namespace win32
