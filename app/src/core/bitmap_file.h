#pragma once

#include "core/area_scaler.h"

#include <QFile>
#include <QImage>
#include <QSize>
#include <QString>

// An uncompressed 24- or 32-bit BMP, mapped into memory so that its pixel
// rows are read in place, only where needed.
class MappedBitmap
{
public:
    // False when path is not such a file; other BMPs are left to Qt.
    bool open(const QString& path);
    QSize size() const { return m_rows.size; }
    const BgrRows& rows() const { return m_rows; }

private:
    QFile m_file;
    BgrRows m_rows;
};

// Writes image as a 24-bit uncompressed BMP, rows bottom-up, replacing path
// only once the whole file is written (a "<path>.partial.bmp" meanwhile).
bool writeBitmap(const QImage& image, const QString& path);
