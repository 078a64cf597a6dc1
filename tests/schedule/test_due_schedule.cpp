#include "test_main.h"

#include "core/change_schedule.h"
#include "core/due_schedule.h"

#include <QScopeGuard>
#include <QTest>

namespace {

using Rule = DueSchedule::Rule;

QDateTime fakeNow;

QDateTime utc(const char* iso)
{
    return QDateTime::fromString(QString::fromLatin1(iso), Qt::ISODate).toUTC();
}

DueSchedule paris()
{
    return DueSchedule([] { return fakeNow; }, QTimeZone("Europe/Paris"));
}

Rule hourly()
{
    return ChangeSchedule::rule(1, 30, 0, {});
}

Rule at(int hour, int minute)
{
    return ChangeSchedule::rule(ChangeSchedule::timeOfDayPosition, 30, 0, QTime(hour, minute));
}

} // namespace

class TestDueSchedule : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        if (!QTimeZone("Europe/Paris").isValid())
            QSKIP("no time-zone data for Europe/Paris (Debian's tzdata)");
    }

    void restartKeepsTheMomentAndAPastOneIsDue()
    {
        fakeNow = utc("2026-06-01T10:00:00Z");
        DueSchedule schedule = paris();
        schedule.restore(hourly(), {});
        QCOMPARE(schedule.due(), utc("2026-06-01T11:00:00Z"));
        const QDateTime kept = schedule.due();

        fakeNow = utc("2026-06-01T10:40:00Z");
        DueSchedule restarted = paris();
        restarted.restore(hourly(), kept);
        QCOMPARE(restarted.msecsLeft(), 20 * 60 * 1000);
        QCOMPARE(restarted.periodSeconds(), 3600);
        QVERIFY(!restarted.isDue());

        fakeNow = utc("2026-06-02T09:00:00Z");
        DueSchedule late = paris();
        late.restore(hourly(), kept);
        QVERIFY(late.shouldChangeNow());
        QCOMPARE(late.msecsLeft(), 0);
        // The change that starts counts the next period from now, not from the old moment.
        late.changeStarted();
        QCOMPARE(late.due(), utc("2026-06-02T10:00:00Z"));
    }

    void aMomentTheRuleCannotHaveMadeIsCountedAfresh()
    {
        fakeNow = utc("2026-06-01T10:00:00Z");
        DueSchedule schedule = paris();
        // Left by a weekly rule, or by a clock that was set back.
        schedule.restore(hourly(), utc("2026-06-05T10:00:00Z"));
        QCOMPARE(schedule.due(), utc("2026-06-01T11:00:00Z"));
        // Manual only has no moment.
        schedule.restore(ChangeSchedule::rule(ChangeSchedule::manualOnlyPosition, 30, 0, {}), utc("2026-06-01T11:00Z"));
        QVERIFY(!schedule.due().isValid() && !schedule.isDue());
        QCOMPARE(schedule.msecsLeft(), -1);
    }

    void aDialEndingAroundTheMomentDoesNotDrift()
    {
        fakeNow = utc("2026-06-01T07:00:00Z");
        DueSchedule schedule = paris();
        schedule.setRule(at(9, 0)); // 07:00 UTC is 09:00 in Paris in summer: tomorrow
        QCOMPARE(schedule.due(), utc("2026-06-02T07:00:00Z"));
        for (const int offset : {-1, 1}) {
            fakeNow = schedule.due().addSecs(offset);
            const QDateTime next = schedule.due().addDays(1);
            schedule.changeStarted();
            QCOMPARE(schedule.due(), next);
        }
    }

    void timeOfDay_data()
    {
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<QTime>("time");
        QTest::addColumn<QDateTime>("first");
        QTest::addColumn<QDateTime>("second");
        // 23:30 in Paris (CET) toward 00:15: across midnight, 45 minutes.
        QTest::newRow("across midnight") << utc("2026-01-10T22:30:00Z") << QTime(0, 15) << utc("2026-01-10T23:15:00Z")
                                         << utc("2026-01-11T23:15:00Z");
        QTest::newRow("the minute itself is tomorrow")
            << utc("2026-01-10T07:00:00Z") << QTime(8, 0) << utc("2026-01-11T07:00:00Z") << utc("2026-01-12T07:00:00Z");
        // 29 March: 02:00 CET becomes 03:00 CEST; 02:30 does not exist that day.
        QTest::newRow("skipped by spring forward") << utc("2026-03-28T11:00:00Z") << QTime(2, 30)
                                                   << utc("2026-03-29T01:00:00Z") << utc("2026-03-30T00:30:00Z");
        QTest::newRow("morning after spring forward")
            << utc("2026-03-28T11:00:00Z") << QTime(8, 0) << utc("2026-03-29T06:00:00Z") << utc("2026-03-30T06:00:00Z");
        // 25 October: 03:00 CEST becomes 02:00 CET; 02:30 happens twice, changes once.
        QTest::newRow("twice by fall back") << utc("2026-10-24T11:00:00Z") << QTime(2, 30)
                                            << utc("2026-10-25T00:30:00Z") << utc("2026-10-26T01:30:00Z");
    }

    void timeOfDay()
    {
        QFETCH(QDateTime, now);
        QFETCH(QTime, time);
        QFETCH(QDateTime, first);
        QFETCH(QDateTime, second);
        fakeNow = now;
        DueSchedule schedule = paris();
        schedule.setRule(at(time.hour(), time.minute()));
        QCOMPARE(schedule.due(), first);
        fakeNow = first;
        QVERIFY(schedule.shouldChangeNow());
        schedule.changeStarted();
        QCOMPARE(schedule.due(), second);
    }

    void aTimeOfDayFollowsTheZoneTheComputerMovesTo()
    {
        const QByteArray zone = qgetenv("TZ");
        const auto restore = qScopeGuard([&] { qputenv("TZ", zone); });
        qputenv("TZ", "Europe/Paris");
        fakeNow = utc("2026-06-01T05:00:00Z");
        DueSchedule schedule([] { return fakeNow; });
        schedule.setRule(at(8, 0));
        QCOMPARE(schedule.due(), utc("2026-06-01T06:00:00Z"));
        qputenv("TZ", "Europe/London");
        schedule.clockChanged();
        QCOMPARE(schedule.due(), utc("2026-06-01T07:00:00Z"));
    }

    void holdsComposeAndReleaseADueChange()
    {
        fakeNow = utc("2026-06-01T10:00:00Z");
        DueSchedule schedule = paris();
        schedule.setRule(hourly());
        schedule.setHeld(DueSchedule::Hold::OnBattery, true);
        schedule.setHeld(DueSchedule::Hold::FullScreen, true);
        fakeNow = fakeNow.addSecs(7200);
        QVERIFY(schedule.isDue() && !schedule.shouldChangeNow());
        schedule.setHeld(DueSchedule::Hold::OnBattery, false);
        QVERIFY(!schedule.shouldChangeNow());
        schedule.setHeld(DueSchedule::Hold::FullScreen, false);
        QVERIFY(schedule.shouldChangeNow());
    }
};

VELMORA_TEST_MAIN(TestDueSchedule)
#include "test_due_schedule.moc"
