#include "countdown_widget.h"

#include "focus_ring.h"

#include "utils/utils.h"

#include <QDebug>
#include <QPainter>
#include <QPixmap>
#include <QTimer>

#include <algorithm>
#include <limits>

namespace {
constexpr int kTickMs = 1000;
constexpr int kCircleSize = 160;

QString neverText()
{
    return CountdownWidget::tr("Только ручная смена обоев");
}

QString startupText()
{
    return CountdownWidget::tr("Смена обоев при следующей перезагрузке компьютера");
}
} // namespace

CountdownWidget::CountdownWidget(QWidget* parent) : QWidget(parent)
{
    setFixedSize(240, 200);
    // Reachable from the keyboard, so that a screen reader can read the time left.
    setFocusPolicy(Qt::StrongFocus);
    m_timer = new QTimer(this);
    connect(m_timer, &QTimer::timeout, this, &CountdownWidget::updateCountdown);
    m_timer->start(kTickMs);
}

void CountdownWidget::setDuration(int seconds)
{
    // Only -1 means "never"; any other negative length would expire on every
    // tick and start a change each second.
    if (seconds < -1) {
        qDebug() << "[ERROR] Durée du compte à rebours invalide ignorée:" << seconds;
        return;
    }
    catchUp();
    m_totalSeconds = seconds;
    m_remainingSeconds = seconds;
    m_isStartupMode = (seconds == 0);
    m_isNeverMode = (seconds == -1);
    scheduleExpiry();
    update();
}

void CountdownWidget::setRemainingTime(int seconds)
{
    catchUp();
    m_remainingSeconds = seconds;
    scheduleExpiry();
    update();
}

void CountdownWidget::pauseCountdown()
{
    catchUp();
    m_isPaused = true;
    scheduleExpiry();
    update();
}

void CountdownWidget::resumeCountdown()
{
    catchUp();
    m_isPaused = false;
    scheduleExpiry();
    update();
}

int CountdownWidget::totalSeconds() const
{
    return m_totalSeconds;
}

bool CountdownWidget::isPaused() const
{
    return m_isPaused;
}

QString CountdownWidget::displayText() const
{
    if (m_isNeverMode)
        return neverText();
    if (m_isStartupMode)
        return startupText();
    if (m_isPaused)
        return tr("PAUSE");
    return formatRemaining(m_remainingSeconds - ticksBeforeExpiry());
}

int CountdownWidget::secondsUntilExpiry() const
{
    return isCounting() ? std::max(0, m_remainingSeconds - ticksBeforeExpiry()) : -1;
}

QString CountdownWidget::formatRemaining(int seconds)
{
    const int h = seconds / 3600;
    const int m = (seconds % 3600) / 60;
    const int s = seconds % 60;
    if (h > 0)
        return QStringLiteral("%1h %2m").arg(h).arg(m);
    if (m > 0)
        return QStringLiteral("%1m %2s").arg(m).arg(s);
    return QStringLiteral("%1s").arg(s);
}

double CountdownWidget::elapsedFraction(int totalSeconds, int remainingSeconds)
{
    return totalSeconds > 0 ? double(totalSeconds - remainingSeconds) / totalSeconds : 0.0;
}

int CountdownWidget::sectorSpan(int totalSeconds, int remainingSeconds)
{
    return -int(elapsedFraction(totalSeconds, remainingSeconds) * 360 * 16);
}

void CountdownWidget::setSleeping(bool sleeping)
{
    if (sleeping == m_isSleeping)
        return;
    const qint64 now = SecondTicks::now();
    if (sleeping) {
        m_sleepTicks.start(now + (m_timer->isActive() ? m_timer->remainingTime() : kTickMs));
        m_timer->stop();
        m_isSleeping = true;
        scheduleExpiry();
        return;
    }
    catchUp();
    m_isSleeping = false;
    if (m_expiryTimer)
        m_expiryTimer->stop();
    // The next tick comes when it would have come; one that is due (the
    // expiring one, say) comes at once.
    m_timer->start(m_sleepTicks.untilNext(now));
    update();
}

bool CountdownWidget::isCounting() const
{
    return !m_isStartupMode && !m_isNeverMode && !m_isPaused;
}

void CountdownWidget::updateCountdown()
{
    // The first tick after waking keeps the old phase; every second from there on.
    if (!m_isSleeping && m_timer->isActive() && m_timer->interval() != kTickMs)
        m_timer->start(kTickMs);
    if (!isCounting())
        return;
    tick();
    if (m_isSleeping) {
        scheduleExpiry();
        return;
    }
    // Behind another tab the dial keeps counting but is not painted; it is
    // painted afresh when it shows again.
    if (isVisible())
        update();
}

