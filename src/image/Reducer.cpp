#include "image/Reducer.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <thread>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace pictomat {

namespace {

constexpr int kBits = 14;
constexpr int kOne = 1 << kBits;
constexpr double kLobes = 3.0;
// The box averages stop at sixteen times the size asked for: below that the
// Lanczos filter does the rest, which keeps small sizes as sharp as a Lanczos
// filter over the whole picture (within a decibel) at a fraction of its cost.
constexpr double kMargin = 16.0;

double lanczos(double x)
{
    x = std::fabs(x);
    if (x < 1e-9)
        return 1.0;
    if (x >= kLobes)
        return 0.0;
    const double px = M_PI * x;
    return kLobes * std::sin(px) * std::sin(px / kLobes) / (px * px);
}

// For each output pixel, the run of input pixels it is made of and their
// weights (fixed point, summing to kOne). `span` is how many pixels of the
// picture the input stands for; it differs from `length` by less than one
// when box averaging left a partial box at the end.
struct Taps {
    std::vector<int> start, count, offset;
    std::vector<int16_t> weights;
};

Taps tapsFor(int length, double span, int out)
{
    Taps taps;
    taps.start.resize(size_t(out));
    taps.count.resize(size_t(out));
    taps.offset.resize(size_t(out));
    const double scale = span / out;
    const double stretch = std::max(scale, 1.0);
    const double support = kLobes * stretch;
    std::vector<double> w;
    for (int j = 0; j < out; ++j) {
        const double centre = (j + 0.5) * scale - 0.5;
        const int first = std::max(0, int(std::ceil(centre - support)));
        const int last = std::min(length - 1, int(std::floor(centre + support)));
        w.clear();
        double sum = 0;
        for (int i = first; i <= last; ++i) {
            w.push_back(lanczos((i - centre) / stretch));
            sum += w.back();
        }
        int begin = first;
        if (w.empty() || sum <= 1e-9) {  // nothing under the filter: the nearest pixel
            begin = std::clamp(int(std::lround(centre)), 0, length - 1);
            w.assign(1, 1.0);
            sum = 1.0;
        }
        taps.start[size_t(j)] = begin;
        taps.count[size_t(j)] = int(w.size());
        taps.offset[size_t(j)] = int(taps.weights.size());
        int total = 0;
        size_t largest = 0;
        for (size_t i = 0; i < w.size(); ++i) {
            const int q = int(std::lround(w[i] / sum * kOne));
            taps.weights.push_back(int16_t(q));
            total += q;
            if (w[i] > w[largest])
                largest = i;
        }
        taps.weights[size_t(taps.offset[size_t(j)]) + largest] += int16_t(kOne - total);
    }
    return taps;
}

inline uint32_t clampedPixel(int b, int g, int r, int a)
{
    a = std::clamp(a, 0, 255);
    b = std::clamp(b, 0, a);
    g = std::clamp(g, 0, a);
    r = std::clamp(r, 0, a);
    return uint32_t(b) | uint32_t(g) << 8 | uint32_t(r) << 16 | uint32_t(a) << 24;
}

// Set on threads that already share the cores among themselves.
thread_local bool t_oneCore = false;

// Rows [begin, end) of `count` handed to one or two threads, by the work they hold.
template <typename Work>
void inRows(int count, qint64 cost, const Work& work)
{
    static const bool twoCores = std::thread::hardware_concurrency() >= 2;
    if (!twoCores || t_oneCore || cost < 2'000'000 || count < 2) {
        work(0, count);
        return;
    }
    const int half = count / 2;
    std::thread other([&] { work(half, count); });
    work(0, half);
    other.join();
}

#if defined(__SSE2__)
inline __m128i roundedPixels(__m128i lo, __m128i hi)
{
    lo = _mm_srai_epi32(lo, kBits);
    hi = _mm_srai_epi32(hi, kBits);
    return _mm_packs_epi32(lo, hi);
}

// No colour above its alpha, as premultiplied pixels must be (the filter's
// negative lobes can overshoot).
inline __m128i clampToAlpha(__m128i pixels)
{
    __m128i alpha = _mm_srli_epi32(pixels, 24);
    alpha = _mm_or_si128(alpha, _mm_slli_epi32(alpha, 8));
    alpha = _mm_or_si128(alpha, _mm_slli_epi32(alpha, 16));
    return _mm_min_epu8(pixels, alpha);
}
#endif

// Rows [rowBegin, rowEnd) of the output, taken from the rows of `in` that
// start at `inFirst`, written to `out` from `at`.
void filterRows(const QImage& in, int inFirst, QImage& out, QPoint at, int width, const Taps& taps, int rowBegin,
                int rowEnd)
{
    for (int y = rowBegin; y < rowEnd; ++y) {
        const auto* src = reinterpret_cast<const uint32_t*>(in.constScanLine(y - inFirst));
        auto* dst = reinterpret_cast<uint32_t*>(out.scanLine(at.y() + y)) + at.x();
        for (int x = 0; x < width; ++x) {
            const int16_t* w = taps.weights.data() + taps.offset[size_t(x)];
            const uint32_t* p = src + taps.start[size_t(x)];
            const int n = taps.count[size_t(x)];
#if defined(__SSE2__)
            const __m128i zero = _mm_setzero_si128();
            __m128i acc = _mm_set1_epi32(1 << (kBits - 1));
            int i = 0;
            for (; i + 1 < n; i += 2) {
                __m128i px = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + i));
                px = _mm_unpacklo_epi8(px, zero);
                px = _mm_unpacklo_epi16(px, _mm_srli_si128(px, 8));
                const __m128i ww = _mm_set1_epi32(int32_t(uint16_t(w[i])) | int32_t(uint32_t(uint16_t(w[i + 1])) << 16));
                acc = _mm_add_epi32(acc, _mm_madd_epi16(px, ww));
            }
            if (i < n) {
                __m128i px = _mm_unpacklo_epi8(_mm_cvtsi32_si128(int(p[i])), zero);
                px = _mm_unpacklo_epi16(px, zero);
                acc = _mm_add_epi32(acc, _mm_madd_epi16(px, _mm_set1_epi32(int32_t(uint16_t(w[i])))));
            }
            const __m128i packed = roundedPixels(acc, acc);
            dst[x] = uint32_t(_mm_cvtsi128_si32(clampToAlpha(_mm_packus_epi16(packed, packed))));
#else
            int sum[4] = {1 << (kBits - 1), 1 << (kBits - 1), 1 << (kBits - 1), 1 << (kBits - 1)};
            for (int i = 0; i < n; ++i)
                for (int c = 0; c < 4; ++c)
                    sum[c] += int((p[i] >> (8 * c)) & 0xff) * w[i];
            dst[x] = clampedPixel(sum[0] >> kBits, sum[1] >> kBits, sum[2] >> kBits, sum[3] >> kBits);
#endif
        }
    }
}

