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

bool writeBitmap(const QImage& image, const QString& path)
{
    if (image.isNull())
        return false;
    // BGR888 rows are already the file's pixel layout.
    const QImage pixels =
        image.format() == QImage::Format_BGR888 ? image : image.convertToFormat(QImage::Format_BGR888);
    const qint64 pixelRowBytes = qint64(pixels.width()) * 3;
    const qint64 rowBytes = (pixelRowBytes + 3) & ~qint64(3);
    constexpr int headerBytes = fileHeaderBytes + infoHeaderBytes;
    const qint64 fileBytes = headerBytes + rowBytes * pixels.height();
    if (fileBytes > std::numeric_limits<quint32>::max())
        return false;

    uchar header[headerBytes] = {};
    header[0] = 'B';
    header[1] = 'M';
    qToLittleEndian(quint32(fileBytes), header + 2);
    qToLittleEndian(quint32(headerBytes), header + 10);
    qToLittleEndian(quint32(infoHeaderBytes), header + 14);
    qToLittleEndian(quint32(pixels.width()), header + 18);
    qToLittleEndian(quint32(pixels.height()), header + 22);
    qToLittleEndian(quint16(1), header + 26);
    qToLittleEndian(quint16(24), header + 28);
    qToLittleEndian(quint32(fileBytes - headerBytes), header + 34);
    qToLittleEndian(quint32(pixels.dotsPerMeterX()), header + 38);
    qToLittleEndian(quint32(pixels.dotsPerMeterY()), header + 42);

    // Written beside the target and renamed over it: a failed write leaves the
    // previous file whole, and nobody reads a half-written one. No sync to disk
    // is waited for; the desktop reads the file right away.
    const QString partial = path + QStringLiteral(".partial.bmp");
    QFile file(partial);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        return false;
    bool written = file.write(reinterpret_cast<const char*>(header), headerBytes) == headerBytes;
    // Bottom row first, one write per row; padding goes out as zeros.
    QByteArray padded(pixelRowBytes == rowBytes ? 0 : qsizetype(rowBytes), '\0');
    for (int y = pixels.height() - 1; written && y >= 0; --y) {
        const char* row = reinterpret_cast<const char*>(pixels.constScanLine(y));
        if (!padded.isEmpty()) {
            std::memcpy(padded.data(), row, size_t(pixelRowBytes));
            row = padded.constData();
        }
        written = file.write(row, rowBytes) == rowBytes;
    }
    file.close();
    written = written && file.error() == QFileDevice::NoError;
    std::error_code error;
    if (written)
        std::filesystem::rename(partial.toStdU16String(), path.toStdU16String(), error);
    if (!written || error) {
        QFile::remove(partial);
        return false;
    }
    return true;
}
