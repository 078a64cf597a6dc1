#pragma once

#include <QRect>
#include <QRectF>
#include <QString>

struct BgrCanvas;

// Draws window (in picture pixels, fractional edges allowed) of a JPEG that
// needs no orientation onto shown of canvas, shrinking it. libjpeg decodes the part row by row straight into
// blue-green-red, halved in the transform as often as shown allows, skipping
// the rows above it and the columns beside it; the whole picture is never
// held. False when this cannot be done (built without libjpeg-turbo, a CMYK
// picture, a decoding error); the caller then reads the picture otherwise.
bool drawJpegPart(const QString& path, const QRectF& window, const BgrCanvas& canvas, const QRect& shown);