// Output rows [rowBegin, rowEnd), each written to row (y - outFirst) of `out`.
void filterColumns(const QImage& in, QImage& out, int outFirst, const Taps& taps, int rowBegin, int rowEnd)
{
    const int width = out.width();
    for (int y = rowBegin; y < rowEnd; ++y) {
        const int16_t* w = taps.weights.data() + taps.offset[size_t(y)];
        const int first = taps.start[size_t(y)];
        const int n = taps.count[size_t(y)];
        auto* dst = reinterpret_cast<uint32_t*>(out.scanLine(y - outFirst));
        auto row = [&](int i) { return reinterpret_cast<const uint32_t*>(in.constScanLine(first + i)); };
        int x = 0;
#if defined(__SSE2__)
        const __m128i zero = _mm_setzero_si128();
        const __m128i half = _mm_set1_epi32(1 << (kBits - 1));
        for (; x + 4 <= width; x += 4) {
            __m128i acc0 = half, acc1 = half, acc2 = half, acc3 = half;
            for (int i = 0; i < n; i += 2) {
                const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row(i) + x));
                const bool pair = i + 1 < n;
                const __m128i b = pair ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(row(i + 1) + x)) : zero;
                const __m128i ww = _mm_set1_epi32(int32_t(uint16_t(w[i])) |
                                                  int32_t(uint32_t(uint16_t(pair ? w[i + 1] : 0)) << 16));
                const __m128i alo = _mm_unpacklo_epi8(a, zero), blo = _mm_unpacklo_epi8(b, zero);
                const __m128i ahi = _mm_unpackhi_epi8(a, zero), bhi = _mm_unpackhi_epi8(b, zero);
                acc0 = _mm_add_epi32(acc0, _mm_madd_epi16(_mm_unpacklo_epi16(alo, blo), ww));
                acc1 = _mm_add_epi32(acc1, _mm_madd_epi16(_mm_unpackhi_epi16(alo, blo), ww));
                acc2 = _mm_add_epi32(acc2, _mm_madd_epi16(_mm_unpacklo_epi16(ahi, bhi), ww));
                acc3 = _mm_add_epi32(acc3, _mm_madd_epi16(_mm_unpackhi_epi16(ahi, bhi), ww));
            }
            const __m128i pixels = _mm_packus_epi16(roundedPixels(acc0, acc1), roundedPixels(acc2, acc3));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + x), clampToAlpha(pixels));
        }
