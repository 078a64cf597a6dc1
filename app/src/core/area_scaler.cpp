#include "area_scaler.h"

#include "core/thread_joiner.h"

#include <QThread>

#include <algorithm>
#include <cstring>
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

// Output pixel d covers source [d * S / D, (d + 1) * S / D); measured in
// units of 1 / D source pixels, it spans d * S .. (d + 1) * S.
Taps tapsFor(int sourceLength, int targetLength)
{
    Taps taps;
    taps.start.resize(size_t(targetLength));
    taps.count.resize(size_t(targetLength));
    taps.offset.resize(size_t(targetLength));
    const qint64 s = sourceLength;
    const qint64 d = targetLength;
    for (qint64 out = 0; out < d; ++out) {
        const qint64 from = out * s;
        const qint64 to = from + s;
        const int first = int(from / d);
        const int last = int(std::min((to - 1) / d, s - 1));
        taps.start[size_t(out)] = first;
        taps.count[size_t(out)] = last - first + 1;
        taps.offset[size_t(out)] = int(taps.weights.size());
        quint32 sum = 0;
        size_t largest = taps.weights.size();
        for (int in = first; in <= last; ++in) {
            const qint64 overlap = std::min<qint64>((in + 1) * d, to) - std::max<qint64>(in * d, from);
            const auto weight = quint16((overlap * weightOne + s / 2) / s);
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
    const BgrRows* source;
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
// the compiler vectorises), then that row is averaged across.
// vertical holds a row's values, with a few to spare for the vector code.
template <int BytesPerPixel> void shrinkRows(const Job& job, int firstRow, int endRow, std::vector<quint16>& vertical)
{
    const Taps& columns = *job.columns;
    const Taps& rows = *job.rows;
    const size_t rowValues = size_t(job.source->size.width()) * BytesPerPixel;
    // Sums of 8-bit samples with weights adding up to 256 fit in 16 bits.

    for (int out = firstRow; out < endRow; ++out) {
        const int first = rows.start[size_t(out)];
        const int count = rows.count[size_t(out)];
        const quint16* weights = rows.weights.data() + rows.offset[size_t(out)];
        {
            const uchar* line = job.source->row(first);
            const quint16 weight = weights[0];
            for (size_t i = 0; i < rowValues; ++i)
                vertical[i] = quint16(weight * line[i]);
        }
        for (int k = 1; k < count; ++k) {
            const uchar* line = job.source->row(first + k);
            const quint16 weight = weights[k];
            for (size_t i = 0; i < rowValues; ++i)
                vertical[i] = quint16(vertical[i] + weight * line[i]);
        }

        uchar* target = job.target.row(job.rect.top() + out) + qsizetype(job.rect.left()) * 3;
        filterAcross<BytesPerPixel>(vertical.data(), columns, target);
    }
}

// Allocates nothing, so that it cannot throw on a helper thread.
void shrinkBand(const Job& job, int firstRow, int endRow, std::vector<quint16>* vertical)
{
    if (job.source->bytesPerPixel == 4)
        shrinkRows<4>(job, firstRow, endRow, *vertical);
    else
        shrinkRows<3>(job, firstRow, endRow, *vertical);
}

} // namespace

BgrRows BgrRows::part(const QRect& rect) const
{
    return {row(rect.top()) + qsizetype(rect.left()) * bytesPerPixel, step, bytesPerPixel, rect.size()};
}

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

void shrinkInto(const BgrRows& source, const BgrCanvas& target, const QRect& rect, int threads)
{
    if (rect.isEmpty() || source.size.isEmpty() || !target.bits || !target.rect().contains(rect) ||
        rect.width() > source.size.width() || rect.height() > source.size.height())
        return;
    const Taps columns = tapsFor(source.size.width(), rect.width());
    const Taps rows = tapsFor(source.size.height(), rect.height());
    const Job job{&source, &columns, &rows, target, rect};

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
            helpers.emplace_back(shrinkBand, job, first, last, &buffers[size_t(i)]);
    }
    shrinkBand(job, 0, std::min(rect.height(), band), &buffers[0]);
}
