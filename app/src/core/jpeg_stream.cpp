#include "jpeg_stream.h"

#include "core/area_scaler.h"

#ifdef VELMORA_HAVE_LIBJPEG_TURBO

#include <QFile>

#include <csetjmp>
#include <cstdio>
#include <vector>

extern "C" {
#include <jpeglib.h>
}

namespace {

struct ErrorManager
{
    jpeg_error_mgr base;
    std::jmp_buf* jump = nullptr;
};

void onError(j_common_ptr info)
{
    std::longjmp(*reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}

// Warnings about damaged data: libjpeg goes on with what it has, as Qt does.
void onMessage(j_common_ptr, int) {}

// libjpeg reports fatal errors by jumping back. Each call is made from a
// frame of its own holding nothing to destroy, so the jump skips no C++
// object's destructor.
class JpegDecoder
{
public:
    JpegDecoder()
    {
        m_info.err = jpeg_std_error(&m_errors.base);
        m_errors.base.error_exit = onError;
        m_errors.base.emit_message = onMessage;
        m_errors.jump = &m_jump;
    }
    ~JpegDecoder()
    {
        if (m_created)
            jpeg_destroy_decompress(&m_info);
    }
    JpegDecoder(const JpegDecoder&) = delete;
    JpegDecoder& operator=(const JpegDecoder&) = delete;

    jpeg_decompress_struct& info() { return m_info; }

    bool open(const uchar* data, qint64 size)
    {
        if (setjmp(m_jump))
            return false;
        jpeg_create_decompress(&m_info);
        m_created = true;
        jpeg_mem_src(&m_info, data, static_cast<unsigned long>(size));
        return jpeg_read_header(&m_info, TRUE) == JPEG_HEADER_OK;
    }
    bool start()
    {
        if (setjmp(m_jump))
            return false;
        return jpeg_start_decompress(&m_info);
    }
    bool cropColumns(JDIMENSION* offset, JDIMENSION* width)
    {
        if (setjmp(m_jump))
            return false;
        jpeg_crop_scanline(&m_info, offset, width);
        return true;
    }
    bool skipRows(JDIMENSION rows)
    {
        if (setjmp(m_jump))
            return false;
        return jpeg_skip_scanlines(&m_info, rows) == rows;
    }
    bool readRow(JSAMPROW row)
    {
        if (setjmp(m_jump))
            return false;
        return jpeg_read_scanlines(&m_info, &row, 1) == 1;
    }

private:
    jpeg_decompress_struct m_info{};
    ErrorManager m_errors{};
    std::jmp_buf m_jump;
    bool m_created = false;
};

// The decoded rows of the part, one at a time in one buffer.
class JpegRows final : public RowStream
{
public:
    JpegRows(JpegDecoder& decoder, const QSize& size, int bufferWidth, int firstColumn)
        : m_decoder(decoder), m_size(size), m_buffer(size_t(bufferWidth) * 3), m_firstColumn(firstColumn)
    {
    }
    QSize size() const override { return m_size; }
    int bytesPerPixel() const override { return 3; }
    const uchar* row(int y) override
    {
        while (m_decoded <= y) {
            if (!m_decoder.readRow(m_buffer.data()))
                return nullptr;
            ++m_decoded;
        }
        return m_buffer.data() + qsizetype(m_firstColumn) * 3;
    }

private:
    JpegDecoder& m_decoder;
    QSize m_size;
    std::vector<JSAMPLE> m_buffer;
    int m_firstColumn;
    int m_decoded = 0;
};

} // namespace

bool drawJpegPart(const QString& path, const QRectF& window, const BgrCanvas& canvas, const QRect& shown)
{
    if (window.isEmpty() || shown.isEmpty())
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const qint64 size = file.size();
    const uchar* data = size > 0 ? file.map(0, size) : nullptr;
    if (!data)
        return false;

    JpegDecoder decoder;
    if (!decoder.open(data, size))
        return false;
    jpeg_decompress_struct& info = decoder.info();
    if (info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK)
        return false;
    info.out_color_space = JCS_EXT_BGR;
    const int reduction = coveringReduction(window.size(), shown.size());
    info.scale_num = 1;
    info.scale_denom = unsigned(reduction);
    if (!decoder.start())
        return false;

    // The window in decoded pixels, and the whole pixels that hold it.
    const QRectF scaled(window.x() / reduction, window.y() / reduction, window.width() / reduction,
                        window.height() / reduction);
    const QRect part = scaled.toAlignedRect().intersected(QRect(0, 0, int(info.output_width), int(info.output_height)));
    if (part.isEmpty())
        return false;
    JDIMENSION columnOffset = JDIMENSION(part.left());
    JDIMENSION columnCount = JDIMENSION(part.width());
    if (part.width() < int(info.output_width) && !decoder.cropColumns(&columnOffset, &columnCount))
        return false;
    if (part.top() > 0 && !decoder.skipRows(JDIMENSION(part.top())))
        return false;
    JpegRows rows(decoder, part.size(), int(info.output_width), part.left() - int(columnOffset));
    return shrinkInto(rows, canvas, shown, scaled.translated(-part.topLeft()));
}

bool decodeJpegRows(QByteArrayView data, const std::function<bool(const QSize&)>& start,
                    const std::function<uchar*(int)>& rowFor, int reduction)
{
    if (data.isEmpty() || (reduction != 1 && reduction != 2 && reduction != 4 && reduction != 8))
        return false;
    JpegDecoder decoder;
    if (!decoder.open(reinterpret_cast<const uchar*>(data.data()), data.size()))
        return false;
    jpeg_decompress_struct& info = decoder.info();
    if (info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK)
        return false;
    info.out_color_space = JCS_EXT_BGR;
    info.scale_num = 1;
    info.scale_denom = unsigned(reduction);
    if (!decoder.start())
        return false;
    const QSize size(int(info.output_width), int(info.output_height));
    if (!start(size))
        return false;
    // Straight into the caller's rows: no buffer of the whole picture.
    for (int y = 0; y < size.height(); ++y) {
        uchar* row = rowFor(y);
        if (!row || !decoder.readRow(row))
            return false;
    }
    return true;
}

#else

bool drawJpegPart(const QString&, const QRectF&, const BgrCanvas&, const QRect&)
{
    return false;
}

bool decodeJpegRows(QByteArrayView, const std::function<bool(const QSize&)>&, const std::function<uchar*(int)>&, int)
{
    return false;
}

#endif

int coveringReduction(const QSizeF& picture, const QSize& shown)
{
    int reduction = 1;
    if (shown.isEmpty())
        return reduction;
    while (reduction < 8 && picture.width() / (reduction * 2) >= shown.width() &&
           picture.height() / (reduction * 2) >= shown.height())
        reduction *= 2;
    return reduction;
}

bool decodeJpeg(QByteArrayView data, const std::function<BgrCanvas(const QSize&)>& canvasFor, int reduction)
{
    BgrCanvas canvas;
    return decodeJpegRows(
        data,
        [&](const QSize& size) {
            canvas = canvasFor(size);
            return canvas.bits && canvas.size == size;
        },
        [&](int y) { return canvas.row(y); }, reduction);
}
