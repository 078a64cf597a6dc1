#include "picture_check.h"

#include "core/decode_limit.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>

namespace {

// The image ends after the last scan: an end-of-image marker must follow the
// last start-of-scan marker. Inside scan data 0xFF is always stuffed, so no
// marker can appear there by chance; an embedded preview's own end marker
// lies before the main image's scans.
bool jpegIsComplete(const QByteArray& body)
{
    // Searched from the near ends only (the end marker closes the file, the
    // first scan follows the headers): the whole scan data is never walked.
    const QByteArrayView scan("\xFF\xDA", 2);
    const qsizetype lastEnd = body.lastIndexOf(QByteArrayView("\xFF\xD9", 2));
    const qsizetype firstScan = body.indexOf(scan);
    return firstScan >= 0 && lastEnd > firstScan && body.indexOf(scan, lastEnd) < 0;
}

// The IEND chunk closes every PNG; anything after it is ignored by readers.
bool pngIsComplete(const QByteArray& body)
{
    return body.contains(QByteArrayView("IEND\xAE\x42\x60\x82", 8));
}

} // namespace

bool hasPictureEnd(const QByteArray& body, const QByteArray& format)
{
    if (format == "jpeg" || format == "jpg")
        return jpegIsComplete(body);
    if (format == "png")
        return pngIsComplete(body);
    return true;
}

PictureFault pictureHeaderFault(QImageReader& reader, const QByteArray& body)
{
    const QByteArray format = reader.format();
    if (format.isEmpty())
        return PictureFault::UnknownFormat;
    if (!hasPictureEnd(body, format))
        return PictureFault::CutShort;
    const QSize stated = reader.size();
    if (!stated.isEmpty() && qint64(stated.width()) * stated.height() * decodedBytesPerPixel > decodeCeilingBytes)
        return PictureFault::TooLarge;
    return PictureFault::None;
}

PictureFault checkPicture(const QByteArray& body, QImage* decoded)
{
    QByteArray data = body;
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    if (const PictureFault fault = pictureHeaderFault(reader, body); fault != PictureFault::None)
        return fault;
    QImage image;
    {
        const DecodeLimitLift lift;
        image = reader.read();
    }
    if (image.isNull())
        return PictureFault::Undecodable;
    if (decoded)
        *decoded = std::move(image);
    return PictureFault::None;
}

bool isCompletePicture(const QByteArray& body)
{
    return checkPicture(body) == PictureFault::None;
}
