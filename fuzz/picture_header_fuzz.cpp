// Picture headers: the BMP header the composite maps in place, and the sizes
// and EXIF orientation read before any picture is decoded.

#include "fuzz_support.h"

#include "core/bitmap_file.h"
#include "core/picture_check.h"

#include <QBuffer>
#include <QImageReader>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::startApplication();
    // Decoding a huge picture is no finding: keep it small, as the program's cap does.
    QImageReader::setAllocationLimit(64);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input = fuzz::bytes(data, size);
    const QString path = fuzz::scratchFolder() + QStringLiteral("/picture");
    if (!fuzz::writeScratch(path, input))
        return 0;
    {
        MappedBitmap bitmap;
        if (bitmap.open(path)) {
            // Every row the header promises lies inside the file.
            const BgrRows& rows = bitmap.rows();
            const QSize bmpSize = bitmap.size();
            volatile uchar sink = 0;
            for (int y = 0; y < bmpSize.height(); y += qMax(1, bmpSize.height() / 8)) {
                const uchar* row = rows.row(y);
                sink = sink ^ row[0] ^ row[qsizetype(bmpSize.width()) * rows.bytesPerPixel - 1];
            }
        }
    }
    QImageReader reader(path);
    reader.setAutoTransform(true);
    reader.size();
    reader.transformation();
    reader.format();

    QByteArray copy = input;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    QImageReader fromMemory(&buffer);
    fromMemory.size();
    fromMemory.transformation();
    if (size < 4096)
        isCompletePicture(input);
    return 0;
}
