#pragma once

#include <QImage>
#include <QRect>
#include <QRectF>
#include <QSize>
#include <QtGlobal>

// Rows of pixels whose first three bytes are blue, green and red (any
// further byte is ignored): BGR888, RGB32 on little-endian machines, and the
// pixel rows of an uncompressed 24- or 32-bit BMP.
struct BgrRows
{
    const uchar* first = nullptr; // the top row, at the region's left edge
    qsizetype step = 0;           // bytes from a row to the one below; negative when stored bottom-up
    int bytesPerPixel = 3;
    QSize size;

    const uchar* row(int y) const { return first + step * y; }
    // An image's rows, when its format has that layout; empty otherwise.
    static BgrRows of(const QImage& image);
};

// Writable BGR888 rows, taken once from an image so that several threads
// may fill separate parts of it.
struct BgrCanvas
{
    uchar* bits = nullptr;
    qsizetype bytesPerLine = 0;
    QSize size;

    uchar* row(int y) const { return bits + bytesPerLine * y; }
    QRect rect() const { return QRect(QPoint(), size); }
    // Empty unless image is BGR888.
    static BgrCanvas of(QImage& image);
};

// Shrinks window of source (in source pixels, fractional edges allowed; a
// null window means all of source) onto rect of target by area averaging:
// every source pixel weighs by the area of it that an output pixel covers.
// rect must lie inside target and be no larger than window. Up to threads
// threads share the work; 0 lets the size of the job decide.
void shrinkInto(const BgrRows& source, const BgrCanvas& target, const QRect& rect, const QRectF& window = {},
                int threads = 0);

// Source rows that a decoder produces one after another. row(y) is asked
// for with y never decreasing; the row it gives stays valid until the next
// call. It gives null when the rows cannot be produced.
class RowStream
{
public:
    virtual ~RowStream() = default;
    virtual QSize size() const = 0;
    // 3 or 4, laid out as in BgrRows.
    virtual int bytesPerPixel() const = 0;
    virtual const uchar* row(int y) = 0;
};

// As above, on the calling thread. False when the stream failed; the part of
// rect drawn so far stays.
bool shrinkInto(RowStream& source, const BgrCanvas& target, const QRect& rect, const QRectF& window = {});
