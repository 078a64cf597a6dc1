#pragma once

#include <QByteArray>

// Whether a downloaded body is a whole picture: it decodes, and a JPEG or PNG
// also carries its end marker (Qt shows a cut-off JPEG or PNG as far as it
// got, grey or empty below). An error page, an empty or truncated body is not.
bool isCompletePicture(const QByteArray& body);
