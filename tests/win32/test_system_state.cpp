#include "win32_system_state.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <shellapi.h>
#include <wtsapi32.h>

// The messages as the window receives them, through its queue.
TEST(Win32SystemState, PowerTimeAndSessionMessages)
{
    EXPECT_EQ(win32::systemEventOfMessage(nullptr), win32::SystemEvent::None);
    HWND window = CreateWindowExW(0, L"STATIC", L"velmora-test", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(window, nullptr);
    struct Case
    {
        UINT id;
        WPARAM wParam;
        win32::SystemEvent expected;
    };
    for (const Case& c : {Case{WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, win32::SystemEvent::Resumed},
                          Case{WM_POWERBROADCAST, PBT_APMRESUMESUSPEND, win32::SystemEvent::None},
                          Case{WM_POWERBROADCAST, PBT_APMSUSPEND, win32::SystemEvent::None},
                          Case{WM_POWERBROADCAST, PBT_APMPOWERSTATUSCHANGE, win32::SystemEvent::PowerChanged},
                          Case{WM_TIMECHANGE, 0, win32::SystemEvent::ClockChanged},
                          Case{WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK, win32::SystemEvent::Unlocked},
                          Case{WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK, win32::SystemEvent::None},
                          Case{WM_DISPLAYCHANGE, 0, win32::SystemEvent::None}}) {
        ASSERT_TRUE(PostMessageW(window, c.id, c.wParam, 0)) << c.id;
        MSG message{};
        ASSERT_TRUE(PeekMessageW(&message, window, c.id, c.id, PM_REMOVE));
        EXPECT_EQ(win32::systemEventOfMessage(&message), c.expected) << c.id << " " << c.wParam;
    }
    EXPECT_TRUE(win32::watchSessionChanges(window));
    win32::stopWatchingSessionChanges(window);
    DestroyWindow(window);
}

TEST(Win32SystemState, BusyStatesHoldTheScheduleOthersDoNot)
{
    EXPECT_TRUE(win32::isBusyNotificationState(QUNS_BUSY));
    EXPECT_TRUE(win32::isBusyNotificationState(QUNS_RUNNING_D3D_FULL_SCREEN));
    EXPECT_TRUE(win32::isBusyNotificationState(QUNS_PRESENTATION_MODE));
    EXPECT_FALSE(win32::isBusyNotificationState(QUNS_ACCEPTS_NOTIFICATIONS));
    EXPECT_FALSE(win32::isBusyNotificationState(QUNS_QUIET_TIME));
    EXPECT_FALSE(win32::isBusyNotificationState(QUNS_NOT_PRESENT));
}

// The queries answer on the system they run on; the test machine has no
// battery and nothing full screen (a failed query must read the same way).
TEST(Win32SystemState, QueriesAnswerWithoutBatteryOrFullScreen)
{
    SYSTEM_POWER_STATUS status{};
    ASSERT_TRUE(GetSystemPowerStatus(&status));
    EXPECT_EQ(win32::onBattery(), status.ACLineStatus == 0);
    EXPECT_FALSE(win32::fullScreenBusy());
}
