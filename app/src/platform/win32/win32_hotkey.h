#pragma once

// The program's one global key combination (RegisterHotKey), free of Qt
// types so that it builds and is tested on its own with mingw-w64 under wine.
namespace win32 {

// Modifier flags as RegisterHotKey takes them (MOD_ALT ... MOD_WIN).
enum HotKeyModifier : unsigned {
    HotKeyAlt = 0x0001,
    HotKeyControl = 0x0002,
    HotKeyShift = 0x0004,
    HotKeyWin = 0x0008,
};

// The id the program's combination is registered under, for its window.
inline constexpr int programHotKeyId = 0x5601;

// Registers the combination for the window (an HWND), held down not
// repeating; false when the system refused (another program owns it).
bool registerHotKey(void* window, unsigned modifiers, unsigned virtualKey);
// Releases it; false when there was none.
bool unregisterHotKey(void* window);

// Whether the MSG at message is the program's combination being pressed
// (WM_HOTKEY with its id). False for a null pointer.
bool isHotKeyMessage(const void* message);

} // namespace win32
