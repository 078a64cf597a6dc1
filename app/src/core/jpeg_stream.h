#pragma once

#include <QByteArrayView>
#include <QRect>
#include <QRectF>
#include <QString>

#include <functional>

struct BgrCanvas;

// Draws window (in picture pixels, fractional edges allowed) of a JPEG that
// needs no orientation onto shown of canvas, shrinking it. libjpeg decodes the part row by row straight into
// blue-green-red, halved in the transform as often as shown allows, skipping
// the rows above it and the columns beside it; the whole picture is never
// held. False when this cannot be done (built without libjpeg-turbo, a CMYK
// picture, a decoding error); the caller then reads the picture otherwise.
bool drawJpegPart(const QString& path, const QRectF& window, const BgrCanvas& canvas, const QRect& shown);

// Decodes a whole JPEG row by row into blue-green-red rows: canvasFor is
// told the picture's size once the header is read and gives the rows to fill
// (a BMP file's, say), so that no copy of the whole picture is made. The
// picture's orientation is not applied. False when this cannot be done (built
// without libjpeg-turbo, a CMYK picture, a decoding error, no canvas).
bool decodeJpeg(QByteArrayView data, const std::function<BgrCanvas(const QSize&)>& canvasFor);

// The same, row by row: start is told the picture's size once the header is
// read (false stops), then rowFor(y) gives, top row first, where row y's
// width * 3 bytes go (null stops).
bool decodeJpegRows(QByteArrayView data, const std::function<bool(const QSize&)>& start,
                    const std::function<uchar*(int)>& rowFor);
