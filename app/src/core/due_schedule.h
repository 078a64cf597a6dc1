#pragma once

#include <QDateTime>
#include <QTime>
#include <QTimeZone>

#include <functional>

// The moment of the next automatic change, on the wall clock, and what holds
// it back. Window-free: the window feeds it the rule, the clock and the
// conditions, asks whether a change should start now, and arms one timer for
// msecsLeft().
class DueSchedule
{
public:
    // What the settings tab chose.
    struct Rule
    {
        enum class Kind { Manual, Interval, TimeOfDay };
        Kind kind = Kind::Manual;
        qint64 intervalSeconds = 0; // Interval only, > 0
        QTime timeOfDay;            // TimeOfDay only, local time in the schedule's zone

        bool operator==(const Rule&) const = default;
        bool isTimed() const { return kind == Kind::Interval || kind == Kind::TimeOfDay; }
    };

    // Why a due change waits. Each is a bit: another reason is one more line.
    enum class Hold : unsigned {
        FullScreen = 1u << 0,
        OnBattery = 1u << 1,
        NoScreenSelected = 1u << 2,
        // The user's pause from the tray or the command line.
        User = 1u << 3,
    };

    using Clock = std::function<QDateTime()>;

    // clock: the wall clock (the system's when empty); zone: where a time of
    // day is read (the system's zone of the moment when invalid).
    explicit DueSchedule(Clock clock = {}, QTimeZone zone = {});

    QDateTime now() const;

    // The next moment after `from` by rule; invalid for untimed rules.
    // A time of day that the clocks skip that day (spring forward) falls on
    // the first moment after the gap; one that happens twice counts once.
    QDateTime nextAfter(const Rule& rule, const QDateTime& from) const;

    const Rule& rule() const { return m_rule; }
    QDateTime due() const { return m_due; }

    // A new rule counts from now.
    void setRule(const Rule& rule);
    // The rule and the moment kept from the last run. A moment that does not
    // fit the rule (none, or further away than one whole period from now)
    // is counted afresh from now.
    void restore(const Rule& rule, const QDateTime& storedDue);
    // An automatic change has started: the next one counts from now.
    void changeStarted();
    // The wall clock or the time zone was set: the moment is found again from
    // the start of the period (a time of day is read in the zone now in
    // force), and counted afresh if it lies beyond one period from now.
    void clockChanged();

    bool isDue() const { return m_due.isValid() && now() >= m_due; }
    // Milliseconds to the due moment: 0 when due, -1 when there is none.
    qint64 msecsLeft() const;
    // Length of the period that ends at the due moment, for the dial.
    qint64 periodSeconds() const;

    void setHeld(Hold reason, bool held);
    bool isHeld() const { return m_holds != 0; }
    bool isHeldBy(Hold reason) const { return (m_holds & unsigned(reason)) != 0; }
    // A change should start now: due and nothing holds it.
    bool shouldChangeNow() const { return isDue() && !isHeld(); }

private:
    static constexpr int kEarlySeconds = 2;
    QDateTime at(const QDate& date, const QTime& time) const;
    QTimeZone zone() const;

    Clock m_clock;
    QTimeZone m_zone;
    Rule m_rule;
    QDateTime m_due;
    QDateTime m_periodStart;
    unsigned m_holds = 0;
};
