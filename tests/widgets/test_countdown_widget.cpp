#include "test_main.h"

#include "core/second_ticks.h"
#include "utils/utils.h"
#include "widgets/countdown_widget.h"

#include <QFile>
#include <QImage>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTimer>

#include <functional>

namespace {

const QPoint kCentre(119, 99);

// The dial's clock while asleep, moved by hand.
qint64 fakeNowMs = 0;
const QColor kDialColour(0x40, 0x40, 0x40);
const QColor kSectorColour(0x00, 0x78, 0xd4);

// One second of the dial's clock, without waiting for it.
void tick(CountdownWidget& widget, int times = 1)
{
    for (int i = 0; i < times; ++i)
        QVERIFY(QMetaObject::invokeMethod(&widget, "updateCountdown"));
}

QImage render(CountdownWidget& widget)
{
    return widget.grab().toImage();
}

QColor at(const QImage& image, QPoint point)
{
    return QColor(image.pixel(point));
}

bool anyPixel(const QImage& image, const QRect& area, const std::function<bool(QColor)>& matches)
{
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (matches(image.pixel(x, y)))
                return true;
        }
    }
    return false;
}

// The orange "PAUSE" text in the middle of the dial.
bool showsPause(const QImage& image)
{
    return anyPixel(image, QRect(kCentre - QPoint(40, 15), kCentre + QPoint(40, 15)),
                    [](QColor c) { return c.red() > 200 && c.green() > 120 && c.green() < 180 && c.blue() < 60; });
}

} // namespace

