#include "test_main.h"

#include "core/second_ticks.h"
#include "utils/utils.h"
#include "widgets/countdown_widget.h"

#include <QFile>
#include <QImage>
#include <QMetaMethod>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTimer>

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

bool hasOrange(const QImage& image, const QRect& area)
{
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = image.pixel(x, y);
            if (c.red() > 200 && c.green() > 120 && c.green() < 180 && c.blue() < 60)
                return true;
        }
    }
    return false;
}

// Puts the information icon beside the executable (where the dial looks for
// it) for as long as the returned guard lives.
auto installInfoIcon()
{
    const QString target = getImagePath(QStringLiteral("info.png"));
    QFile::remove(target);
    const bool copied = QFile::copy(QStringLiteral(VELMORA_ASSETS_DIR "/info.png"), target);
    return std::make_pair(copied, qScopeGuard([target] { QFile::remove(target); }));
}

} // namespace

class PaintCounter : public QObject
{
public:
    explicit PaintCounter(int& paints) : m_paints(paints) {}
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++m_paints;
        return false;
    }

private:
    int& m_paints;
};

class TestCountdownWidget : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        // Each test decides whether the icon is there.
        QFile::remove(getImagePath(QStringLiteral("info.png")));
    }

    void metaObjectInterface()
    {
        const QMetaObject* meta = &CountdownWidget::staticMetaObject;
        QCOMPARE(meta->methodCount() - meta->methodOffset(), 2);
        const QMetaMethod signal = meta->method(meta->methodOffset());
        QCOMPARE(signal.methodSignature(), QByteArray("countdownExpired()"));
        QCOMPARE(signal.methodType(), QMetaMethod::Signal);
        const QMetaMethod slot = meta->method(meta->methodOffset() + 1);
        QCOMPARE(slot.methodSignature(), QByteArray("updateCountdown()"));
        QCOMPARE(slot.methodType(), QMetaMethod::Slot);
        QCOMPARE(slot.access(), QMetaMethod::Private);
    }

    void freshWidgetShowsOneHourWithoutSector()
    {
        CountdownWidget widget;
        QCOMPARE(widget.minimumSize(), QSize(240, 200));
        QCOMPARE(widget.maximumSize(), QSize(240, 200));
        QCOMPARE(widget.displayText(), QStringLiteral("1h 0m"));
        QVERIFY(!widget.isPaused());

        auto* timer = widget.findChild<QTimer*>();
        QVERIFY(timer);
        QVERIFY(timer->isActive());
        QCOMPARE(timer->interval(), 1000);
        QVERIFY(!timer->isSingleShot());

        const QImage image = render(widget);
        QCOMPARE(at(image, kCentre + QPoint(0, -60)), kDialColour);
        QCOMPARE(at(image, kCentre + QPoint(40, 40)), kDialColour);
    }

    void countsDownThenExpiresAndRestarts()
    {
        CountdownWidget widget;
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

        tick(widget, 5);
        QCOMPARE(widget.displayText(), QStringLiteral("0s"));
        QCOMPARE(spy.count(), 1);
        tick(widget);
        QCOMPARE(spy.count(), 2);
        QCOMPARE(widget.displayText(), QStringLiteral("5s"));
    }

    void setDurationRestartsTheInterval()
    {
        CountdownWidget widget;
        widget.setDuration(10);
        tick(widget, 4);
        QCOMPARE(widget.displayText(), QStringLiteral("6s"));
        widget.setDuration(10);
        QCOMPARE(widget.displayText(), QStringLiteral("10s"));
    }

    void formatsRemainingTime_data()
    {
        QTest::addColumn<int>("seconds");
        QTest::addColumn<QString>("text");
        QTest::newRow("one hour") << 3600 << "1h 0m";
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
        QTest::newRow("three quarters") << 3600 << 900 << -4320;
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

    void sectorGrowsClockwiseFromTwelve()
    {
        CountdownWidget widget;
        widget.setDuration(3600);
        widget.setRemainingTime(900); // three quarters gone: 12 o'clock round to 9
        const QImage image = render(widget);
        QCOMPARE(at(image, kCentre + QPoint(50, -30)), kSectorColour); // upper right
        QCOMPARE(at(image, kCentre + QPoint(50, 30)), kSectorColour);  // lower right
        QCOMPARE(at(image, kCentre + QPoint(-50, 30)), kSectorColour); // lower left
        QCOMPARE(at(image, kCentre + QPoint(-50, -30)), kDialColour);  // upper left
    }

    void pauseFreezesTheDial()
    {
        CountdownWidget widget;
        QSignalSpy spy(&widget, &CountdownWidget::countdownExpired);
        widget.setDuration(3600);
        widget.setRemainingTime(1800);
        widget.pauseCountdown();
        QVERIFY(widget.isPaused());
        QCOMPARE(widget.displayText(), QStringLiteral("PAUSE"));

        tick(widget, 3);
        QCOMPARE(spy.count(), 0);
        const QImage image = render(widget);
        // Half gone: the sector ends at 6 o'clock.
        QCOMPARE(at(image, kCentre + QPoint(50, -40)), kSectorColour);
        QCOMPARE(at(image, kCentre + QPoint(50, 40)), kSectorColour);
        QCOMPARE(at(image, kCentre + QPoint(-50, 40)), kDialColour);
        QCOMPARE(at(image, kCentre + QPoint(-50, -40)), kDialColour);
        QVERIFY(hasOrange(image, QRect(kCentre - QPoint(40, 15), kCentre + QPoint(40, 15))));

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
        QVERIFY(!hasOrange(render(widget), QRect(kCentre - QPoint(40, 15), kCentre + QPoint(40, 15))));
    }

    void panelModesIgnoreTicks_data()
    {
        QTest::addColumn<int>("duration");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("panelBottom");
        QTest::newRow("never") << -1 << "Только ручная смена обоев" << 79;
        QTest::newRow("startup") << 0 << "Смена обоев при следующей перезагрузке компьютера" << 99;
    }

    void panelModesIgnoreTicks()
    {
        QFETCH(int, duration);
        QFETCH(QString, text);
        QFETCH(int, panelBottom);

        CountdownWidget widget;
        QSignalSpy spy(&widget, &CountdownWidget::countdownExpired);
        widget.setDuration(duration);
        QCOMPARE(widget.displayText(), text);
        tick(widget, 10);
        QCOMPARE(spy.count(), 0);
        QCOMPARE(widget.displayText(), text);

        const QImage image = render(widget);
        const QColor background = at(image, QPoint(120, 5));
        // The panel spans rows 15 to panelBottom; its fill differs from the background.
        QVERIFY(at(image, QPoint(120, 40)) != background);
        QVERIFY(at(image, QPoint(120, panelBottom - 4)) != background);
        QCOMPARE(at(image, QPoint(120, panelBottom + 3)), background);
        // No dial underneath.
        QCOMPARE(at(image, QPoint(119, 170)), background);

        // Pausing a panel mode shows no "PAUSE" either.
        widget.pauseCountdown();
        QCOMPARE(widget.displayText(), text);

        // A real duration brings the dial back.
        widget.resumeCountdown();
        widget.setDuration(60);
        QCOMPARE(widget.displayText(), QStringLiteral("1m 0s"));
        QCOMPARE(at(render(widget), QPoint(119, 170)), kDialColour);
    }

    void panelShowsInfoIconOrFallbackGlyph_data()
    {
        QTest::addColumn<int>("duration");
        QTest::addColumn<QRect>("iconRect");
        QTest::newRow("never") << -1 << QRect(15, 31, 32, 32);
        QTest::newRow("startup") << 0 << QRect(15, 41, 32, 32);
    }

    void panelShowsInfoIconOrFallbackGlyph()
    {
        QFETCH(int, duration);
        QFETCH(QRect, iconRect);

        CountdownWidget widget;
        widget.setDuration(duration);
        const QImage withoutIcon = render(widget);
        QImage withIcon;
        {
            auto [copied, guard] = installInfoIcon();
            QVERIFY(copied);
            withIcon = render(widget);
        }

        // The icon: a blue disc with a white "i" in the middle of its rectangle.
        const QPoint centre = iconRect.center();
        QCOMPARE(at(withIcon, centre + QPoint(1, 1)), QColor(Qt::white));
        const QColor ring = at(withIcon, QPoint(iconRect.left() + 4, centre.y()));
        QVERIFY(ring.blue() > 200 && ring.red() < 80);

        // Without it something else (the glyph) is drawn in that rectangle,
        // while the rest of the panel stays the same.
        const QColor panelFill = at(withoutIcon, QPoint(iconRect.left() - 8, centre.y()));
        bool glyphDrawn = false;
        for (int y = iconRect.top(); y <= iconRect.bottom(); ++y) {
            for (int x = iconRect.left(); x <= iconRect.right(); ++x)
                glyphDrawn |= at(withoutIcon, QPoint(x, y)) != panelFill;
        }
        QVERIFY(glyphDrawn);
        QVERIFY(withIcon.copy(iconRect) != withoutIcon.copy(iconRect));
        QCOMPARE(withIcon.copy(QRect(60, 0, 180, 200)), withoutIcon.copy(QRect(60, 0, 180, 200)));
    }

    void invalidDurationIsIgnored()
    {
        CountdownWidget widget;
        QSignalSpy spy(&widget, &CountdownWidget::countdownExpired);
        widget.setDuration(10);
        widget.setDuration(-5);
        QCOMPARE(widget.displayText(), QStringLiteral("10s"));
        tick(widget, 3);
        QCOMPARE(widget.displayText(), QStringLiteral("7s"));
        QCOMPARE(spy.count(), 0);
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
        QCOMPARE(widget.displayText(), QStringLiteral("0s"));
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
