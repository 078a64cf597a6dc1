#pragma once

#include <QDateTime>
#include <QString>

class QSettings;

// The user's pause of the schedule: for a while, until tomorrow or until
// resumed. A due change does not happen while it lasts; when it ends the
// schedule goes on. It is kept in the settings so that it outlasts a restart.
class UserPause
{
public:
    // Not paused.
    UserPause() = default;

    static UserPause forSeconds(const QDateTime& now, qint64 seconds);
    // Until the next local midnight.
    static UserPause untilTomorrow(const QDateTime& now);
    static UserPause untilResumed();

    // What the settings hold; a pause whose end has come, or a value this
    // program did not write, is no pause.
    static UserPause read(const QSettings& settings, const QDateTime& now);
    // Writes this pause, or removes the key when there is none.
    void write(QSettings& settings) const;

    bool isActive() const { return m_active; }
    bool isUntilResumed() const { return m_active && !m_until.isValid(); }
    // Its end in UTC; invalid when it lasts until resumed or there is no pause.
    QDateTime until() const { return m_until; }
    // Whether it still holds at that moment.
    bool holdsAt(const QDateTime& now) const { return m_active && (!m_until.isValid() || now < m_until); }
    // Milliseconds left until its end; -1 when it has none.
    qint64 msecsLeft(const QDateTime& now) const;

private:
    bool m_active = false;
    QDateTime m_until;
};
