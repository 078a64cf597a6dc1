#include "area_scaler.h"

#include "core/thread_joiner.h"

#include <QThread>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <thread>
#include <vector>

#if defined(__SSE2__) || defined(_M_X64) || defined(_M_AMD64)
#include <emmintrin.h>
#endif

namespace {

// Weights are fixed-point with this many bits; per axis they sum to one.
constexpr int weightBits = 8;
constexpr quint32 weightOne = 1u << weightBits;

// The taps of one axis: output pixel d averages source pixels
// start[d] .. start[d] + count[d] - 1 with weights[offset[d] ...].
struct Taps
{
    std::vector<int> start;
    std::vector<int> count;
    std::vector<int> offset;
    std::vector<quint16> weights;
};

// Output pixel d covers the source span [from + d * step, from + (d + 1) * step)
// with step = length / targetLength; each source pixel weighs by the part of
// it inside that span. The span may be fractional at both ends.
Taps tapsFor(double from, double length, int sourceLength, int targetLength)
{
    Taps taps;
    taps.start.resize(size_t(targetLength));
    taps.count.resize(size_t(targetLength));
    taps.offset.resize(size_t(targetLength));
    const double step = length / targetLength;
    for (int out = 0; out < targetLength; ++out) {
        const double begin = std::clamp(from + out * step, 0.0, double(sourceLength));
        const double end = std::clamp(from + (out + 1) * step, 0.0, double(sourceLength));
        const int first = std::min(int(begin), sourceLength - 1);
        const int last = std::max(first, std::min(int(std::ceil(end)) - 1, sourceLength - 1));
        taps.start[size_t(out)] = first;
        taps.count[size_t(out)] = last - first + 1;
        taps.offset[size_t(out)] = int(taps.weights.size());
        const double span = end - begin;
        quint32 sum = 0;
        size_t largest = taps.weights.size();
        for (int in = first; in <= last; ++in) {
            const double overlap = span > 0 ? std::min(in + 1.0, end) - std::max(double(in), begin) : 1.0;
            const auto weight = quint16(std::lround(std::max(overlap, 0.0) / (span > 0 ? span : 1.0) * weightOne));
            taps.weights.push_back(weight);
            sum += weight;
            if (weight > taps.weights[largest])
                largest = taps.weights.size() - 1;
        }
        // Rounding must not brighten or darken: the largest weight takes the rest.
        taps.weights[largest] = quint16(taps.weights[largest] + qint32(weightOne) - qint32(sum));
    }
    return taps;
}

struct Job
{
    QSize sourceSize;
    int bytesPerPixel;
    const Taps* columns;
    const Taps* rows;
    BgrCanvas target;
    QRect rect;
};

// Averages one vertically averaged row across into BGR888 output pixels.
template <int BytesPerPixel> void filterAcross(const quint16* row, const Taps& columns, uchar* target)
{
    const size_t width = columns.start.size();
#if defined(__SSE2__) || defined(_M_X64) || defined(_M_AMD64)
    // Four channel sums at once, two taps per multiply-add. Row values are
    // halved to 15 bits so that the signed 16-bit multiply takes them.
    const __m128i zero = _mm_setzero_si128();
    const __m128i half = _mm_set1_epi32(1 << (2 * weightBits - 2));
    for (size_t x = 0; x < width; ++x) {
        const quint16* pixel = row + size_t(columns.start[x]) * BytesPerPixel;
        const quint16* weight = columns.weights.data() + columns.offset[x];
        __m128i sum = zero;
        int n = columns.count[x];
        for (; n >= 2; n -= 2) {
            const __m128i a = _mm_srli_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(pixel)), 1);
            const __m128i b =
                _mm_srli_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(pixel + BytesPerPixel)), 1);
            const __m128i weights = _mm_set1_epi32(int(weight[0]) | (int(weight[1]) << 16));
            sum = _mm_add_epi32(sum, _mm_madd_epi16(_mm_unpacklo_epi16(a, b), weights));
            pixel += 2 * BytesPerPixel;
            weight += 2;
        }
        if (n) {
            const __m128i a = _mm_srli_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(pixel)), 1);
            sum = _mm_add_epi32(sum, _mm_madd_epi16(_mm_unpacklo_epi16(a, zero), _mm_set1_epi32(weight[0])));
        }
        sum = _mm_srli_epi32(_mm_add_epi32(sum, half), 2 * weightBits - 1);
        const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(sum, zero), zero);
        const quint32 bgr = quint32(_mm_cvtsi128_si32(bytes));
        std::memcpy(target, &bgr, 3);
        target += 3;
    }
