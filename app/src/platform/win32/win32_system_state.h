#pragma once

// What Windows tells the change schedule, free of Qt types so that it builds
// and is tested on its own with mingw-w64 under wine.
namespace win32 {

enum class SystemEvent {
    None,
    // WM_POWERBROADCAST PBT_APMRESUMEAUTOMATIC: back from sleep or hibernation.
    Resumed,
    // WM_TIMECHANGE: the clock or the time zone was set.
    ClockChanged,
    // WM_WTSSESSION_CHANGE WTS_SESSION_UNLOCK.
    Unlocked,
    // WM_POWERBROADCAST PBT_APMPOWERSTATUSCHANGE: mains or battery.
    PowerChanged,
};

// What the MSG at message announces; None for a null pointer.
SystemEvent systemEventOfMessage(const void* message);

// GetSystemPowerStatus: on battery only when it says the mains are off line
// (unknown counts as mains).
bool onBattery();

// SHQueryUserNotificationState: a full-screen program, a Direct3D game or
// presentation mode. A failed query counts as nothing in front.
bool fullScreenBusy();
// The same judgement on a QUERY_USER_NOTIFICATION_STATE value.
bool isBusyNotificationState(int state);

// The window the MSG at message went to; null for a null pointer.
void* windowOfMessage(const void* message);

// Unlock messages come to a window that asked for them (WTSRegisterSessionNotification).
bool watchSessionChanges(void* window);
void stopWatchingSessionChanges(void* window);

} // namespace win32
