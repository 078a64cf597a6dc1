#include "bitmap_file.h"

#include <QFile>
#include <QFileInfo>

#include <QtEndian>
#include <cstring>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <array>
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

constexpr int headerBytes = fileHeaderBytes + infoHeaderBytes;
using Header = std::array<uchar, headerBytes>;

qint64 rowBytesFor(int width)
{
    return (qint64(width) * 3 + 3) & ~qint64(3);
}

// The headers BitmapWriter writes; the size must fit the format.
Header headerFor(const QSize& size, int dotsPerMeterX, int dotsPerMeterY)
{
    const qint64 fileBytes = headerBytes + rowBytesFor(size.width()) * size.height();
    Header header{};
    header[0] = 'B';
    header[1] = 'M';
    qToLittleEndian(quint32(fileBytes), header.data() + 2);
    qToLittleEndian(quint32(headerBytes), header.data() + 10);
    qToLittleEndian(quint32(infoHeaderBytes), header.data() + 14);
    qToLittleEndian(quint32(size.width()), header.data() + 18);
    qToLittleEndian(quint32(size.height()), header.data() + 22);
    qToLittleEndian(quint16(1), header.data() + 26);
    qToLittleEndian(quint16(24), header.data() + 28);
    qToLittleEndian(quint32(fileBytes - headerBytes), header.data() + 34);
    qToLittleEndian(quint32(dotsPerMeterX), header.data() + 38);
    qToLittleEndian(quint32(dotsPerMeterY), header.data() + 42);
    return header;
}

// Puts the finished file in place of target in one step. On Linux an
// existing file is swapped with it, then dropped: replacing a file by renaming
// makes ext4 write the new file's blocks out at once (a guard for programs
// that forget to sync), which costs more than writing the whole picture.
// Dropping a large file frees its pages, about a millisecond for a screenful:
// with replacedPath given, the file it replaced is moved there instead, for
// the caller to drop once nobody waits.
bool replaceFile(const QString& finished, const QString& target, const QString& replacedPath)
{
#ifdef Q_OS_LINUX
    const QByteArray from = QFile::encodeName(finished);
    const QByteArray to = QFile::encodeName(target);
    struct stat existing;
    if (::lstat(to.constData(), &existing) == 0 && S_ISREG(existing.st_mode) &&
        ::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_EXCHANGE) == 0) {
        if (replacedPath.isEmpty() || ::rename(from.constData(), QFile::encodeName(replacedPath).constData()) != 0)
            ::unlink(from.constData());
        return true;
    }
    // No such file, or a file system that cannot swap: a plain rename.
#else
    // Elsewhere the rename replaces the file, and nothing is set aside.
    Q_UNUSED(replacedPath);
#endif
    std::error_code error;
    std::filesystem::rename(finished.toStdU16String(), target.toStdU16String(), error);
    return !error;
}

} // namespace

bool MappedBitmap::open(const QString& path)
{
    m_rows = {};
    m_mapped = nullptr;
    m_mappedBytes = 0;
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::ReadOnly))
        return false;
    const qint64 fileSize = m_file.size();
    if (fileSize < fileHeaderBytes + infoHeaderBytes)
        return false;
    const uchar* data = m_file.map(0, fileSize);
    if (!data || data[0] != 'B' || data[1] != 'M')
        return false;
    m_mapped = data;
    m_mappedBytes = fileSize;
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

void MappedBitmap::prepareToReadAll() const
{
#ifdef MADV_POPULATE_READ
    // One call instead of a page fault every few pages, which a write
    // straight from these pages would otherwise meet one by one.
    if (m_mapped)
        ::madvise(const_cast<uchar*>(m_mapped), size_t(m_mappedBytes), MADV_POPULATE_READ);
#endif
}

BitmapWriter::~BitmapWriter()
{
    discard();
}