void CountdownWidget::tick()
{
    if (!isCounting())
        return;
    // The interval ends on the tick after the one that showed 0, and starts over by itself.
    if (m_remainingSeconds <= 0) {
        Q_EMIT countdownExpired();
        m_remainingSeconds = m_totalSeconds;
    } else {
        --m_remainingSeconds;
    }
}

int CountdownWidget::ticksBeforeExpiry() const
{
    if (!m_isSleeping)
        return 0;
    const int due = m_sleepTicks.due(SecondTicks::now());
    // Ticks change nothing unless counting.
    return isCounting() ? std::min(due, std::max(m_remainingSeconds, 0)) : due;
}

void CountdownWidget::catchUp()
{
    const int ticks = ticksBeforeExpiry();
    if (ticks == 0)
        return;
    if (isCounting())
        m_remainingSeconds -= ticks;
    m_sleepTicks.take(ticks);
}

void CountdownWidget::scheduleExpiry()
{
    if (!m_isSleeping || !isCounting()) {
        if (m_expiryTimer)
            m_expiryTimer->stop();
        return;
    }
    if (!m_expiryTimer) {
        m_expiryTimer = new QTimer(this);
        m_expiryTimer->setSingleShot(true);
        // Never early: the expiring tick must have come when it fires.
        m_expiryTimer->setTimerType(Qt::PreciseTimer);
        connect(m_expiryTimer, &QTimer::timeout, this, [this] { onExpiryDue(); });
    }
    const qint64 expiry = m_sleepTicks.moment(std::max(m_remainingSeconds, 0) + 1);
    // Intervals of weeks are waited for in parts.
    m_expiryTimer->start(int(std::clamp<qint64>(expiry - SecondTicks::now(), 0, std::numeric_limits<int>::max())));
}

void CountdownWidget::onExpiryDue()
{
    catchUp();
    const int due = m_sleepTicks.due(SecondTicks::now());
    if (isCounting() && due > 0) {
        // Ticks that came together are one late tick, as with a timer.
        m_sleepTicks.take(due);
        tick();
    }
    scheduleExpiry();
}

void CountdownWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (m_isNeverMode)
        paintPanel(painter, 120, neverText());
    else if (m_isStartupMode)
        paintPanel(painter, 100, startupText());
    else
        paintDial(painter);
    if (hasFocus())
        paintFocusRing(painter, QRectF(rect()).adjusted(1, 1, -1, -1), 8);
}

void CountdownWidget::paintPanel(QPainter& painter, int bottomTrim, const QString& text)
{
    const QRect panel = rect().adjusted(0, 15, 0, -bottomTrim);
    painter.setPen(QPen(QColor(0x21, 0x96, 0xF3), 2));
    painter.setBrush(QColor(33, 150, 243, 30));
    painter.drawRoundedRect(panel, 8, 8);

    const QRect iconRect(panel.left() + 15, panel.center().y() - 16, 32, 32);
    const QPixmap icon(getImagePath(QStringLiteral("info.png")));
    if (!icon.isNull()) {
        painter.drawPixmap(iconRect, icon);
    } else {
        painter.setPen(QColor(0x21, 0x96, 0xF3));
        painter.setFont(QFont(QStringLiteral("Segoe UI"), 16));
        painter.drawText(iconRect, Qt::AlignCenter, QStringLiteral("🔄"));
    }

    painter.setPen(QColor(0xff, 0xff, 0xff));
    painter.setFont(QFont(QStringLiteral("Segoe UI"), 10));
    const QRect textRect(panel.left() + 60, panel.top() + 15, panel.width() - 65, panel.height() - 30);
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text);
}

void CountdownWidget::paintDial(QPainter& painter)
{
    const QPoint centre = rect().center();
    const QRect circleRect(centre.x() - kCircleSize / 2, centre.y() - kCircleSize / 2, kCircleSize, kCircleSize);

    painter.setPen(QPen(QColor(0x55, 0x55, 0x55), 2));
    painter.setBrush(QColor(0x40, 0x40, 0x40));
    painter.drawEllipse(circleRect);

    const int remaining = m_remainingSeconds - ticksBeforeExpiry();
    if (elapsedFraction(m_totalSeconds, remaining) > 0) {
        const QColor blue(0x00, 0x78, 0xd4);
        painter.setPen(QPen(blue, 3));
        painter.setBrush(blue);
        // From 12 o'clock, clockwise.
        painter.drawPie(circleRect, 90 * 16, sectorSpan(m_totalSeconds, remaining));
    }

    painter.setFont(QFont(QStringLiteral("Segoe UI"), 12, 700));
    painter.setPen(m_isPaused ? QColor(0xff, 0x98, 0x00) : QColor(0xff, 0xff, 0xff));
    painter.drawText(circleRect, Qt::AlignCenter, displayText());
}
