#include "toggle_switch.h"

#include "focus_ring.h"

#include <QAccessible>
#include <QEasingCurve>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPropertyAnimation>

namespace {
constexpr int kAnimationMs = 200;
} // namespace

ToggleSwitch::ToggleSwitch(QWidget* parent) : QWidget(parent)
{
    setFixedSize(54, 30);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);

    m_animation = new QPropertyAnimation(this, "animationProgress", this);
    m_animation->setDuration(kAnimationMs);
    m_animation->setEasingCurve(QEasingCurve::OutCubic);
    connect(m_animation, &QPropertyAnimation::valueChanged, this, qOverload<>(&QWidget::update));
}

bool ToggleSwitch::isChecked() const
{
    return m_checked;
}

void ToggleSwitch::setChecked(bool checked)
{
    if (checked == m_checked)
        return;
    m_checked = checked;
    // A running animation keeps its clock and simply heads for the new end.
    m_animation->setStartValue(m_animationProgress);
    m_animation->setEndValue(checked ? 1.0 : 0.0);
    m_animation->start();
    if (QAccessible::isActive()) {
        QAccessible::State changed;
        changed.checked = true;
        QAccessibleStateChangeEvent event(this, changed);
        QAccessible::updateAccessibility(&event);
    }
    Q_EMIT toggled(m_checked);
}

qreal ToggleSwitch::animationProgress() const
{
    return m_animationProgress;
}

void ToggleSwitch::setAnimationProgress(qreal progress)
{
    m_animationProgress = progress;
    update();
}

void ToggleSwitch::paintEvent(QPaintEvent*)
{
    const qreal p = m_animationProgress;
    const QRect switchRect = rect().adjusted(3, 3, -3, -3);

    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);

    // Grey (#666666) blends into blue (#0078D4); each channel truncated.
    painter.setBrush(QColor(int(102 - 102 * p), int(102 + 18 * p), int(102 + 110 * p)));
    painter.drawRoundedRect(switchRect, 12, 12);

    const int buttonSize = switchRect.height() - 8;
    const int leftPos = switchRect.left() + 4;
    const int rightPos = switchRect.right() - buttonSize - 4;
    const int buttonX = int(leftPos + p * (rightPos - leftPos));
    const int buttonY = switchRect.top() + (switchRect.height() - buttonSize) / 2;

    painter.setBrush(QColor(0xff, 0xff, 0xff));
    painter.drawEllipse(QRect(buttonX, buttonY, buttonSize, buttonSize));

    // The keyboard's place: a ring in the margin around the track.
    if (hasFocus())
        paintFocusRing(painter, QRectF(rect()).adjusted(1, 1, -1, -1), 14);
}

void ToggleSwitch::mousePressEvent(QMouseEvent*)
{
    setChecked(!isChecked());
}

void ToggleSwitch::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        setChecked(!isChecked());
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}