#endif
        for (; x < width; ++x) {
            int sum[4] = {1 << (kBits - 1), 1 << (kBits - 1), 1 << (kBits - 1), 1 << (kBits - 1)};
            for (int i = 0; i < n; ++i) {
                const uint32_t p = row(i)[x];
                for (int c = 0; c < 4; ++c)
                    sum[c] += int((p >> (8 * c)) & 0xff) * w[i];
            }
            dst[x] = clampedPixel(sum[0] >> kBits, sum[1] >> kBits, sum[2] >> kBits, sum[3] >> kBits);
        }
    }
}

// The picture filtered to `size`, written into `out` at `at`. The columns
// pass (four pixels at once) runs first, a strip of rows at a time, so the
// rows pass (a pixel at a time) has the fewest rows and no intermediate
// picture is ever held whole.
bool filterInto(const QImage& in, QSizeF span, QSize size, QImage& out, QPoint at)
{
    const Taps down = tapsFor(in.height(), span.height(), size.height());
    const Taps across = tapsFor(in.width(), span.width(), size.width());
    constexpr int kStrip = 16;
    const int strips = (size.height() + kStrip - 1) / kStrip;
    const qint64 cost = qint64(size.height()) * (qint64(in.width()) * qint64(down.weights.size() / size_t(size.height()) + 1) +
                                                  qint64(size.width()) * qint64(across.weights.size() / size_t(size.width()) + 1));
    bool ok = true;
    inRows(strips, cost, [&](int begin, int end) {
        QImage strip(in.width(), kStrip, QImage::Format_ARGB32_Premultiplied);
        if (strip.isNull()) {
            ok = false;
            return;
        }
        for (int k = begin; k < end; ++k) {
            const int first = k * kStrip, last = std::min(first + kStrip, size.height());
            filterColumns(in, strip, first, down, first, last);
            filterRows(strip, first, out, at, size.width(), across, first, last);
        }
    });
    return ok;
}

QImage filtered(const QImage& in, QSizeF span, QSize size)
{
    QImage out(size, QImage::Format_ARGB32_Premultiplied);
    if (out.isNull() || !filterInto(in, span, size, out, QPoint(0, 0)))
        return {};
    return out;
}

// The mean of each 2 x 2 box (a partial box at an odd edge: of what it holds).
QImage halved(const QImage& in)
{
    const int w = in.width(), h = in.height();
    QImage out((w + 1) / 2, (h + 1) / 2, QImage::Format_ARGB32_Premultiplied);
    if (out.isNull())
        return out;
    constexpr uint32_t kMask = 0x00ff00ff;
    inRows(out.height(), qint64(w) * h, [&](int begin, int end) {
        for (int y = begin; y < end; ++y) {
            const auto* a = reinterpret_cast<const uint32_t*>(in.constScanLine(2 * y));
            const auto* b = 2 * y + 1 < h ? reinterpret_cast<const uint32_t*>(in.constScanLine(2 * y + 1)) : a;
            auto* dst = reinterpret_cast<uint32_t*>(out.scanLine(y));
            for (int x = 0; x < out.width(); ++x) {
                const int x0 = 2 * x, x1 = std::min(2 * x + 1, w - 1);
                const uint32_t p = a[x0], q = a[x1], r = b[x0], s = b[x1];
                // Two channels per word, each with room for a sum of four.
                const uint32_t even = (p & kMask) + (q & kMask) + (r & kMask) + (s & kMask) + 0x00020002;
                const uint32_t odd =
                    ((p >> 8) & kMask) + ((q >> 8) & kMask) + ((r >> 8) & kMask) + ((s >> 8) & kMask) + 0x00020002;
                dst[x] = ((even >> 2) & kMask) | (((odd >> 2) & kMask) << 8);
            }
        }
    });
    return out;
}

} // namespace

