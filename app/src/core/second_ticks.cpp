#include "second_ticks.h"

#include <QElapsedTimer>

#include <algorithm>
#include <limits>

namespace {
qint64 (*testClock)() = nullptr;
}

qint64 SecondTicks::now()
{
    if (testClock)
        return testClock();
    // Monotonic on every platform we build for; the reference point does not matter.
    QElapsedTimer clock;
    clock.start();
    return clock.msecsSinceReference();
}

void SecondTicks::setClockForTests(qint64 (*clock)())
{
    testClock = clock;
}

int SecondTicks::due(qint64 nowMs) const
{
    if (nowMs < m_nextTickMs)
        return 0;
    const qint64 ticks = (nowMs - m_nextTickMs) / kTickMs + 1;
    return int(std::min<qint64>(ticks, std::numeric_limits<int>::max()));
}

int SecondTicks::untilNext(qint64 nowMs) const
{
    return int(std::clamp<qint64>(m_nextTickMs - nowMs, 0, kTickMs));
}
