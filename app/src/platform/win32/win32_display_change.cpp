#include "win32_display_change.h"

#include <windows.h>

namespace win32 {

bool isDisplayChangeMessage(const void* message)
{
    if (!message)
        return false;
    const UINT id = static_cast<const MSG*>(message)->message;
    return id == WM_DISPLAYCHANGE || id == WM_DEVICECHANGE;
}

} // namespace win32