PictureReducer::PictureReducer(const QImage& picture)
{
    if (picture.isNull())
        return;
    m_source = picture.size();
    m_levels.append(picture.format() == QImage::Format_ARGB32_Premultiplied
                        ? picture
                        : picture.convertToFormat(QImage::Format_ARGB32_Premultiplied));
}

// The smallest average at least kMargin times the size asked for, so the filter
// still sees every detail it must smooth away; -1 when it cannot be made.
int PictureReducer::levelFor(QSize size)
{
    auto spanAt = [&](int k) { return QSizeF(m_source) / double(1 << k); };
    int level = 0;
    while (spanAt(level + 1).width() >= kMargin * size.width() && spanAt(level + 1).height() >= kMargin * size.height() &&
           spanAt(level).width() >= 2 && spanAt(level).height() >= 2)
        ++level;
    // Made from the finest one still held.
    int from = level;
    while (from > 0 && (from >= m_levels.size() || m_levels.at(from).isNull()))
        --from;
    if (m_levels.at(from).isNull())
        return -1;
    for (int k = from; k < level; ++k) {
        QImage next = halved(m_levels.at(k));
        if (next.isNull())
            return -1;
        if (k + 1 < m_levels.size())
            m_levels[k + 1] = std::move(next);
        else
            m_levels.append(std::move(next));
    }
    return level;
}

QImage PictureReducer::reduced(QSize size)
{
    if (m_levels.isEmpty() || size.isEmpty())
        return {};
    if (size == m_source && !m_levels.first().isNull())
        return m_levels.first();
    const int level = levelFor(size);
    if (level < 0)
        return {};
    const bool oneCore = t_oneCore;
    t_oneCore = oneCore || m_prepared;
    QImage out = filtered(m_levels.at(level), QSizeF(m_source) / double(1 << level), size);
    t_oneCore = oneCore;
    return out;
}

bool PictureReducer::reduceInto(QImage& target, QPoint at, QSize size)
{
    if (m_levels.isEmpty() || size.isEmpty() || target.format() != QImage::Format_ARGB32_Premultiplied ||
        !target.rect().contains(QRect(at, size)))
        return false;
    const int level = levelFor(size);
    if (level < 0)
        return false;
    const bool oneCore = t_oneCore;
    t_oneCore = oneCore || m_prepared;
    const bool ok = filterInto(m_levels.at(level), QSizeF(m_source) / double(1 << level), size, target, at);
    t_oneCore = oneCore;
    return ok;
}

void PictureReducer::prepare(const QList<QSize>& sizes)
{
    for (const QSize& size : sizes)
        if (!size.isEmpty() && !m_levels.isEmpty())
            levelFor(size);
    m_prepared = true;
}

void PictureReducer::onlyNeed(QSize largest)
{
    const int level = levelFor(largest);
    for (int k = 0; k < level; ++k)
        m_levels[k] = QImage();
}

QImage PictureReducer::fitted(QSize box, QSize natural)
{
    if (m_levels.isEmpty() || box.isEmpty())
        return {};
    const QSize aspect = natural.isEmpty() ? m_levels.first().size() : natural;
    const QSize target = aspect.scaled(box, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
    return PlacedInBox(reduced(target), box);
}

QImage PlacedInBox(const QImage& picture, QSize box, std::optional<QPoint> at)
{
    if (picture.isNull() || picture.size() == box)
        return picture;
    QImage out(box, QImage::Format_ARGB32_Premultiplied);
    if (out.isNull())
        return out;
    out.fill(Qt::transparent);
    QPainter painter(&out);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(at.value_or(QPoint((box.width() - picture.width()) / 2, (box.height() - picture.height()) / 2)),
                      picture);
    return out;
}

QImage ReducePicture(const QImage& picture, QSize size)
{
    return PictureReducer(picture).reduced(size);
}

QImage ReduceIntoBox(const QImage& picture, QSize box)
{
    return PictureReducer(picture).fitted(box);
}

} // namespace pictomat
