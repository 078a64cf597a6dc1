// A small Win32 program that run_program.sh starts under wine to look at, and
// poke, what velmora.exe shows to Windows: its top-level windows, the tray's
// window, the desktop wallpaper, and a display change as Windows would send it.
// Qt-free so that it builds with the bare mingw-w64 compiler.
//
//   probe shown            exit 0 when velmora.exe has a visible top-level window titled "Velmora"
//   probe tray             exit 0 when wine's tray window shows (it does while it holds an icon)
//   probe click-change-now clicks the change-now button of the shown window; exit 0 when it was found
//   probe click-settings-tab   clicks the settings tab
//   probe startup-switch   exit 0 when the start-with-Windows switch shows, on
//   probe click-startup-switch clicks it
//   probe click-apply      clicks the settings' apply button
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

// What the window's client area shows, as 0x00RRGGBB pixels.
struct Capture
{
    int width = 0;
    int height = 0;
    std::vector<DWORD> pixels;

    DWORD at(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)] & 0xffffff; }
};

Capture capture(HWND window)
{
    Capture result;
    RECT client{};
    if (!GetClientRect(window, &client) || client.right <= 0 || client.bottom <= 0)
        return result;
    result.width = client.right;
    result.height = client.bottom;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = result.width;
    info.bmiHeader.biHeight = -result.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const HDC windowDc = GetDC(window);
    const HDC memoryDc = CreateCompatibleDC(windowDc);
    const HBITMAP bitmap = CreateDIBSection(windowDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap && bits) {
        const HGDIOBJ old = SelectObject(memoryDc, bitmap);
        BitBlt(memoryDc, 0, 0, result.width, result.height, windowDc, 0, 0, SRCCOPY);
        GdiFlush();
        const auto* pixels = static_cast<const DWORD*>(bits);
        result.pixels.assign(pixels, pixels + size_t(result.width) * size_t(result.height));
        SelectObject(memoryDc, old);
        DeleteObject(bitmap);
    }
    DeleteDC(memoryDc);
    ReleaseDC(window, windowDc);
    if (result.pixels.empty())
        result.width = result.height = 0;
    return result;
}

