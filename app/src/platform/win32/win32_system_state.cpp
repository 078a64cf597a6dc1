#include "win32_system_state.h"

#include <windows.h>

#include <shellapi.h>
#include <wtsapi32.h>

namespace win32 {

SystemEvent systemEventOfMessage(const void* message)
{
    if (!message)
        return SystemEvent::None;
    const MSG& msg = *static_cast<const MSG*>(message);
    switch (msg.message) {
    case WM_POWERBROADCAST:
        // PBT_APMRESUMESUSPEND follows it only when a user is at the keys:
        // the automatic one always comes, and comes once.
        if (msg.wParam == PBT_APMRESUMEAUTOMATIC)
            return SystemEvent::Resumed;
        if (msg.wParam == PBT_APMPOWERSTATUSCHANGE)
            return SystemEvent::PowerChanged;
        return SystemEvent::None;
    case WM_TIMECHANGE:
        return SystemEvent::ClockChanged;
    case WM_WTSSESSION_CHANGE:
        return msg.wParam == WTS_SESSION_UNLOCK ? SystemEvent::Unlocked : SystemEvent::None;
    default:
        return SystemEvent::None;
    }
}

bool onBattery()
{
    SYSTEM_POWER_STATUS status{};
    return GetSystemPowerStatus(&status) && status.ACLineStatus == 0;
}

bool isBusyNotificationState(int state)
{
    return state == QUNS_BUSY || state == QUNS_RUNNING_D3D_FULL_SCREEN || state == QUNS_PRESENTATION_MODE;
}

bool fullScreenBusy()
{
    QUERY_USER_NOTIFICATION_STATE state{};
    return SUCCEEDED(SHQueryUserNotificationState(&state)) && isBusyNotificationState(int(state));
}

void* windowOfMessage(const void* message)
{
    return message ? static_cast<const MSG*>(message)->hwnd : nullptr;
}

bool watchSessionChanges(void* window)
{
    return window && WTSRegisterSessionNotification(static_cast<HWND>(window), NOTIFY_FOR_THIS_SESSION);
}

void stopWatchingSessionChanges(void* window)
{
    if (window)
        WTSUnRegisterSessionNotification(static_cast<HWND>(window));
}

} // namespace win32
