#include "win32_hotkey.h"

#include <windows.h>

#ifndef MOD_NOREPEAT
#define MOD_NOREPEAT 0x4000
#endif

namespace win32 {

bool registerHotKey(void* window, unsigned modifiers, unsigned virtualKey)
{
    if (!window || virtualKey == 0)
        return false;
    return RegisterHotKey(static_cast<HWND>(window), programHotKeyId, modifiers | MOD_NOREPEAT, virtualKey) != 0;
}

bool unregisterHotKey(void* window)
{
    return window && UnregisterHotKey(static_cast<HWND>(window), programHotKeyId) != 0;
}

bool isHotKeyMessage(const void* message)
{
    if (!message)
        return false;
    const MSG* msg = static_cast<const MSG*>(message);
    return msg->message == WM_HOTKEY && msg->wParam == WPARAM(programHotKeyId);
}

} // namespace win32
