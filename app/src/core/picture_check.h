#pragma once

#include <QByteArray>

// Whether a body in format (as QImageReader names it) carries its end
// marker: a JPEG or PNG that was cut off has none (Qt shows it as far as it
// got, grey or empty below). Other formats are taken as they come.
bool hasPictureEnd(const QByteArray& body, const QByteArray& format);

// Whether a downloaded body is a whole picture: it decodes, and a JPEG or PNG
// also carries its end marker. An error page, an empty or truncated body is
// not. Decodes as large a picture as the composite does.
bool isCompletePicture(const QByteArray& body);
