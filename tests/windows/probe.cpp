// A small Win32 program that run_program.sh starts under wine to look at, and
// poke, what velmora.exe shows to Windows: its top-level windows, the tray's
// window, the desktop wallpaper, and a display change as Windows would send it.
// Qt-free so that it builds with the bare mingw-w64 compiler.
//
//   probe shown            exit 0 when velmora.exe has a visible top-level window titled "Velmora"
//   probe tray             exit 0 when wine's tray window shows (it does while it holds an icon)
//   probe click-change-now clicks the change-now button of the shown window; exit 0 when it was found
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

HWND shownWindow()
{
    for (const Window& window : velmoraWindows()) {
        if (window.visible && window.title == L"Velmora")
            return window.handle;
    }
    return nullptr;
}

// The change-now button is the topmost wide bar, 50 pixels high, drawn in its
// own blue gradient (#2196F3 to #1976D2); it is found in what the window shows
// and clicked at its middle with the system's own mouse input.
bool inButtonBlue(DWORD pixel)
{
    const int r = int((pixel >> 16) & 0xff);
    const int g = int((pixel >> 8) & 0xff);
    const int b = int(pixel & 0xff);
    // At rest #2196F3 to #1976D2, under the mouse #42A5F5 to #2196F3.
    return r >= 0x17 && r <= 0x44 && g >= 0x74 && g <= 0xa7 && b >= 0xd0 && b <= 0xf7;
}

int clickChangeNow()
{
    const HWND window = shownWindow();
    RECT client{};
    if (!window || !GetClientRect(window, &client))
        return 1;
    const int width = client.right;
    const int height = client.bottom;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const HDC windowDc = GetDC(window);
    const HDC memoryDc = CreateCompatibleDC(windowDc);
    const HBITMAP bitmap = CreateDIBSection(windowDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ old = SelectObject(memoryDc, bitmap);
    BitBlt(memoryDc, 0, 0, width, height, windowDc, 0, 0, SRCCOPY);
    GdiFlush();
    // The first row with a long unbroken run of the blue is the button's top;
    // its left part, beside the text, gives the height.
    const auto* pixels = static_cast<const DWORD*>(bits);
    const auto blue = [&](int x, int y) { return inButtonBlue(pixels[y * width + x]); };
    int top = -1;
    int left = 0;
    int right = 0;
    for (int y = 0; pixels && top < 0 && y < height; ++y) {
        for (int x = 0; x < width;) {
            int end = x;
            while (end < width && blue(end, y))
                ++end;
            if (end - x >= 200) {
                top = y;
                left = x;
                right = end - 1;
                break;
            }
            x = end + 1;
        }
    }
    int bottom = top;
    while (top >= 0 && bottom + 1 < height && blue(left + 10, bottom + 1))
        ++bottom;
    SelectObject(memoryDc, old);
    DeleteObject(bitmap);
    DeleteDC(memoryDc);
    ReleaseDC(window, windowDc);
    const int barHeight = bottom - top + 1;
    std::printf("button %d,%d %dx%d\n", left, top, right - left + 1, barHeight);
    if (top < 0 || barHeight < 40 || barHeight > 60)
        return 1;

    POINT middle{(left + right) / 2, (top + bottom) / 2};
    ClientToScreen(window, &middle);
    SetForegroundWindow(window);
    SetCursorPos(middle.x, middle.y);
    INPUT inputs[2]{};
    inputs[0].type = INPUT_MOUSE;
    inputs[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    inputs[1].type = INPUT_MOUSE;
    inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    return SendInput(2, inputs, sizeof(INPUT)) == 2 ? 0 : 1;
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
    if (command == "click-change-now")
        return clickChangeNow();
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