#else
    constexpr quint32 half = 1u << (2 * weightBits - 1);
    for (size_t x = 0; x < width; ++x) {
        const quint16* pixel = row + size_t(columns.start[x]) * BytesPerPixel;
        const quint16* weight = columns.weights.data() + columns.offset[x];
        quint32 b = 0, g = 0, r = 0;
        for (int n = columns.count[x]; n > 0; --n) {
            b += quint32(*weight) * pixel[0];
            g += quint32(*weight) * pixel[1];
            r += quint32(*weight) * pixel[2];
            ++weight;
            pixel += BytesPerPixel;
        }
        target[0] = uchar((b + half) >> (2 * weightBits));
        target[1] = uchar((g + half) >> (2 * weightBits));
        target[2] = uchar((r + half) >> (2 * weightBits));
        target += 3;
    }
#endif
}

// Output rows firstRow .. endRow - 1 of the job: first the source rows of
// an output row are averaged into one row (a plain loop over bytes, which
// the compiler vectorises), then that row is averaged across. rowOf(y)
// gives source row y, or null when it cannot; vertical holds a row's
// values, with a few to spare for the vector code.
template <int BytesPerPixel, typename RowOf>
bool shrinkRows(const Job& job, int firstRow, int endRow, std::vector<quint16>& vertical, RowOf&& rowOf)
{
    const Taps& columns = *job.columns;
    const Taps& rows = *job.rows;
    // Only the columns that some output pixel takes in.
    const size_t begin = size_t(columns.start.front()) * BytesPerPixel;
    const size_t end = size_t(columns.start.back() + columns.count.back()) * BytesPerPixel;
    // Sums of 8-bit samples with weights adding up to 256 fit in 16 bits.
    for (int out = firstRow; out < endRow; ++out) {
        const int first = rows.start[size_t(out)];
        const int count = rows.count[size_t(out)];
        const quint16* weights = rows.weights.data() + rows.offset[size_t(out)];
        for (int k = 0; k < count; ++k) {
            const uchar* line = rowOf(first + k);
            if (!line)
                return false;
            const quint16 weight = weights[k];
            if (k == 0) {
                for (size_t i = begin; i < end; ++i)
                    vertical[i] = quint16(weight * line[i]);
            } else {
                for (size_t i = begin; i < end; ++i)
                    vertical[i] = quint16(vertical[i] + weight * line[i]);
            }
        }
        uchar* target = job.target.row(job.rect.top() + out) + qsizetype(job.rect.left()) * 3;
        filterAcross<BytesPerPixel>(vertical.data(), columns, target);
    }
    return true;
}

// Allocates nothing, so that it cannot throw on a helper thread.
void shrinkBand(const Job& job, const BgrRows* source, int firstRow, int endRow, std::vector<quint16>* vertical)
{
    const auto rowOf = [source](int y) { return source->row(y); };
    if (job.bytesPerPixel == 4)
        shrinkRows<4>(job, firstRow, endRow, *vertical, rowOf);
    else
        shrinkRows<3>(job, firstRow, endRow, *vertical, rowOf);
}

bool fits(const QSize& source, const QRectF& window, const BgrCanvas& target, const QRect& rect)
{
    return !rect.isEmpty() && !source.isEmpty() && !window.isEmpty() && target.bits && target.rect().contains(rect) &&
           rect.width() <= window.width() + 0.5 && rect.height() <= window.height() + 0.5;
}

QRectF windowOrWhole(const QRectF& window, const QSize& source)
{
    return window.isNull() ? QRectF(QPointF(), QSizeF(source)) : window;
}

// The window's top-left when it is whole pixels of rect's own size: each
// output pixel is then one source pixel, which area averaging gives back
// exactly, so the rows are simply copied.
std::optional<QPoint> oneToOne(const QSize& source, const QRectF& window, const QRect& rect)
{
    const QPoint at(int(window.x()), int(window.y()));
    if (window != QRectF(QPointF(at), QSizeF(rect.size())) || !QRect(QPoint(), source).contains(QRect(at, rect.size())))
        return std::nullopt;
    return at;
}

