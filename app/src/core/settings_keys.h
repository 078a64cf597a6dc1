#pragma once

#include <QString>

// Every key the program keeps in its settings (see openSettings()). The words
// are what files and registry branches already written hold: changing one
// loses the user's setting.
namespace SettingsKeys {
// The settings tab, saved whole by its save button.
inline constexpr QLatin1StringView Frequency{"frequency/combo"};
inline constexpr QLatin1StringView CustomValue{"frequency/customValue"};
inline constexpr QLatin1StringView CustomUnit{"frequency/customUnit"};
// "HH:mm", the time of the "every day at" item.
inline constexpr QLatin1StringView TimeOfDay{"frequency/timeOfDay"};
// Pause while a full-screen window is in front / on battery; change on unlock.
inline constexpr QLatin1StringView PauseFullScreen{"schedule/pauseFullScreen"};
inline constexpr QLatin1StringView PauseOnBattery{"schedule/pauseOnBattery"};
inline constexpr QLatin1StringView ChangeOnUnlock{"schedule/changeOnUnlock"};
inline constexpr QLatin1StringView Adjustment{"adjustment/mode"};
inline constexpr QLatin1StringView StartWithSystem{"system/startupToggle"};
inline constexpr QLatin1StringView ChangeOnStartup{"system/changeOnStartup"};
inline constexpr QLatin1StringView MultiScreen{"system/multiScreen"};
// The command run after each change; empty: none.
inline constexpr QLatin1StringView ChangeHook{"system/changeHook"};
// The language of the shown texts (LanguageSetting's words); written at once
// when chosen, never by the settings tab's save. Absent: as designed.
inline constexpr QLatin1StringView Language{"interface/language"};
// Written at once when the box is ticked, never by the settings tab's save.
inline constexpr QLatin1StringView DontShowMultiScreenWarning{"dontShowMultiScreenWarning"};
// The wall-clock moment of the next automatic change (ISO 8601, UTC), written
// whenever it moves, so that a restart keeps counting toward it.
inline constexpr QLatin1StringView NextChangeDue{"schedule/nextDue"};

// The user's pause of the schedule: its end in UTC (ISO 8601) or "untilResumed";
// absent when not paused.
inline constexpr QLatin1StringView PausedUntil{"control/pausedUntil"};
// The global key combination that changes the wallpaper (QKeySequence's
// portable text); empty or absent: none.
inline constexpr QLatin1StringView GlobalShortcut{"control/globalShortcut"};

// What each monitor shows, by its id inside this group: the file, and the
// category and date (dd/MM/yyyy) the service listed it under; the change
// logs name the file only.
inline constexpr QLatin1StringView CurrentPictureGroup{"currentPicture"};

// One value per category id inside this group.
inline constexpr QLatin1StringView CategoryRatingsGroup{"categoryRatings"};

// The recent pictures: one array "<prefix><screen index>" of ImagePath values
// inside this group.
inline constexpr QLatin1StringView ScreenHistoryGroup{"ScreenHistory"};
inline constexpr QLatin1StringView ScreenHistoryArrayPrefix{"Screen"};
inline constexpr QLatin1StringView ScreenHistoryImagePath{"imagePath"};
} // namespace SettingsKeys
