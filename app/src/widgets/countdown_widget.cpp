#include "countdown_widget.h"

#include "utils/utils.h"

#include <QDebug>
#include <QPainter>
#include <QPixmap>
#include <QTimer>

namespace {
constexpr int kTickMs = 1000;
constexpr int kCircleSize = 160;

QString neverText()
{
    return QStringLiteral("Только ручная смена обоев");
}

QString startupText()
{
    return QStringLiteral("Смена обоев при следующей перезагрузке компьютера");
}
} // namespace

CountdownWidget::CountdownWidget(QWidget* parent) : QWidget(parent)
{
    setFixedSize(240, 200);
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
    m_totalSeconds = seconds;
    m_remainingSeconds = seconds;
    m_isStartupMode = (seconds == 0);
    m_isNeverMode = (seconds == -1);
    update();
}

void CountdownWidget::setRemainingTime(int seconds)
{
    m_remainingSeconds = seconds;
    update();
}

void CountdownWidget::pauseCountdown()
{
    m_isPaused = true;
    update();
}

void CountdownWidget::resumeCountdown()
{
    m_isPaused = false;
    update();
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
        return QStringLiteral("PAUSE");
    return formatRemaining(m_remainingSeconds);
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

void CountdownWidget::updateCountdown()
{
    if (m_isStartupMode || m_isNeverMode || m_isPaused)
        return;
    // The interval ends on the tick after the one that showed 0, and starts over by itself.
    if (m_remainingSeconds <= 0) {
        Q_EMIT countdownExpired();
        m_remainingSeconds = m_totalSeconds;
    } else {
        --m_remainingSeconds;
    }
    // Hidden in the tray, or behind another tab, the dial keeps counting but
    // is not painted; it is painted afresh when it shows again.
    if (isVisible())
        update();
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

    if (elapsedFraction(m_totalSeconds, m_remainingSeconds) > 0) {
        const QColor blue(0x00, 0x78, 0xd4);
        painter.setPen(QPen(blue, 3));
        painter.setBrush(blue);
        // From 12 o'clock, clockwise.
        painter.drawPie(circleRect, 90 * 16, sectorSpan(m_totalSeconds, m_remainingSeconds));
    }

    painter.setFont(QFont(QStringLiteral("Segoe UI"), 12, 700));
    painter.setPen(m_isPaused ? QColor(0xff, 0x98, 0x00) : QColor(0xff, 0xff, 0xff));
    painter.drawText(circleRect, Qt::AlignCenter, displayText());
}
