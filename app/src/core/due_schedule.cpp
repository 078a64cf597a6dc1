#include "due_schedule.h"

#include <algorithm>
#include <cstdlib>

DueSchedule::DueSchedule(Clock clock, QTimeZone zone) : m_clock(std::move(clock)), m_zone(std::move(zone)) {}

QTimeZone DueSchedule::zone() const
{
    // Asked each time: the user may move the computer to another zone.
    return m_zone.isValid() ? m_zone : QTimeZone::systemTimeZone();
}

QDateTime DueSchedule::now() const
{
    return m_clock ? m_clock() : QDateTime::currentDateTimeUtc();
}

QDateTime DueSchedule::at(const QDate& date, const QTime& time) const
{
    const QTimeZone zone = this->zone();
    const QDateTime local(date, time, zone);
    if (local.isValid() && local.date() == date && local.time() == time) {
        // Shown twice when the clocks go back: the first time counts.
        const QDateTime hourBefore = local.addSecs(-3600).toTimeZone(zone);
        return hourBefore.date() == date && hourBefore.time() == time ? hourBefore : local;
    }
    // Skipped by a clock going forward: the first moment after the gap.
    const QTimeZone::OffsetData transition = zone.nextTransition(QDateTime(date, QTime(0, 0), zone));
    if (transition.atUtc.isValid() && transition.atUtc.toTimeZone(zone).date() == date)
        return transition.atUtc;
    return local;
}

QDateTime DueSchedule::nextAfter(const Rule& rule, const QDateTime& from) const
{
    switch (rule.kind) {
    case Rule::Kind::Interval:
        return rule.intervalSeconds > 0 ? from.addSecs(rule.intervalSeconds).toUTC() : QDateTime();
    case Rule::Kind::TimeOfDay: {
        if (!rule.timeOfDay.isValid())
            return {};
        const QDateTime local = from.toTimeZone(zone());
        // Reading the local date and time, not comparing moments, keeps an
        // hour that happens twice from giving two changes on one day.
        QDate date = local.date();
        if (local.time() >= rule.timeOfDay)
            date = date.addDays(1);
        QDateTime next = at(date, rule.timeOfDay);
        if (next <= from)
            next = at(date.addDays(1), rule.timeOfDay);
        return next.toUTC();
    }
    case Rule::Kind::Manual:
        break;
    }
    return {};
}

void DueSchedule::setRule(const Rule& rule)
{
    m_rule = rule;
    changeStarted();
}

void DueSchedule::restore(const Rule& rule, const QDateTime& storedDue)
{
    m_rule = rule;
    const QDateTime current = now();
    const QDateTime fresh = nextAfter(rule, current);
    // A stored moment beyond a whole period from now was not made by this
    // rule (or the clock was set back far): count afresh.
    if (!storedDue.isValid() || !fresh.isValid() || storedDue > fresh) {
        m_periodStart = current;
        m_due = fresh;
        return;
    }
    m_due = storedDue.toUTC();
    m_periodStart = rule.kind == Rule::Kind::Interval ? m_due.addSecs(-rule.intervalSeconds) : m_due.addDays(-1);
}

void DueSchedule::changeStarted()
{
    const QDateTime current = now();
    // The dial counts by its own ticks and ends a moment before or after the
    // wall clock's due moment: the next period starts at that moment, so that
    // periods do not drift and a time of day does not come round again.
    const bool endingNow = m_due.isValid() && std::abs(current.secsTo(m_due)) <= kEarlySeconds;
    m_periodStart = endingNow ? m_due : current;
    m_due = nextAfter(m_rule, m_periodStart);
}

void DueSchedule::clockChanged()
{
    const QDateTime found = m_periodStart.isValid() ? nextAfter(m_rule, m_periodStart) : QDateTime();
    restore(m_rule, found.isValid() ? found : m_due);
}

qint64 DueSchedule::msecsLeft() const
{
    if (!m_due.isValid())
        return -1;
    return std::max<qint64>(0, now().msecsTo(m_due));
}

qint64 DueSchedule::periodSeconds() const
{
    if (!m_due.isValid() || !m_periodStart.isValid())
        return 0;
    return std::max<qint64>(1, m_periodStart.secsTo(m_due));
}

void DueSchedule::setHeld(Hold reason, bool held)
{
    if (held)
        m_holds |= unsigned(reason);
    else
        m_holds &= ~unsigned(reason);
}