void copyRow(const uchar* source, int bytesPerPixel, int width, uchar* target)
{
    if (bytesPerPixel == 3) {
        std::memcpy(target, source, size_t(width) * 3);
        return;
    }
    for (int x = 0; x < width; ++x) {
        std::memcpy(target, source, 3);
        source += bytesPerPixel;
        target += 3;
    }
}

} // namespace

BgrRows BgrRows::of(const QImage& image)
{
    switch (image.format()) {
    case QImage::Format_BGR888:
        return {image.constBits(), image.bytesPerLine(), 3, image.size()};
    case QImage::Format_RGB32:
        // 0xffRRGGBB is stored blue first on little-endian machines only.
        if (QSysInfo::ByteOrder == QSysInfo::LittleEndian)
            return {image.constBits(), image.bytesPerLine(), 4, image.size()};
        return {};
    default:
        return {};
    }
}

BgrCanvas BgrCanvas::of(QImage& image)
{
    if (image.format() != QImage::Format_BGR888)
        return {};
    uchar* bits = image.bits();
    return {bits, image.bytesPerLine(), image.size()};
}

void shrinkInto(const BgrRows& source, const BgrCanvas& target, const QRect& rect, const QRectF& sourceWindow,
                int threads)
{
    const QRectF window = windowOrWhole(sourceWindow, source.size);
    if (!fits(source.size, window, target, rect))
        return;
    if (const auto at = oneToOne(source.size, window, rect)) {
        for (int y = 0; y < rect.height(); ++y)
            copyRow(source.row(at->y() + y) + qsizetype(at->x()) * source.bytesPerPixel, source.bytesPerPixel,
                    rect.width(), target.row(rect.top() + y) + qsizetype(rect.left()) * 3);
        return;
    }
    const Taps columns = tapsFor(window.x(), window.width(), source.size.width(), rect.width());
    const Taps rows = tapsFor(window.y(), window.height(), source.size.height(), rect.height());
    const Job job{source.size, source.bytesPerPixel, &columns, &rows, target, rect};

    // Bands of output rows for a few threads, when there is enough work.
    if (threads <= 0) {
        const qint64 work = qint64(source.size.width()) * source.size.height();
        threads = int(std::min<qint64>(QThread::idealThreadCount(), work >> 21));
    }
    threads = std::clamp(threads, 1, 4);
    const int band = (rect.height() + threads - 1) / threads;
    const size_t rowValues = size_t(source.size.width()) * size_t(source.bytesPerPixel) + 8;
    auto buffers = std::vector<std::vector<quint16>>(size_t(threads), std::vector<quint16>(rowValues));
    std::vector<std::thread> helpers;
    const ThreadJoiner joiner(helpers);
    for (int i = 1; i < threads; ++i) {
        const int first = i * band;
        const int last = std::min(rect.height(), first + band);
        if (first < last)
            helpers.emplace_back(shrinkBand, job, &source, first, last, &buffers[size_t(i)]);
    }
    shrinkBand(job, &source, 0, std::min(rect.height(), band), &buffers[0]);
}

bool shrinkInto(RowStream& source, const BgrCanvas& target, const QRect& rect, const QRectF& sourceWindow)
{
    const QSize size = source.size();
    const QRectF window = windowOrWhole(sourceWindow, size);
    if (!fits(size, window, target, rect))
        return false;
    if (const auto at = oneToOne(size, window, rect)) {
        for (int y = 0; y < rect.height(); ++y) {
            const uchar* row = source.row(at->y() + y);
            if (!row)
                return false;
            copyRow(row + qsizetype(at->x()) * source.bytesPerPixel(), source.bytesPerPixel(), rect.width(),
                    target.row(rect.top() + y) + qsizetype(rect.left()) * 3);
        }
        return true;
    }
    const Taps columns = tapsFor(window.x(), window.width(), size.width(), rect.width());
    const Taps rows = tapsFor(window.y(), window.height(), size.height(), rect.height());
    const Job job{size, source.bytesPerPixel(), &columns, &rows, target, rect};
    std::vector<quint16> vertical(size_t(size.width()) * size_t(source.bytesPerPixel()) + 8);
    const auto rowOf = [&source](int y) { return source.row(y); };
    if (job.bytesPerPixel == 4)
        return shrinkRows<4>(job, 0, rect.height(), vertical, rowOf);
    return shrinkRows<3>(job, 0, rect.height(), vertical, rowOf);
}
