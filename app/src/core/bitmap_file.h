#pragma once

#include "core/area_scaler.h"

#include <QByteArrayView>
#include <QFile>
#include <QImage>
#include <QSize>
#include <QString>

#include <span>
#include <vector>

// An uncompressed 24- or 32-bit BMP, mapped into memory so that its pixel
// rows are read in place, only where needed.
class MappedBitmap
{
public:
    // False when path is not such a file; other BMPs are left to Qt.
    bool open(const QString& path);
    QSize size() const { return m_rows.size; }
    const BgrRows& rows() const { return m_rows; }
    // Maps the whole file in at once, for a reader about to take all of it.
    void prepareToReadAll() const;

private:
    QFile m_file;
    const uchar* m_mapped = nullptr;
    qint64 m_mappedBytes = 0;
    BgrRows m_rows;
};

// Writes a 24-bit uncompressed BMP (rows bottom-up, as every reader takes
// it) from rows given top row first. Rows gather in a small band that goes to
// the file in one write, so no page of the whole picture is ever touched:
// writing through a fresh mapping, or filling a fresh buffer, costs a page
// fault every 4 KiB, more than the copy itself. path is replaced only once the
// whole file is written (a "<path>.partial.bmp" meanwhile; dropped unless
// committed).
class BitmapWriter
{
public:
    BitmapWriter() = default;
    ~BitmapWriter();
    BitmapWriter(const BitmapWriter&) = delete;
    BitmapWriter& operator=(const BitmapWriter&) = delete;

    // False when the file cannot be made.
    bool open(const QString& path, const QSize& size, int dotsPerMeterX = 3780, int dotsPerMeterY = 3780);
    QSize size() const { return m_size; }
    // Where the next row's width * 3 bytes go, top row first; valid until the
    // next call. Null once every row was given, or after a failed write.
    uchar* nextRow();
    // The next row as pieces side by side, width * 3 bytes in all. Where the
    // system can, they go to the file from where they lie, without a copy, so
    // they must stay as they are until commit(). A writer takes its rows
    // either this way or through nextRow(), not both.
    bool addRow(std::span<const QByteArrayView> pieces);
    // True when every row was given and written, and path now holds the picture.
    // A file path held before is dropped, or where the system can, moved to
    // replacedPath (when given) for the caller to drop later.
    bool commit(const QString& replacedPath = {});

private:
    bool flushBand();
    bool flushPieces();
    void discard();

    QFile m_file;
    QString m_path;
    QSize m_size;
    qsizetype m_rowBytes = 0;
    std::vector<uchar> m_band;
    int m_bandRows = 0;
    int m_bandFirst = 0;
    int m_bandCount = 0;
    int m_nextRow = 0;
    bool m_failed = false;
    // Rows given as pieces since the last write, top row first, and where each row's pieces end.
    std::vector<QByteArrayView> m_pieces;
    std::vector<size_t> m_rowEnds;
};

// Puts at path, without copying a byte, what BitmapWriter would write there
// of the pixels of the BMP at source (of size): source itself, linked, when
// it is in path's folder and is exactly that file, header included. False,
// with nothing changed, when it is not or the file system cannot link.
// replacedPath: as for BitmapWriter::commit().
bool linkSameBitmap(const QString& source, const QString& path, const QSize& size, int dotsPerMeterX, int dotsPerMeterY,
                    const QString& replacedPath = {});

// Writes image as a 24-bit uncompressed BMP through BitmapWriter; replacedPath
// as for BitmapWriter::commit().
bool writeBitmap(const QImage& image, const QString& path, const QString& replacedPath = {});
