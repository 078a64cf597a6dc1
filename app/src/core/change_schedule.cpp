#include "change_schedule.h"

#include <array>
#include <limits>

namespace ChangeSchedule {

namespace {

constexpr int defaultSeconds = 3600;

// By frequency position: manual only, 1 h, 3 h, 6 h, 12 h, 24 h, one week.
constexpr std::array<int, 7> fixedIntervals{neverSeconds, 3600, 10800, 21600, 43200, 86400, 604800};

// Seconds per unit: minutes, hours, days.
constexpr std::array<int, 3> unitSeconds{60, 3600, 86400};

} // namespace

int intervalSeconds(int frequencyPosition, int customValue, int customUnitPosition)
{
    if (frequencyPosition == timeOfDayPosition)
        return int(fixedIntervals[5]);
    if (frequencyPosition >= 0 && frequencyPosition < int(fixedIntervals.size()))
        return fixedIntervals[frequencyPosition];
    if (frequencyPosition != customPosition)
        return defaultSeconds;
    if (customUnitPosition < 0 || customUnitPosition >= int(unitSeconds.size()))
        return defaultSeconds;
    // The spin box keeps the value within 1..9999; anything else read from
    // elsewhere is held to what the dial can count.
    const long long seconds = static_cast<long long>(customValue) * unitSeconds[customUnitPosition];
    if (seconds < 1)
        return unitSeconds[customUnitPosition];
    if (seconds > std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    return int(seconds);
}

DueSchedule::Rule rule(int frequencyPosition, int customValue, int customUnitPosition, const QTime& timeOfDay)
{
    DueSchedule::Rule result;
    if (frequencyPosition == timeOfDayPosition) {
        result.kind = DueSchedule::Rule::Kind::TimeOfDay;
        result.timeOfDay = timeOfDay.isValid() ? timeOfDay : defaultTimeOfDay();
        return result;
    }
    const int seconds = intervalSeconds(frequencyPosition, customValue, customUnitPosition);
    if (seconds > 0) {
        result.kind = DueSchedule::Rule::Kind::Interval;
        result.intervalSeconds = seconds;
    }
    return result;
}

} // namespace ChangeSchedule