// A left click at a point of the client area, through the system's own mouse input.
int click(HWND window, int x, int y)
{
    POINT point{x, y};
    ClientToScreen(window, &point);
    SetForegroundWindow(window);
    SetCursorPos(point.x, point.y);
    INPUT inputs[2]{};
    inputs[0].type = INPUT_MOUSE;
    inputs[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    inputs[1].type = INPUT_MOUSE;
    inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    return SendInput(2, inputs, sizeof(INPUT)) == 2 ? 0 : 1;
}

// The change-now button is the topmost wide bar, 50 pixels high, drawn in its
// own blue gradient (#2196F3 to #1976D2).
bool inButtonBlue(DWORD pixel)
{
    const int r = int((pixel >> 16) & 0xff);
    const int g = int((pixel >> 8) & 0xff);
    const int b = int(pixel & 0xff);
    // At rest #2196F3 to #1976D2, under the mouse #42A5F5 to #2196F3.
    return r >= 0x17 && r <= 0x44 && g >= 0x74 && g <= 0xa7 && b >= 0xd0 && b <= 0xf7;
}

// Clicks the middle of the topmost bar drawn in a colour range: the first row
// with an unbroken run of at least minRun such pixels is its top, and its left
// part, beside any text, gives its height.
template <typename InRange> int clickBar(const char* name, InRange inRange, int minRun, int minHeight, int maxHeight)
{
    const HWND window = shownWindow();
    if (!window)
        return 1;
    const Capture shot = capture(window);
    const auto in = [&](int x, int y) { return inRange(shot.at(x, y)); };
    int top = -1;
    int left = 0;
    int right = 0;
    for (int y = 0; top < 0 && y < shot.height; ++y) {
        for (int x = 0; x < shot.width;) {
            int end = x;
            while (end < shot.width && in(end, y))
                ++end;
            if (end - x >= minRun) {
                top = y;
                left = x;
                right = end - 1;
                break;
            }
            x = end + 1;
        }
    }
    int bottom = top;
    while (top >= 0 && bottom + 1 < shot.height && in(left + 6, bottom + 1))
        ++bottom;
    const int height = bottom - top + 1;
    std::printf("%s %d,%d %dx%d\n", name, left, top, right - left + 1, height);
    if (top < 0 || height < minHeight || height > maxHeight)
        return 1;
    return click(window, (left + right) / 2, (top + bottom) / 2);
}

int clickChangeNow()
{
    return clickBar("change-now button", inButtonBlue, 200, 40, 60);
}

// The settings' apply button: #4CAF50 to #45A049 at rest, #5CBF60 to #4CAF50 under the mouse.
int clickApply()
{
    const auto green = [](DWORD pixel) {
        const int r = int((pixel >> 16) & 0xff);
        const int g = int((pixel >> 8) & 0xff);
        const int b = int(pixel & 0xff);
        return r >= 0x43 && r <= 0x5e && g >= 0x9e && g <= 0xc1 && b >= 0x47 && b <= 0x62;
    };
    return clickBar("apply button", green, 60, 25, 60);
}

constexpr DWORD kSelectedBlue = 0x0078d4;

// The bounding box of the area of one colour that holds (x, y), filled from there.
RECT fillArea(const Capture& shot, std::vector<bool>& seen, int x, int y)
{
    const DWORD colour = shot.at(x, y);
    RECT box{x, y, x, y};
    std::vector<POINT> todo{{x, y}};
    seen[size_t(y) * size_t(shot.width) + size_t(x)] = true;
    while (!todo.empty()) {
        const POINT p = todo.back();
        todo.pop_back();
        box.left = p.x < box.left ? p.x : box.left;
        box.right = p.x > box.right ? p.x : box.right;
        box.top = p.y < box.top ? p.y : box.top;
        box.bottom = p.y > box.bottom ? p.y : box.bottom;
        const POINT next[] = {{p.x + 1, p.y}, {p.x - 1, p.y}, {p.x, p.y + 1}, {p.x, p.y - 1}};
        for (const POINT& n : next) {
            if (n.x < 0 || n.y < 0 || n.x >= shot.width || n.y >= shot.height)
                continue;
            const size_t index = size_t(n.y) * size_t(shot.width) + size_t(n.x);
            if (!seen[index] && shot.at(n.x, n.y) == colour) {
                seen[index] = true;
                todo.push_back(n);
            }
        }
    }
    return box;
}

// The topmost area of the colour whose box has a size within the bounds.
bool findArea(const Capture& shot, DWORD colour, SIZE least, SIZE most, RECT& found)
{
    std::vector<bool> seen(shot.pixels.size(), false);
    for (int y = 0; y < shot.height; ++y) {
        for (int x = 0; x < shot.width; ++x) {
            if (seen[size_t(y) * size_t(shot.width) + size_t(x)] || shot.at(x, y) != colour)
                continue;
            const RECT box = fillArea(shot, seen, x, y);
            const int width = box.right - box.left + 1;
            const int height = box.bottom - box.top + 1;
            if (width >= least.cx && width <= most.cx && height >= least.cy && height <= most.cy) {
                found = box;
                return true;
            }
        }
    }
    return false;
}

// The settings tab is the third of the tab bar: the selected tab is the one
// blue (#0078D4) tab-sized area; along its upper part lie the other tabs'
// grey (#404040) faces, the settings tab's the second of them.
int clickSettingsTab()
{
    const HWND window = shownWindow();
    if (!window)
        return 1;
    const Capture shot = capture(window);
    RECT selected{};
    if (!findArea(shot, kSelectedBlue, {100, 20}, {220, 60}, selected)) {
        std::printf("no selected tab\n");
        return 1;
    }
    const int y = selected.top + 6;
    int faces = 0;
    for (int x = selected.right + 1; x < shot.width;) {
        int end = x;
        while (end < shot.width && shot.at(end, y) == 0x404040)
            ++end;
        if (end - x >= 60 && ++faces == 2) {
            std::printf("settings tab %d..%d at %d\n", x, end - 1, y);
            return click(window, (x + end - 1) / 2, (selected.top + selected.bottom) / 2);
        }
        x = end + 1;
    }
    std::printf("no settings tab beside the selected one at %d,%d\n", int(selected.left), int(selected.top));
    return 1;
}

// The start-with-Windows switch is the topmost switch shown on (its 54 by 30
// track in #0078D4); it is clicked on its middle.
int clickStartupSwitch(bool press)
{
    const HWND window = shownWindow();
    if (!window)
        return 1;
    const Capture shot = capture(window);
    RECT track{};
    if (!findArea(shot, kSelectedBlue, {30, 14}, {60, 32}, track)) {
        std::printf("no switch shown on\n");
        return 1;
    }
    std::printf("switch %d,%d %dx%d\n", int(track.left), int(track.top), int(track.right - track.left + 1),
                int(track.bottom - track.top + 1));
    return press ? click(window, (track.left + track.right) / 2, (track.top + track.bottom) / 2) : 0;
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

// The program's global key pressed: WM_HOTKEY with its id (0x5601) and Ctrl+Alt+F9.
int hotKey()
{
    int posted = 0;
    for (const Window& window : velmoraWindows()) {
        if (PostMessageW(window.handle, WM_HOTKEY, 0x5601, MAKELPARAM(MOD_CONTROL | MOD_ALT, VK_F9)))
            ++posted;
    }
    std::printf("%d\n", posted);
    return posted > 0 ? 0 : 1;
}

// Whether Ctrl+Alt+F9 is owned by another program: this one cannot register it.
int hotKeyTaken()
{
    if (RegisterHotKey(nullptr, 1, MOD_CONTROL | MOD_ALT, VK_F9)) {
        UnregisterHotKey(nullptr, 1);
        std::printf("free\n");
        return 1;
    }
    std::printf("taken\n");
    return 0;
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
    if (command == "click-settings-tab")
        return clickSettingsTab();
    if (command == "startup-switch")
        return clickStartupSwitch(false);
    if (command == "click-startup-switch")
        return clickStartupSwitch(true);
    if (command == "click-apply")
        return clickApply();
    if (command == "display-change")
        return displayChange();
    if (command == "hotkey")
        return hotKey();
    if (command == "hotkey-taken")
        return hotKeyTaken();
    if (command == "wallpaper")
        return wallpaper();
    if (command == "clear-wallpaper")
        return clearWallpaper();
    if (command == "windows") {
        everyProcess = argc > 2 && std::string(argv[2]) == "all";
        return listWindows();
    }
    std::fprintf(stderr,
                 "usage: probe shown|tray|display-change|hotkey|hotkey-taken|wallpaper|clear-wallpaper|windows\n");
    return 2;
}
