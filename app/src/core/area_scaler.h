#pragma once

#include <QImage>
#include <QRect>
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
    // The rows of rect inside these rows.
    BgrRows part(const QRect& rect) const;
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

// Shrinks source by area averaging (every source pixel weighs by the area it
// covers) onto rect of target. rect must lie inside target and be no larger
// than source in either direction. Up to threads threads share the work;
// 0 lets the size of the job decide.
void shrinkInto(const BgrRows& source, const BgrCanvas& target, const QRect& rect, int threads = 0);
