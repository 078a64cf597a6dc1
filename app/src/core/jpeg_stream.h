#pragma once

#include <QByteArrayView>
#include <QRect>
#include <QRectF>
#include <QSizeF>
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
// reduction (1, 2, 4 or 8) has the decoder's DCT scaling shrink the picture
// by that factor as it decodes (each side rounded up).
bool decodeJpeg(QByteArrayView data, const std::function<BgrCanvas(const QSize&)>& canvasFor, int reduction = 1);

// The same, row by row: start is told the picture's size once the header is
// read (false stops), then rowFor(y) gives, top row first, where row y's
// width * 3 bytes go (null stops).
bool decodeJpegRows(QByteArrayView data, const std::function<bool(const QSize&)>& start,
                    const std::function<uchar*(int)>& rowFor, int reduction = 1);

// The largest of 1, 2, 4 and 8 that picture can be divided by and still
// cover shown on both sides: the decoder's exact halvings, the only factors
// at which scaling while decoding is cheaper than decoding in full. 1 when
// shown is empty.
int coveringReduction(const QSizeF& picture, const QSize& shown);
