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

// Writes a 24-bit uncompressed BMP, rows bottom-up, row by row straight into
// the mapped file, replacing path only once the whole file is written (a
// "<path>.partial.bmp" meanwhile; dropped unless committed).
class BitmapWriter
{
public:
    BitmapWriter() = default;
    ~BitmapWriter();
    BitmapWriter(const BitmapWriter&) = delete;
    BitmapWriter& operator=(const BitmapWriter&) = delete;

    // The picture's rows, top row first, to fill before commit(); empty when
    // the file cannot be made.
    BgrCanvas open(const QString& path, const QSize& size, int dotsPerMeterX = 3780, int dotsPerMeterY = 3780);
    bool commit();

private:
    void discard();

    QFile m_file;
    QString m_path;
    uchar* m_data = nullptr;
    BgrCanvas m_canvas;
};

// Writes image as a 24-bit uncompressed BMP through BitmapWriter.
bool writeBitmap(const QImage& image, const QString& path);
