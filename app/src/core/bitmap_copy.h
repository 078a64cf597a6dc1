#pragma once

#include <QByteArray>
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
BitmapCopyResult writeBitmapCopy(const QByteArray& body, const QString& bmpPath);

// The same for a picture file on disk.
BitmapCopyResult writeBitmapCopyOfFile(const QString& sourcePath, const QString& bmpPath);