class TestCountdownWidget : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        // Each test decides whether the icon is there.
        QFile::remove(getImagePath(QStringLiteral("info.png")));
    }

    void freshDialRunsAnHourThenCountsDownExpiresAndRestarts()
    {
        CountdownWidget widget;
        QCOMPARE(widget.displayText(), QStringLiteral("1h 0m"));
        QVERIFY(!widget.isPaused() && widget.findChild<QTimer*>()->isActive());
        QCOMPARE(at(render(widget), kCentre + QPoint(40, 40)), kDialColour); // no sector yet

        QSignalSpy spy(&widget, &CountdownWidget::countdownExpired);
        widget.setDuration(5);

        QStringList shown{widget.displayText()};
        for (int i = 0; i < 5; ++i) {
            tick(widget);
            shown << widget.displayText();
        }
        QCOMPARE(shown, (QStringList{"5s", "4s", "3s", "2s", "1s", "0s"}));
        QCOMPARE(spy.count(), 0);

        // The tick after the one that reached 0 expires and starts over.
        tick(widget);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(widget.displayText(), QStringLiteral("5s"));

        tick(widget, 6);
        QCOMPARE(spy.count(), 2);
        QCOMPARE(widget.displayText(), QStringLiteral("5s"));
    }

    void setDurationRestartsAndIgnoresInvalidOnes()
    {
        CountdownWidget widget;
        QSignalSpy spy(&widget, &CountdownWidget::countdownExpired);
        widget.setDuration(10);
        tick(widget, 4);
        QCOMPARE(widget.displayText(), QStringLiteral("6s"));
        widget.setDuration(10);
        QCOMPARE(widget.displayText(), QStringLiteral("10s"));
        widget.setDuration(-5);
        tick(widget, 3);
        QCOMPARE(widget.displayText(), QStringLiteral("7s"));
        QCOMPARE(spy.count(), 0);
    }

    void formatsRemainingTime_data()
    {
        QTest::addColumn<int>("seconds");
        QTest::addColumn<QString>("text");
        QTest::newRow("hours hide seconds") << 86399 << "23h 59m";
        QTest::newRow("a week") << 604800 << "168h 0m";
        QTest::newRow("minutes") << 125 << "2m 5s";
        QTest::newRow("whole minute") << 60 << "1m 0s";
        QTest::newRow("just under an hour") << 3599 << "59m 59s";
        QTest::newRow("seconds") << 9 << "9s";
        QTest::newRow("zero") << 0 << "0s";
    }

    void formatsRemainingTime()
    {
        QFETCH(int, seconds);
        QFETCH(QString, text);
        QCOMPARE(CountdownWidget::formatRemaining(seconds), text);
    }

    void sectorSpanInSixteenths_data()
    {
        QTest::addColumn<int>("total");
        QTest::addColumn<int>("remaining");
        QTest::addColumn<int>("span");
        QTest::newRow("nothing elapsed") << 3600 << 3600 << 0;
        QTest::newRow("one second of an hour") << 3600 << 3599 << -1;
        QTest::newRow("half") << 3600 << 1800 << -2880;
        QTest::newRow("all") << 5 << 0 << -5760;
        QTest::newRow("truncated") << 7 << 4 << -2468;
        QTest::newRow("no total") << 0 << 0 << 0;
    }

    void sectorSpanInSixteenths()
    {
        QFETCH(int, total);
        QFETCH(int, remaining);
        QFETCH(int, span);
        QCOMPARE(CountdownWidget::sectorSpan(total, remaining), span);
    }

    void pauseFreezesTheDialWithItsSector()
    {
        CountdownWidget widget;
        QSignalSpy spy(&widget, &CountdownWidget::countdownExpired);
        widget.setDuration(3600);
        widget.setRemainingTime(1800);
        widget.pauseCountdown();
        QCOMPARE(widget.displayText(), QStringLiteral("PAUSE"));

        tick(widget, 3);
        const QImage image = render(widget);
        // Half gone: the sector runs clockwise from 12 to 6 o'clock.
        QCOMPARE(at(image, kCentre + QPoint(50, -40)), kSectorColour);
        QCOMPARE(at(image, kCentre + QPoint(50, 40)), kSectorColour);
        QCOMPARE(at(image, kCentre + QPoint(-50, 40)), kDialColour);
        QVERIFY(showsPause(image));

        // Setting a duration leaves the pause alone.
        widget.setDuration(10);
        QVERIFY(widget.isPaused());
        tick(widget, 20);
        QCOMPARE(spy.count(), 0);

        widget.resumeCountdown();
        QVERIFY(!widget.isPaused());
        QCOMPARE(widget.displayText(), QStringLiteral("10s"));
        tick(widget);
        QCOMPARE(widget.displayText(), QStringLiteral("9s"));
        QVERIFY(!showsPause(render(widget)));
    }

    void panelModesIgnoreTicksAndShowTheInfoIcon_data()
    {
        QTest::addColumn<int>("duration");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QRect>("iconRect");
        QTest::newRow("never") << -1 << "Только ручная смена обоев" << QRect(15, 31, 32, 32);
        QTest::newRow("startup") << 0 << "Смена обоев при следующей перезагрузке компьютера" << QRect(15, 41, 32, 32);
    }

    void panelModesIgnoreTicksAndShowTheInfoIcon()
    {
        QFETCH(int, duration);
        QFETCH(QString, text);
        QFETCH(QRect, iconRect);

        CountdownWidget widget;
        QSignalSpy spy(&widget, &CountdownWidget::countdownExpired);
        widget.setDuration(duration);
        QCOMPARE(widget.displayText(), text);
        tick(widget, 10);
        QCOMPARE(spy.count(), 0);
        QCOMPARE(widget.displayText(), text);

        const QImage image = render(widget);
        const QColor background = at(image, QPoint(120, 5));
        // A panel instead of the dial.
        QVERIFY(at(image, QPoint(120, 40)) != background);
        QCOMPARE(at(image, QPoint(119, 170)), background);

        // The icon: a blue disc with a white "i" in the middle of its rectangle.
        QImage withIcon;
        {
            // Beside the executable, where the dial looks for it.
            const QString target = getImagePath(QStringLiteral("info.png"));
            const auto remove = qScopeGuard([target] { QFile::remove(target); });
            QVERIFY(QFile::copy(QStringLiteral(VELMORA_ASSETS_DIR "/info.png"), target));
            withIcon = render(widget);
        }
        const QPoint centre = iconRect.center();
        QCOMPARE(at(withIcon, centre + QPoint(1, 1)), QColor(Qt::white));
        const QColor ring = at(withIcon, QPoint(iconRect.left() + 4, centre.y()));
        QVERIFY(ring.blue() > 200 && ring.red() < 80);
        // Without it something else (the glyph) is drawn in that rectangle,
        // while the rest of the panel stays the same.
        const QColor panelFill = at(image, QPoint(iconRect.left() - 8, centre.y()));
        QVERIFY(anyPixel(image, iconRect, [&](QColor c) { return c != panelFill; }));
        QVERIFY(withIcon.copy(iconRect) != image.copy(iconRect));
        QCOMPARE(withIcon.copy(QRect(60, 0, 180, 200)), image.copy(QRect(60, 0, 180, 200)));

        // Pausing a panel mode shows no "PAUSE" either.
        widget.pauseCountdown();
        QCOMPARE(widget.displayText(), text);

        // A real duration brings the dial back.
        widget.resumeCountdown();
        widget.setDuration(60);
        QCOMPARE(widget.displayText(), QStringLiteral("1m 0s"));
        QCOMPARE(at(render(widget), QPoint(119, 170)), kDialColour);
    }

    void asleepKeepsTheCountAndExpiresOnTheSameTick()
    {
        fakeNowMs = 1'000'000;
        SecondTicks::setClockForTests([] { return fakeNowMs; });
        const auto restore = qScopeGuard([] { SecondTicks::setClockForTests(nullptr); });
        CountdownWidget widget;
        QSignalSpy spy(&widget, &CountdownWidget::countdownExpired);
        widget.setDuration(5);
        auto* clock = widget.findChild<QTimer*>();
        widget.setSleeping(true);
        QVERIFY(!clock->isActive());

        // Two ticks came while asleep; then ten paused ones change nothing.
        fakeNowMs += 2500;
        QCOMPARE(widget.displayText(), QStringLiteral("3s"));
        widget.pauseCountdown();
        fakeNowMs += 10'000;
        widget.resumeCountdown();
        QCOMPARE(widget.displayText(), QStringLiteral("3s"));

        // Three ticks down to 0, and the fourth expires: the one wake-up of the sleep.
        QTimer* expiry = nullptr;
        for (QTimer* timer : widget.findChildren<QTimer*>())
            expiry = timer->isSingleShot() ? timer : expiry;
        QVERIFY(expiry && expiry->isActive());
        fakeNowMs += 3000;
        QVERIFY(QMetaObject::invokeMethod(expiry, "timeout"));
        QCOMPARE(spy.count(), 0);
        fakeNowMs += 1000;
        QVERIFY(QMetaObject::invokeMethod(expiry, "timeout"));
        QCOMPARE(spy.count(), 1);
        QCOMPARE(widget.displayText(), QStringLiteral("5s"));

        // Awake, it ticks each second again, in the same phase.
        fakeNowMs += 1200;
        widget.setSleeping(false);
        QCOMPARE(widget.displayText(), QStringLiteral("4s"));
        QVERIFY(clock->isActive() && clock->interval() <= 1000 && !expiry->isActive());
    }
};

VELMORA_TEST_MAIN(TestCountdownWidget)
#include "test_countdown_widget.moc"
