#include "history_strip.h"

#include "focus_ring.h"

#include <QKeyEvent>
#include <QPainter>

#include <algorithm>

HistoryStrip::HistoryStrip(QWidget* parent) : QWidget(parent) {}

QList<HistoryThumbnail*> HistoryStrip::thumbnails() const
{
    QList<HistoryThumbnail*> shown = findChildren<HistoryThumbnail*>(Qt::FindDirectChildrenOnly);
    shown.removeIf([](const HistoryThumbnail* thumbnail) { return thumbnail->isHidden(); });
    std::sort(shown.begin(), shown.end(), [](const QWidget* a, const QWidget* b) { return a->x() < b->x(); });
    return shown;
}

void HistoryStrip::applyThumbnail(HistoryThumbnail* thumbnail)
{
    if (!thumbnail || thumbnail->parentWidget() != this)
        return;
    thumbnail->click();
    Q_EMIT applyRequested(thumbnail);
}

void HistoryStrip::keyPressEvent(QKeyEvent* event)
{
    const QList<HistoryThumbnail*> shown = thumbnails();
    auto* focused = qobject_cast<HistoryThumbnail*>(focusWidget());
    const qsizetype at = shown.indexOf(focused);
    if (at < 0) {
        QWidget::keyPressEvent(event);
        return;
    }
    switch (event->key()) {
    case Qt::Key_Left:
        if (at > 0)
            shown[at - 1]->setFocus(Qt::OtherFocusReason);
        else
            Q_EMIT scrollRequested(-1);
        return;
    case Qt::Key_Right:
        if (at + 1 < shown.size())
            shown[at + 1]->setFocus(Qt::OtherFocusReason);
        else
            Q_EMIT scrollRequested(1);
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        applyThumbnail(focused);
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

HistoryThumbnail::HistoryThumbnail(QWidget* parent) : QPushButton(parent) {}

void HistoryThumbnail::paintEvent(QPaintEvent* event)
{
    QPushButton::paintEvent(event);
    if (!hasFocus())
        return;
    QPainter painter(this);
    paintFocusRing(painter, QRectF(rect()).adjusted(4, 4, -4, -4), 3);
}
