#include "modern_window.h"

#include "widgets/countdown_widget.h"

#include <QTimer>

#include <algorithm>
#include <limits>

void ModernWindow::showEvent(QShowEvent* event)
{
    leaveTray();
    QWidget::showEvent(event);
}

void ModernWindow::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    enterTray();
}

void ModernWindow::enterTray()
{
    if (inTray)
        return;
    inTray = true;
    countdownWidget->setSleeping(true);
    sleepRetryCountdown();
}

void ModernWindow::leaveTray()
{
    if (!inTray)
        return;
    inTray = false;
    countdownWidget->setSleeping(false);
    if (!retryWakeTimer || !retryWakeTimer->isActive())
        return;
    retryWakeTimer->stop();
    catchUpRetryCountdown();
    updateErrorAlertMessage();
    // The next tick comes when it would have come; onRetryTimerTick goes back to whole seconds.
    retryTimer->start(retryTicks.untilNext(SecondTicks::now()));
}

void ModernWindow::sleepRetryCountdown()
{
    if (!inTray || !retryTimer->isActive())
        return;
    retryTicks.start(SecondTicks::now() + retryTimer->remainingTime());
    retryTimer->stop();
    scheduleRetryWake();
}

void ModernWindow::catchUpRetryCountdown()
{
    // The last tick, which starts the retry, is left to come as a tick of its own.
    const int ticks = std::min(retryTicks.due(SecondTicks::now()), retryCountdownSeconds - 1);
    if (ticks <= 0)
        return;
    retryCountdownSeconds -= ticks;
    retryTicks.take(ticks);
}

void ModernWindow::scheduleRetryWake()
{
    if (!retryWakeTimer) {
        retryWakeTimer = new QTimer(this);
        retryWakeTimer->setObjectName(QStringLiteral("retryWakeTimer"));
        retryWakeTimer->setSingleShot(true);
        // Never early: the last tick must have come when it fires.
        retryWakeTimer->setTimerType(Qt::PreciseTimer);
        connect(retryWakeTimer, &QTimer::timeout, this, &ModernWindow::onRetryWakeDue);
    }
    const qint64 wait = retryTicks.moment(std::max(retryCountdownSeconds, 1)) - SecondTicks::now();
    retryWakeTimer->start(int(std::clamp<qint64>(wait, 0, std::numeric_limits<int>::max())));
}

void ModernWindow::onRetryWakeDue()
{
    catchUpRetryCountdown();
    const int due = retryTicks.due(SecondTicks::now());
    if (due == 0) {
        scheduleRetryWake();
        return;
    }
    // Ticks that came together are one late tick, as with a timer.
    retryTicks.take(due);
    onRetryTimerTick();
    if (retryCountdownSeconds > 0 && inTray && !retryWakeTimer->isActive())
        scheduleRetryWake();
}