bool BitmapWriter::open(const QString& path, const QSize& size, int dotsPerMeterX, int dotsPerMeterY)
{
    discard();
    if (size.isEmpty())
        return false;
    const qint64 rowBytes = rowBytesFor(size.width());
    const qint64 fileBytes = headerBytes + rowBytes * size.height();
    if (fileBytes > std::numeric_limits<quint32>::max())
        return false;

    // Written beside the target and renamed over it: a failed write leaves the
    // previous file whole, and nobody reads a half-written one.
    m_path = path;
    m_file.setFileName(path + QStringLiteral(".partial.bmp"));
    if (!m_file.open(QIODevice::ReadWrite | QIODevice::Truncate | QIODevice::Unbuffered)) {
        discard();
        return false;
    }
    const Header header = headerFor(size, dotsPerMeterX, dotsPerMeterY);
    if (m_file.write(reinterpret_cast<const char*>(header.data()), headerBytes) != headerBytes) {
        discard();
        return false;
    }
    m_size = size;
    m_rowBytes = rowBytes;
    // A quarter of a megabyte: large writes, yet a buffer that stays in the cache.
    constexpr qint64 bandBytes = 256 * 1024;
    m_bandRows = int(std::clamp<qint64>(bandBytes / rowBytes, 1, size.height()));
    return true;
}

uchar* BitmapWriter::nextRow()
{
    if (m_failed || !m_file.isOpen() || m_nextRow >= m_size.height())
        return nullptr;
    // Zeroed once: the rows' padding stays zero, as nobody writes it.
    if (m_band.empty())
        m_band.assign(size_t(m_bandRows) * size_t(m_rowBytes), 0);
    if (m_nextRow == m_bandFirst + m_bandCount) {
        if (m_bandCount > 0 && !flushBand())
            return nullptr;
        m_bandFirst = m_nextRow;
        m_bandCount = std::min(m_bandRows, m_size.height() - m_nextRow);
    }
    // The file holds the bottom row first, so a band's rows go in reverse.
    const int position = m_bandCount - 1 - (m_nextRow++ - m_bandFirst);
    return m_band.data() + qsizetype(position) * m_rowBytes;
}

bool BitmapWriter::flushBand()
{
    if (m_bandCount == 0)
        return true;
    const qint64 firstFileRow = m_size.height() - m_bandFirst - m_bandCount;
    const qint64 bytes = qint64(m_bandCount) * m_rowBytes;
    m_failed = !m_file.seek(headerBytes + firstFileRow * m_rowBytes) ||
               m_file.write(reinterpret_cast<const char*>(m_band.data()), bytes) != bytes;
    return !m_failed;
}

bool BitmapWriter::addRow(std::span<const QByteArrayView> pieces)
{
    qsizetype bytes = 0;
    for (const QByteArrayView& piece : pieces)
        bytes += piece.size();
    if (bytes != qsizetype(m_size.width()) * 3)
        return false;
#ifdef Q_OS_UNIX
    if (m_failed || !m_file.isOpen() || m_nextRow >= m_size.height())
        return false;
    // One write takes at most IOV_MAX pieces (1024 on Linux and macOS), a padding piece per row included.
    constexpr size_t maxPieces = 1024;
    if (pieces.size() + 1 > maxPieces ||
        (m_pieces.size() + m_rowEnds.size() + pieces.size() + 1 > maxPieces && !flushPieces()))
        return false;
    m_pieces.insert(m_pieces.end(), pieces.begin(), pieces.end());
    m_rowEnds.push_back(m_pieces.size());
    ++m_nextRow;
    return true;
#else
    uchar* row = nextRow();
    if (!row)
        return false;
    for (const QByteArrayView& piece : pieces) {
        std::memcpy(row, piece.data(), size_t(piece.size()));
        row += piece.size();
    }
    return true;
#endif
}

bool BitmapWriter::flushPieces()
{
#ifdef Q_OS_UNIX
    if (m_rowEnds.empty())
        return true;
    // The rows since the last write lie together in the file, the lowest first.
    static const char padding[3] = {};
    const size_t paddingBytes = size_t(m_rowBytes - qint64(m_size.width()) * 3);
    std::vector<iovec> pieces;
    pieces.reserve(m_pieces.size() + m_rowEnds.size());
    for (size_t row = m_rowEnds.size(); row-- > 0;) {
        for (size_t i = row > 0 ? m_rowEnds[row - 1] : 0; i < m_rowEnds[row]; ++i) {
            if (!m_pieces[i].isEmpty())
                pieces.push_back({const_cast<char*>(m_pieces[i].data()), size_t(m_pieces[i].size())});
        }
        if (paddingBytes > 0)
            pieces.push_back({const_cast<char*>(padding), paddingBytes});
    }
    off_t offset = off_t(headerBytes + qint64(m_size.height() - m_nextRow) * m_rowBytes);
    iovec* next = pieces.data();
    int left = int(pieces.size());
    while (left > 0 && !m_failed) {
        const ssize_t written = ::pwritev(m_file.handle(), next, left, offset);
        if (written < 0 && errno == EINTR)
            continue;
        m_failed = written <= 0;
        // A short write: on from where it stopped.
        size_t done = written > 0 ? size_t(written) : 0;
        offset += off_t(done);
        while (left > 0 && done >= next->iov_len) {
            done -= next->iov_len;
            ++next;
            --left;
        }
        if (left > 0) {
            next->iov_base = static_cast<char*>(next->iov_base) + done;
            next->iov_len -= done;
        }
    }
    m_pieces.clear();
    m_rowEnds.clear();
    return !m_failed;
#else
    return true;
#endif
}

