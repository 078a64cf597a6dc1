// A small Win32 program that run_program.sh starts under wine to look at, and
// poke, what velmora.exe shows to Windows: its top-level windows, the tray's
// window, the desktop wallpaper, and a display change as Windows would send it.
// Qt-free so that it builds with the bare mingw-w64 compiler.
//
//   probe shown            exit 0 when velmora.exe has a visible top-level window titled "Velmora"
//   probe tray             exit 0 when wine's tray window shows (it does while it holds an icon)
//   probe display-change   posts WM_DISPLAYCHANGE to every top-level window of velmora.exe, hidden
//                          ones included, as Windows does; exit 0 when at least one got it
//   probe wallpaper        prints the desktop wallpaper as SystemParametersInfo reports it
//   probe clear-wallpaper  sets the desktop wallpaper to none, saved to the profile
//   probe windows [all]    lists velmora.exe's (or every) top-level windows, for the log of a failed check

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

struct Window
{
    HWND handle;
    bool visible;
    std::wstring className;
    std::wstring title;
};

bool isVelmoraProcess(DWORD processId)
{
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    if (!process)
        return false;
    wchar_t path[MAX_PATH * 4] = {};
    DWORD size = DWORD(sizeof(path) / sizeof(path[0]));
    const bool named = QueryFullProcessImageNameW(process, 0, path, &size) != FALSE;
    CloseHandle(process);
    if (!named)
        return false;
    const wchar_t* name = path;
    for (const wchar_t* at = path; *at; ++at) {
        if (*at == L'\\' || *at == L'/')
            name = at + 1;
    }
    return _wcsicmp(name, L"velmora.exe") == 0;
}

bool everyProcess = false;

BOOL CALLBACK collect(HWND handle, LPARAM list)
{
    DWORD processId = 0;
    GetWindowThreadProcessId(handle, &processId);
    if (!everyProcess && !isVelmoraProcess(processId))
        return TRUE;
    wchar_t className[256] = {};
    wchar_t title[256] = {};
    GetClassNameW(handle, className, 256);
    GetWindowTextW(handle, title, 256);
    reinterpret_cast<std::vector<Window>*>(list)->push_back(
        {handle, IsWindowVisible(handle) != FALSE, className, title});
    return TRUE;
}

std::vector<Window> velmoraWindows()
{
    std::vector<Window> windows;
    EnumWindows(collect, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

int shown()
{
    for (const Window& window : velmoraWindows()) {
        if (window.visible && window.title == L"Velmora")
            return 0;
    }
    return 1;
}

// Without a tray on the X display, wine's X11 driver shows its own tray window
// exactly while some program holds an icon in it.
int tray()
{
    const HWND window = FindWindowW(L"__winex11_standalone_tray", nullptr);
    return window && IsWindowVisible(window) ? 0 : 1;
}

int displayChange()
{
    const WPARAM bitsPerPixel = 32;
    const LPARAM size = MAKELPARAM(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    int posted = 0;
    for (const Window& window : velmoraWindows()) {
        if (PostMessageW(window.handle, WM_DISPLAYCHANGE, bitsPerPixel, size))
            ++posted;
    }
    std::printf("%d\n", posted);
    return posted > 0 ? 0 : 1;
}

int wallpaper()
{
    wchar_t path[MAX_PATH * 4] = {};
    if (!SystemParametersInfoW(SPI_GETDESKWALLPAPER, DWORD(sizeof(path) / sizeof(path[0])), path, 0))
        return 1;
    std::printf("%ls\n", path);
    return 0;
}

int clearWallpaper()
{
    wchar_t none[] = L"";
    return SystemParametersInfoW(SPI_SETDESKWALLPAPER, 0, none, SPIF_UPDATEINIFILE) ? 0 : 1;
}

int listWindows()
{
    for (const Window& window : velmoraWindows())
        std::printf("%p %s class=%ls title=%ls\n", static_cast<void*>(window.handle),
                    window.visible ? "visible" : "hidden", window.className.c_str(), window.title.c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "shown")
        return shown();
    if (command == "tray")
        return tray();
    if (command == "display-change")
        return displayChange();
    if (command == "wallpaper")
        return wallpaper();
    if (command == "clear-wallpaper")
        return clearWallpaper();
    if (command == "windows") {
        everyProcess = argc > 2 && std::string(argv[2]) == "all";
        return listWindows();
    }
    std::fprintf(stderr, "usage: probe shown|tray|display-change|wallpaper|clear-wallpaper|windows\n");
    return 2;
}
