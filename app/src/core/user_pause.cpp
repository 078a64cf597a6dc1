#include "user_pause.h"

#include "core/settings_keys.h"

#include <QSettings>

#include <algorithm>

namespace {
const QLatin1StringView kUntilResumed("untilResumed");
} // namespace

UserPause UserPause::forSeconds(const QDateTime& now, qint64 seconds)
{
    UserPause pause;
    pause.m_active = seconds > 0;
    if (pause.m_active)
        pause.m_until = now.toUTC().addSecs(seconds);
    return pause;
}

UserPause UserPause::untilTomorrow(const QDateTime& now)
{
    const QDateTime local = now.toLocalTime();
    UserPause pause;
    pause.m_active = true;
    pause.m_until = QDateTime(local.date().addDays(1), QTime(0, 0)).toUTC();
    return pause;
}

UserPause UserPause::untilResumed()
{
    UserPause pause;
    pause.m_active = true;
    return pause;
}

UserPause UserPause::read(const QSettings& settings, const QDateTime& now)
{
    const QString value = settings.value(SettingsKeys::PausedUntil).toString();
    if (value.isEmpty())
        return {};
    if (value == kUntilResumed)
        return untilResumed();
    UserPause pause;
    pause.m_until = QDateTime::fromString(value, Qt::ISODate);
    pause.m_active = pause.m_until.isValid() && now < pause.m_until;
    if (!pause.m_active)
        pause.m_until = {};
    return pause;
}

void UserPause::write(QSettings& settings) const
{
    if (!m_active)
        settings.remove(SettingsKeys::PausedUntil);
    else if (!m_until.isValid())
        settings.setValue(SettingsKeys::PausedUntil, QString(kUntilResumed));
    else
        settings.setValue(SettingsKeys::PausedUntil, m_until.toUTC().toString(Qt::ISODate));
}

qint64 UserPause::msecsLeft(const QDateTime& now) const
{
    if (!m_active || !m_until.isValid())
        return -1;
    return std::max<qint64>(0, now.msecsTo(m_until));
}
