#pragma once

#include <QByteArray>
#include <QSize>
#include <QString>

enum class BitmapCopyResult {
    Written,
    // Not a whole picture that decodes: nothing is written.
    NotAPicture,
    // A picture, but its copy could not be written.
    NotWritten,
};

// Checks that body is a whole picture and writes it, as displayed (its
// orientation applied), as a 24-bit BMP at bmpPath, decoding it once: a JPEG
// row by row with libjpeg-turbo straight into the mapped file, anything else
// with Qt. Accepts as large a picture as the composite does. Safe on any thread.
//
// screen, when given, is the size in pixels of the screen the picture will
// fill. A JPEG at least twice that size on both sides is then decoded at a
// half, a quarter or an eighth of its size with the decoder's own DCT scaling,
// the smallest that still covers screen; the composite finishes the shrinking.
// A 48-megapixel photo for a 1920 x 1080 screen is then decoded at 1/2 and
// written as 12 megapixels, not 48.
BitmapCopyResult writeBitmapCopy(const QByteArray& body, const QString& bmpPath, const QSize& screen = {});

// The same for a picture file on disk.
BitmapCopyResult writeBitmapCopyOfFile(const QString& sourcePath, const QString& bmpPath, const QSize& screen = {});
