#include "win32_display_change.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <utility>

// The messages as a window really receives them, through its queue.
TEST(Win32DisplayChange, DisplayAndDeviceChangesCountOthersDoNot)
{
    EXPECT_FALSE(win32::isDisplayChangeMessage(nullptr));
    HWND window = CreateWindowExW(0, L"STATIC", L"velmora-test", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(window, nullptr);
    for (const auto& [id, counts] : {std::pair<UINT, bool>{WM_DISPLAYCHANGE, true},
                                     {WM_DEVICECHANGE, true},
                                     {WM_MOVE, false},
                                     {WM_SIZE, false},
                                     {WM_APP, false}}) {
        ASSERT_TRUE(PostMessageW(window, id, 0, 0)) << id;
        MSG message{};
        ASSERT_TRUE(PeekMessageW(&message, window, id, id, PM_REMOVE));
        EXPECT_EQ(win32::isDisplayChangeMessage(&message), counts) << id;
    }
    DestroyWindow(window);
}
