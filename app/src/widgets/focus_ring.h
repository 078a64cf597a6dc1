#pragma once

#include <QRectF>

class QPainter;

// The keyboard's place on a custom widget, drawn the same on each: a white
// dashed ring around ring. The painter's state is left as it was.
void paintFocusRing(QPainter& painter, const QRectF& ring, qreal radius);
