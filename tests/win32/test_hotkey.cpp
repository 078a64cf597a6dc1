#include "win32_hotkey.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace {

HWND makeWindow()
{
    return CreateWindowExW(0, L"STATIC", L"velmora-test", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

} // namespace

TEST(Win32HotKey, RegisteredCombinationIsOwnedUntilReleased)
{
    HWND window = makeWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(win32::registerHotKey(nullptr, win32::HotKeyControl, 'N'));
    EXPECT_FALSE(win32::registerHotKey(window, win32::HotKeyControl, 0));
    HWND other = makeWindow();
    ASSERT_NE(other, nullptr);
    ASSERT_TRUE(win32::registerHotKey(window, win32::HotKeyControl | win32::HotKeyAlt, VK_F9));
    // Another program (here another window) cannot take a combination while it is owned.
    EXPECT_FALSE(win32::registerHotKey(other, win32::HotKeyControl | win32::HotKeyAlt, VK_F9));
    EXPECT_TRUE(win32::unregisterHotKey(window));
    EXPECT_FALSE(win32::unregisterHotKey(window));
    EXPECT_TRUE(win32::registerHotKey(other, win32::HotKeyControl | win32::HotKeyAlt, VK_F9));
    EXPECT_TRUE(win32::unregisterHotKey(other));
    DestroyWindow(other);
    DestroyWindow(window);
}

// WM_HOTKEY as the window receives it, through its queue: only the program's id counts.
TEST(Win32HotKey, OnlyTheProgramsHotKeyMessageCounts)
{
    EXPECT_FALSE(win32::isHotKeyMessage(nullptr));
    HWND window = makeWindow();
    ASSERT_NE(window, nullptr);
    struct Case
    {
        UINT id;
        WPARAM wParam;
        bool counts;
    };
    for (const Case& c : {Case{WM_HOTKEY, WPARAM(win32::programHotKeyId), true}, Case{WM_HOTKEY, 7, false},
                          Case{WM_KEYDOWN, WPARAM(win32::programHotKeyId), false}}) {
        ASSERT_TRUE(PostMessageW(window, c.id, c.wParam, MAKELPARAM(MOD_CONTROL, 'N')));
        MSG message{};
        ASSERT_TRUE(PeekMessageW(&message, window, c.id, c.id, PM_REMOVE));
        EXPECT_EQ(win32::isHotKeyMessage(&message), c.counts) << c.id << " " << c.wParam;
    }
    DestroyWindow(window);
}
