#include "win32_window.h"

#include <windows.h>

namespace win32 {

bool setForegroundWindow(void* windowHandle)
{
    if (!windowHandle)
        return false;
    return SetForegroundWindow(static_cast<HWND>(windowHandle)) != FALSE;
}

} // namespace win32
