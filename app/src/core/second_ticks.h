#pragma once

#include <QtGlobal>

// The ticks of a free-running one-second timer, kept from the monotonic clock
// rather than by a timer that wakes the program every second. A count that
// nobody sees (the window is in the tray) takes its ticks when it is next
// looked at, in the same phase the timer had, and needs one wake-up only for
// the tick on which something happens.
class SecondTicks
{
public:
    static constexpr int kTickMs = 1000;

    // Milliseconds on the monotonic clock. Tests may put a clock of their own
    // in its place (nullptr restores the system's).
    static qint64 now();
    static void setClockForTests(qint64 (*clock)());

    // The next tick comes at nextTickMs.
    void start(qint64 nextTickMs) { m_nextTickMs = nextTickMs; }
    // Ticks whose moment has come by nowMs and that were not taken yet.
    int due(qint64 nowMs) const;
    // Takes that many ticks: the next one comes that many seconds later.
    void take(int ticks) { m_nextTickMs += qint64(ticks) * kTickMs; }
    // The moment of the n-th tick still to come (1 is the next one).
    qint64 moment(int n) const { return m_nextTickMs + qint64(n - 1) * kTickMs; }
    // Milliseconds from nowMs to the next tick; 0 when it is already due.
    int untilNext(qint64 nowMs) const;

private:
    qint64 m_nextTickMs = 0;
};
