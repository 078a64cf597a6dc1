#include "focus_ring.h"

#include <QPainter>

void paintFocusRing(QPainter& painter, const QRectF& ring, qreal radius)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Qt::white, 2, Qt::DashLine));
    painter.drawRoundedRect(ring, radius, radius);
    painter.restore();
}
