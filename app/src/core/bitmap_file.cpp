#include "bitmap_file.h"

#include <QFile>

#include <QtEndian>
#include <cstring>

#include <filesystem>
#include <limits>
#include <system_error>

namespace {

constexpr int fileHeaderBytes = 14;
constexpr int infoHeaderBytes = 40;

quint32 read32(const uchar* at)
{
    return qFromLittleEndian<quint32>(at);
}

quint16 read16(const uchar* at)
{
    return qFromLittleEndian<quint16>(at);
}

} // namespace

bool MappedBitmap::open(const QString& path)
{
    m_rows = {};
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::ReadOnly))
        return false;
    const qint64 fileSize = m_file.size();
    if (fileSize < fileHeaderBytes + infoHeaderBytes)
        return false;
    const uchar* data = m_file.map(0, fileSize);
    if (!data || data[0] != 'B' || data[1] != 'M')
        return false;
    const qint64 pixelOffset = read32(data + 10);
    const qint64 infoSize = read32(data + 14);
    const qint64 width = qint32(read32(data + 18));
    const qint64 height = qint32(read32(data + 22));
    const int bitsPerPixel = read16(data + 28);
    const quint32 compression = read32(data + 30);
    if (infoSize < infoHeaderBytes || read16(data + 26) != 1 || compression != 0 ||
        (bitsPerPixel != 24 && bitsPerPixel != 32) || width <= 0 || height == 0 ||
        width > std::numeric_limits<int>::max() / 4 || height == std::numeric_limits<qint32>::min())
        return false;
    const qint64 rows = qAbs(height);
    const qint64 stride = (width * bitsPerPixel + 31) / 32 * 4;
    if (pixelOffset < fileHeaderBytes + infoSize || pixelOffset > fileSize || stride * rows > fileSize - pixelOffset)
        return false;
    // A positive height stores the bottom row first.
    const uchar* pixels = data + pixelOffset;
    if (height > 0)
        m_rows = {pixels + stride * (rows - 1), -stride, bitsPerPixel / 8, QSize(int(width), int(rows))};
    else
        m_rows = {pixels, stride, bitsPerPixel / 8, QSize(int(width), int(rows))};
    return true;
}

BitmapWriter::~BitmapWriter()
{
    discard();
}

BgrCanvas BitmapWriter::open(const QString& path, const QSize& size, int dotsPerMeterX, int dotsPerMeterY)
{
    discard();
    if (size.isEmpty())
        return {};
    const qint64 rowBytes = (qint64(size.width()) * 3 + 3) & ~qint64(3);
    constexpr int headerBytes = fileHeaderBytes + infoHeaderBytes;
    const qint64 fileBytes = headerBytes + rowBytes * size.height();
    if (fileBytes > std::numeric_limits<quint32>::max())
        return {};

    // Written beside the target and renamed over it: a failed write leaves the
    // previous file whole, and nobody reads a half-written one.
    m_path = path;
    m_file.setFileName(path + QStringLiteral(".partial.bmp"));
    if (!m_file.open(QIODevice::ReadWrite | QIODevice::Truncate) || !m_file.resize(fileBytes)) {
        discard();
        return {};
    }
    // The file grows with zeros, so the rows' padding is already in place.
    m_data = m_file.map(0, fileBytes);
    if (!m_data) {
        discard();
        return {};
    }
    uchar* header = m_data;
    header[0] = 'B';
    header[1] = 'M';
    qToLittleEndian(quint32(fileBytes), header + 2);
    qToLittleEndian(quint32(headerBytes), header + 10);
    qToLittleEndian(quint32(infoHeaderBytes), header + 14);
    qToLittleEndian(quint32(size.width()), header + 18);
    qToLittleEndian(quint32(size.height()), header + 22);
    qToLittleEndian(quint16(1), header + 26);
    qToLittleEndian(quint16(24), header + 28);
    qToLittleEndian(quint32(fileBytes - headerBytes), header + 34);
    qToLittleEndian(quint32(dotsPerMeterX), header + 38);
    qToLittleEndian(quint32(dotsPerMeterY), header + 42);
    // Bottom row first in the file: the top row is the last.
    m_canvas = {m_data + headerBytes + rowBytes * (size.height() - 1), -rowBytes, size};
    return m_canvas;
}

bool BitmapWriter::commit()
{
    if (!m_data)
        return false;
    // No sync to disk is waited for; the desktop reads the file right away.
    bool written = m_file.unmap(m_data);
    m_data = nullptr;
    m_canvas = {};
    m_file.close();
    written = written && m_file.error() == QFileDevice::NoError;
    std::error_code error;
    if (written)
        std::filesystem::rename(m_file.fileName().toStdU16String(), m_path.toStdU16String(), error);
    if (!written || error) {
        QFile::remove(m_file.fileName());
        return false;
    }
    return true;
}

void BitmapWriter::discard()
{
    m_canvas = {};
    if (m_data)
        m_file.unmap(m_data);
    m_data = nullptr;
    if (m_file.isOpen()) {
        m_file.close();
        QFile::remove(m_file.fileName());
    }
}

bool writeBitmap(const QImage& image, const QString& path)
{
    if (image.isNull())
        return false;
    // BGR888 rows are already the file's pixel layout.
    const QImage pixels =
        image.format() == QImage::Format_BGR888 ? image : image.convertToFormat(QImage::Format_BGR888);
    BitmapWriter writer;
    const BgrCanvas canvas = writer.open(path, pixels.size(), pixels.dotsPerMeterX(), pixels.dotsPerMeterY());
    if (!canvas.bits)
        return false;
    const size_t rowBytes = size_t(pixels.width()) * 3;
    for (int y = 0; y < pixels.height(); ++y)
        std::memcpy(canvas.row(y), pixels.constScanLine(y), rowBytes);
    return writer.commit();
}