bool BitmapWriter::commit(const QString& replacedPath)
{
    if (!m_file.isOpen() || m_failed || m_nextRow < m_size.height() || !flushBand() || !flushPieces()) {
        discard();
        return false;
    }
    // No sync to disk is waited for; the desktop reads the file right away.
    m_file.close();
    const bool written = m_file.error() == QFileDevice::NoError;
    if (!written || !replaceFile(m_file.fileName(), m_path, replacedPath)) {
        QFile::remove(m_file.fileName());
        discard();
        return false;
    }
    discard();
    return true;
}

void BitmapWriter::discard()
{
    if (m_file.isOpen()) {
        m_file.close();
        QFile::remove(m_file.fileName());
    }
    m_band = {};
    m_size = {};
    m_rowBytes = 0;
    m_bandRows = m_bandFirst = m_bandCount = m_nextRow = 0;
    m_failed = false;
    m_pieces.clear();
    m_rowEnds.clear();
}

bool linkSameBitmap(const QString& source, const QString& path, const QSize& size, int dotsPerMeterX, int dotsPerMeterY,
                    const QString& replacedPath)
{
    if (size.isEmpty() || QFileInfo(source).absolutePath() != QFileInfo(path).absolutePath())
        return false;
    const qint64 fileBytes = headerBytes + rowBytesFor(size.width()) * size.height();
    if (fileBytes > std::numeric_limits<quint32>::max())
        return false;
    QFile file(source);
    if (!file.open(QIODevice::ReadOnly) || file.size() != fileBytes)
        return false;
    const Header expected = headerFor(size, dotsPerMeterX, dotsPerMeterY);
    Header actual{};
    if (file.read(reinterpret_cast<char*>(actual.data()), headerBytes) != headerBytes || actual != expected)
        return false;
    file.close();
    // Linked beside the target and put in its place in one step, as a written file is.
    const QString partial = path + QStringLiteral(".partial.bmp");
    std::error_code error;
    std::filesystem::create_hard_link(source.toStdU16String(), partial.toStdU16String(), error);
    if (error)
        return false;
    if (replaceFile(partial, path, replacedPath))
        return true;
    QFile::remove(partial);
    return false;
}

bool writeBitmap(const QImage& image, const QString& path, const QString& replacedPath)
{
    if (image.isNull())
        return false;
    // BGR888 rows are already the file's pixel layout, and RGB32 rows are
    // taken apart row by row; anything else is converted first.
    const bool direct = image.format() == QImage::Format_BGR888 || image.format() == QImage::Format_RGB32;
    const QImage pixels = direct ? image : image.convertToFormat(QImage::Format_BGR888);
    BitmapWriter writer;
    if (!writer.open(path, pixels.size(), pixels.dotsPerMeterX(), pixels.dotsPerMeterY()))
        return false;
    const int width = pixels.width();
    for (int y = 0; y < pixels.height(); ++y) {
        uchar* row = writer.nextRow();
        if (!row)
            return false;
        if (pixels.format() == QImage::Format_BGR888) {
            std::memcpy(row, pixels.constScanLine(y), size_t(width) * 3);
            continue;
        }
        const auto* source = reinterpret_cast<const QRgb*>(pixels.constScanLine(y));
        for (int x = 0; x < width; ++x) {
            row[0] = uchar(qBlue(source[x]));
            row[1] = uchar(qGreen(source[x]));
            row[2] = uchar(qRed(source[x]));
            row += 3;
        }
    }
    return writer.commit(replacedPath);
}
