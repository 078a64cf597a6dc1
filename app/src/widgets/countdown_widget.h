#pragma once

#include "core/second_ticks.h"

#include <QString>
#include <QWidget>

class QTimer;

// The dial that shows the time left until the next automatic change, and the
// clock of that schedule: it counts down once a second and signals expiry.
// A duration of -1 shows the manual-only panel, 0 the next-start panel.
class CountdownWidget : public QWidget
{
    Q_OBJECT

public:
    explicit CountdownWidget(QWidget* parent = nullptr);

    // Restarts the count from the full interval; does not touch the pause flag.
    void setDuration(int seconds);
    void setRemainingTime(int seconds);
    void pauseCountdown();
    void resumeCountdown();
    bool isPaused() const;

    // While nothing can see the dial (the window is in the tray), it need not
    // wake each second: asleep, it keeps its count from the clock, in the
    // phase of its one-second tick, and wakes once on the tick that expires.
    // Waking brings the count up to date and ticks each second again.
    void setSleeping(bool sleeping);

    // Seconds until the next change; -1 while it is not counting (paused,
    // manual only, at the next start).
    int secondsUntilExpiry() const;

    // The full interval the dial counts down from (-1 manual only, 0 next start).
    int totalSeconds() const;

    // The text the widget shows now: a panel text, "PAUSE" or the time left.
    QString displayText() const;

    // "1h 0m", "2m 5s", "9s": hours hide the seconds; no zero padding.
    static QString formatRemaining(int seconds);
    // Share of the interval already gone: 0 when the total is not positive.
    static double elapsedFraction(int totalSeconds, int remainingSeconds);
    // Span of the elapsed sector in sixteenths of a degree; negative runs clockwise.
    static int sectorSpan(int totalSeconds, int remainingSeconds);

Q_SIGNALS:
    void countdownExpired();

protected:
    void paintEvent(QPaintEvent* event) override;

private Q_SLOTS:
    void updateCountdown();

private:
    void paintPanel(QPainter& painter, int bottomTrim, const QString& text);
    void paintDial(QPainter& painter);

    bool isCounting() const;
    // One tick of the count (expiry included) when counting.
    void tick();
    // Asleep: the ticks that have come by now, short of the one that expires,
    // which stays due until it is delivered as a tick of its own.
    int ticksBeforeExpiry() const;
    void catchUp();
    void scheduleExpiry();
    void onExpiryDue();

    int m_totalSeconds = 3600;
    int m_remainingSeconds = 3600;
    bool m_isStartupMode = false;
    bool m_isNeverMode = false;
    bool m_isPaused = false;
    QTimer* m_timer = nullptr;
    bool m_isSleeping = false;
    SecondTicks m_sleepTicks;
    // Asleep only: wakes the dial on the tick that expires.
    QTimer* m_expiryTimer = nullptr;
};
