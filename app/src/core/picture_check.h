#pragma once

#include <QByteArray>
#include <QImage>

class QImageReader;

// Why a downloaded body is not a whole picture, or None when it is one.
enum class PictureFault {
    None,
    // No image format recognised: an error page, an empty body.
    UnknownFormat,
    // A JPEG or PNG without its end marker: the download was cut short.
    CutShort,
    // Larger than the composite ever decodes.
    TooLarge,
    // The decoder gave up on it.
    Undecodable,
};

// Whether a body in format (as QImageReader names it) carries its end
// marker: a JPEG or PNG that was cut off has none (Qt shows it as far as it
// got, grey or empty below). Other formats are taken as they come.
bool hasPictureEnd(const QByteArray& body, const QByteArray& format);

// What can be told of body, read by reader, without decoding it: its format,
// its end marker and its stated size. For callers that decode it their own way.
PictureFault pictureHeaderFault(QImageReader& reader, const QByteArray& body);

// The one check every download goes through before a body is applied or
// filed: the header check above, then a decoding as large as the composite
// allows. The decoded picture goes to decoded when given. Decodes, so call it
// off the GUI thread; safe on any thread.
PictureFault checkPicture(const QByteArray& body, QImage* decoded = nullptr);

// checkPicture(body) == PictureFault::None.
bool isCompletePicture(const QByteArray& body);
