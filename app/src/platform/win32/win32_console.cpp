#include "win32_console.h"

#include <windows.h>

#include <cstdio>

namespace win32 {

namespace {

bool isRedirected(DWORD which)
{
    const HANDLE handle = GetStdHandle(which);
    return handle && handle != INVALID_HANDLE_VALUE && GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

} // namespace

bool attachToParentConsole()
{
    const bool outRedirected = isRedirected(STD_OUTPUT_HANDLE);
    const bool errRedirected = isRedirected(STD_ERROR_HANDLE);
    if (outRedirected && errRedirected)
        return true;
    if (!AttachConsole(ATTACH_PARENT_PROCESS))
        return false;
    FILE* stream = nullptr;
    if (!outRedirected)
        freopen_s(&stream, "CONOUT$", "w", stdout);
    if (!errRedirected)
        freopen_s(&stream, "CONOUT$", "w", stderr);
    return true;
}

} // namespace win32
