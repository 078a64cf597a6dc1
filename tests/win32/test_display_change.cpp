#include "win32_display_change.h"

#include <gtest/gtest.h>
#include <windows.h>

TEST(Win32DisplayChange, OnlyDisplayAndDeviceChangesCount)
{
    EXPECT_FALSE(win32::isDisplayChangeMessage(nullptr));
    const struct
    {
        UINT message;
        bool counts;
    } cases[] = {{WM_DISPLAYCHANGE, true},  {WM_DEVICECHANGE, true}, {WM_PAINT, false},
                 {WM_SETTINGCHANGE, false}, {WM_SIZE, false},        {WM_MOVE, false}};
    for (const auto& c : cases) {
        MSG message{};
        message.message = c.message;
        EXPECT_EQ(win32::isDisplayChangeMessage(&message), c.counts) << c.message;
    }
}

// The messages as a window really receives them, through its queue.
TEST(Win32DisplayChange, QueuedMessagesOfAWindow)
{
    HWND window = CreateWindowExW(0, L"STATIC", L"velmora-test", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(PostMessageW(window, WM_DISPLAYCHANGE, 32, MAKELPARAM(1920, 1080)));
    ASSERT_TRUE(PostMessageW(window, WM_APP, 0, 0));
    MSG message{};
    ASSERT_TRUE(PeekMessageW(&message, window, WM_DISPLAYCHANGE, WM_DISPLAYCHANGE, PM_REMOVE));
    EXPECT_EQ(message.hwnd, window);
    EXPECT_TRUE(win32::isDisplayChangeMessage(&message));
    ASSERT_TRUE(PeekMessageW(&message, window, WM_APP, WM_APP, PM_REMOVE));
    EXPECT_FALSE(win32::isDisplayChangeMessage(&message));
    DestroyWindow(window);
}
