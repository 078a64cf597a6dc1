#include "bitmap_copy.h"

#include "core/area_scaler.h"
#include "core/bitmap_file.h"
#include "core/decode_limit.h"
#include "core/jpeg_stream.h"
#include "core/picture_check.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QTransform>

namespace {

// Mirror, then flip, then a quarter turn clockwise: the stored picture as displayed.
QImage oriented(const QImage& stored, QImageIOHandler::Transformations transformation)
{
    QImage image = stored.mirrored(transformation.testFlag(QImageIOHandler::TransformationMirror),
                                   transformation.testFlag(QImageIOHandler::TransformationFlip));
    if (transformation.testFlag(QImageIOHandler::TransformationRotate90))
        image = image.transformed(QTransform().rotate(90));
    return image;
}

// The libjpeg-turbo path; false when it cannot take this picture, so that Qt
// reads it instead. written tells whether the copy was made.
bool copyJpeg(const QByteArray& body, QImageIOHandler::Transformations transformation, int reduction,
              const QString& bmpPath, bool& written)
{
    if (transformation == QImageIOHandler::TransformationNone) {
        BitmapWriter writer;
        if (!decodeJpegRows(
                body, [&](const QSize& size) { return writer.open(bmpPath, size); },
                [&](int) { return writer.nextRow(); }, reduction))
            return false;
        written = writer.commit();
        return true;
    }
    // Turned pictures are decoded whole, then turned.
    QImage stored;
    const bool decoded = decodeJpeg(
        body,
        [&](const QSize& size) {
            if (qint64(size.width()) * size.height() * 3 > decodeCeilingBytes)
                return BgrCanvas{};
            stored = QImage(size, QImage::Format_BGR888);
            return BgrCanvas::of(stored);
        },
        reduction);
    if (!decoded)
        return false;
    written = writeBitmap(oriented(stored, transformation), bmpPath);
    return true;
}

} // namespace

BitmapCopyResult writeBitmapCopy(const QByteArray& body, const QString& bmpPath, const QSize& screen)
{
    QByteArray data = body;
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    // The header tells the format, size and orientation without decoding.
    if (pictureHeaderFault(reader, body) != PictureFault::None)
        return BitmapCopyResult::NotAPicture;
    const QByteArray format = reader.format();
    const QSize stored = reader.size();
    const bool turned = reader.transformation().testFlag(QImageIOHandler::TransformationRotate90);
    const int reduction = format == "jpeg" ? coveringReduction(turned ? stored.transposed() : stored, screen) : 1;

    bool written = false;
    if (format == "jpeg" && copyJpeg(body, reader.transformation(), reduction, bmpPath, written))
        return written ? BitmapCopyResult::Written : BitmapCopyResult::NotWritten;

    // Qt's JPEG reader decodes at n/8 scale, n the smallest that reaches the
    // size asked for: the sides rounded down give exactly 1/reduction (rounded
    // up they could give (8/reduction + 1)/8), and Qt then trims the last pixel.
    if (reduction > 1)
        reader.setScaledSize(QSize(stored.width() / reduction, stored.height() / reduction));
    QImage image;
    {
        const DecodeLimitLift lift;
        image = reader.read();
    }
    if (image.isNull())
        return BitmapCopyResult::NotAPicture;
    return writeBitmap(image, bmpPath) ? BitmapCopyResult::Written : BitmapCopyResult::NotWritten;
}

BitmapCopyResult writeBitmapCopyOfFile(const QString& sourcePath, const QString& bmpPath, const QSize& screen)
{
    QFile file(sourcePath);
    if (!file.open(QIODevice::ReadOnly))
        return BitmapCopyResult::NotAPicture;
    const qint64 size = file.size();
    const uchar* mapped = size > 0 ? file.map(0, size) : nullptr;
    if (!mapped)
        return BitmapCopyResult::NotAPicture;
    // Read in place; the mapping lives as long as the file is open.
    return writeBitmapCopy(QByteArray::fromRawData(reinterpret_cast<const char*>(mapped), qsizetype(size)), bmpPath,
                           screen);
}
