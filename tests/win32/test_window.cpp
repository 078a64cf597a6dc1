#include "win32_window.h"

#include <gtest/gtest.h>
#include <windows.h>

TEST(Win32Window, NullHandleIsRefused)
{
    EXPECT_FALSE(win32::setForegroundWindow(nullptr));
}

TEST(Win32Window, OwnTopLevelWindowComesToFront)
{
    HWND window = CreateWindowExW(0, L"STATIC", L"velmora-test", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(window, nullptr);
    ShowWindow(window, SW_SHOW);
    EXPECT_TRUE(win32::setForegroundWindow(window));
    EXPECT_EQ(GetForegroundWindow(), window);
    DestroyWindow(window);
}
