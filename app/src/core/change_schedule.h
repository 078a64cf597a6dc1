#pragma once

#include "due_schedule.h"

#include <QTime>

// The automatic change schedule: the positions of the settings tab's
// frequency and unit lists turned into the countdown's interval.
namespace ChangeSchedule {

// The frequency list's position that stands for "only by hand", and the one
// that takes its interval from the custom value and unit.
constexpr int manualOnlyPosition = 0;
constexpr int customPosition = 7;
// "every day at": last in the list, so that stored positions keep their meaning.
constexpr int timeOfDayPosition = 8;
// The time field's value when none was stored.
inline QTime defaultTimeOfDay()
{
    return QTime(8, 0);
}

// The countdown's value for "never": no automatic change.
constexpr int neverSeconds = -1;

// Seconds between automatic changes for a frequency position; at the custom
// position, customValue times the unit's length (0 minutes, 1 hours, 2 days).
// Unknown positions give one hour. The result is neverSeconds or positive for
// custom values of 1 and more; 9999 days still fits an int.
int intervalSeconds(int frequencyPosition, int customValue, int customUnitPosition);

// The rule of the wall-clock schedule for the same choice; timeOfDay is read
// at the time-of-day position only.
DueSchedule::Rule rule(int frequencyPosition, int customValue, int customUnitPosition, const QTime& timeOfDay);

} // namespace ChangeSchedule
