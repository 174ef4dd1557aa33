#include "resample/Kernels.h"
#include "resample/Log.h"

#include <QByteArray>
#include <QtGlobal>

#include <algorithm>
#include <atomic>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
// The wide kernels are built for every x86-64 processor and chosen at run
// time by the one they run on.
#if defined(__SSE2__) && defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define PICTOMAT_WIDE 1
#define PICTOMAT_WIDE_TARGET __attribute__((target("avx2")))
#endif

namespace pictomat::resample {

namespace {

constexpr int kBits = 14;
constexpr int kOne = 1 << kBits;
constexpr int kHalf = 1 << (kBits - 1);
constexpr double kLobes = 3.0;

// The Lanczos window at x0, x0 + step, x0 + 2 step ... for `count` taps:
// the sines come from rotating the first ones by the step, so a run of taps
// costs four sines, not two for every tap.
void lanczosRun(double x0, double step, int count, std::vector<double>* out)
{
    const double a = M_PI * x0, d = M_PI * step;
    double s1 = std::sin(a), c1 = std::cos(a), s3 = std::sin(a / kLobes), c3 = std::cos(a / kLobes);
    const double sd1 = std::sin(d), cd1 = std::cos(d), sd3 = std::sin(d / kLobes), cd3 = std::cos(d / kLobes);
    for (int i = 0; i < count; ++i) {
        const double x = x0 + i * step;
        const double px = M_PI * x;
        if (std::fabs(x) < 1e-9)
            out->push_back(1.0);
        else if (std::fabs(x) >= kLobes)
            out->push_back(0.0);
        else
            out->push_back(kLobes * s1 * s3 / (px * px));
        const double n1 = s1 * cd1 + c1 * sd1, n3 = s3 * cd3 + c3 * sd3;
        c1 = c1 * cd1 - s1 * sd1;
        c3 = c3 * cd3 - s3 * sd3;
        s1 = n1;
        s3 = n3;
    }
}

inline uint32_t clampedPixel(int b, int g, int r, int a)
{
    a = std::clamp(a, 0, 255);
    b = std::clamp(b, 0, a);
    g = std::clamp(g, 0, a);
    r = std::clamp(r, 0, a);
    return uint32_t(b) | uint32_t(g) << 8 | uint32_t(r) << 16 | uint32_t(a) << 24;
}

// The kernels in plain C++, on any processor. Pixels [x, width) of the
// columns pass, the rest of what a wider kernel began.
void columnsPlain(const uint32_t* const* rows, const int16_t* w, int n, uint32_t* dst, int x, int width)
{
    for (; x < width; ++x) {
        int sum[4] = {kHalf, kHalf, kHalf, kHalf};
        for (int i = 0; i < n; ++i) {
            const uint32_t p = rows[i][x];
            for (int c = 0; c < 4; ++c)
                sum[c] += int((p >> (8 * c)) & 0xff) * w[i];
        }
        dst[x] = clampedPixel(sum[0] >> kBits, sum[1] >> kBits, sum[2] >> kBits, sum[3] >> kBits);
    }
}

void rowsPlain(const uint32_t* src, const Taps& taps, uint32_t* dst)
{
    const int width = int(taps.start.size());
    for (int x = 0; x < width; ++x) {
        const int16_t* w = taps.weights.data() + taps.offset[size_t(x)];
        const uint32_t* p = src + taps.start[size_t(x)];
        const int n = taps.count[size_t(x)];
        int sum[4] = {kHalf, kHalf, kHalf, kHalf};
        for (int i = 0; i < n; ++i)
            for (int c = 0; c < 4; ++c)
                sum[c] += int((p[i] >> (8 * c)) & 0xff) * w[i];
        dst[x] = clampedPixel(sum[0] >> kBits, sum[1] >> kBits, sum[2] >> kBits, sum[3] >> kBits);
    }
}

#if defined(__SSE2__)
inline __m128i roundedPixels(__m128i lo, __m128i hi)
{
    return _mm_packs_epi32(_mm_srai_epi32(lo, kBits), _mm_srai_epi32(hi, kBits));
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

inline __m128i weightPair(int16_t a, int16_t b)
{
    return _mm_set1_epi32(int32_t(uint16_t(a)) | int32_t(uint32_t(uint16_t(b)) << 16));
}

// Pixels [x, width) of the columns pass, four at a time; returns where it stopped.
int columnsSse2(const uint32_t* const* rows, const int16_t* w, int n, uint32_t* dst, int x, int width)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i half = _mm_set1_epi32(kHalf);
    for (; x + 4 <= width; x += 4) {
        __m128i acc0 = half, acc1 = half, acc2 = half, acc3 = half;
        for (int i = 0; i < n; i += 2) {
            const bool pair = i + 1 < n;
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[i] + x));
            const __m128i b = pair ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[i + 1] + x)) : zero;
            const __m128i ww = weightPair(w[i], pair ? w[i + 1] : 0);
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
    return x;
}

// The rows pass, a pair of taps at a time.
void rowsSse2(const uint32_t* src, const Taps& taps, uint32_t* dst)
{
    const __m128i zero = _mm_setzero_si128();
    const int width = int(taps.start.size());
    for (int x = 0; x < width; ++x) {
        const int16_t* w = taps.weights.data() + taps.offset[size_t(x)];
        const uint32_t* p = src + taps.start[size_t(x)];
        const int n = taps.count[size_t(x)];
        __m128i acc = _mm_set1_epi32(kHalf);
        int i = 0;
        for (; i + 1 < n; i += 2) {
            __m128i px = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + i));
            px = _mm_unpacklo_epi8(px, zero);
            px = _mm_unpacklo_epi16(px, _mm_srli_si128(px, 8));
            acc = _mm_add_epi32(acc, _mm_madd_epi16(px, weightPair(w[i], w[i + 1])));
        }
        if (i < n) {
            __m128i px = _mm_unpacklo_epi8(_mm_cvtsi32_si128(int(p[i])), zero);
            px = _mm_unpacklo_epi16(px, zero);
            acc = _mm_add_epi32(acc, _mm_madd_epi16(px, weightPair(w[i], 0)));
        }
        const __m128i packed = roundedPixels(acc, acc);
        dst[x] = uint32_t(_mm_cvtsi128_si32(clampToAlpha(_mm_packus_epi16(packed, packed))));
    }
}
#endif

#if defined(PICTOMAT_WIDE)
PICTOMAT_WIDE_TARGET inline __m256i clampToAlphaWide(__m256i pixels)
{
    __m256i alpha = _mm256_srli_epi32(pixels, 24);
    alpha = _mm256_or_si256(alpha, _mm256_slli_epi32(alpha, 8));
    alpha = _mm256_or_si256(alpha, _mm256_slli_epi32(alpha, 16));
    return _mm256_min_epu8(pixels, alpha);
}

// Pixels [0, end) of the columns pass, eight at a time; returns where it stopped.
PICTOMAT_WIDE_TARGET int columnsWide(const uint32_t* const* rows, const int16_t* w, int n, uint32_t* dst, int width)
{
    const __m256i zero = _mm256_setzero_si256();
    const __m256i half = _mm256_set1_epi32(kHalf);
    int x = 0;
    for (; x + 8 <= width; x += 8) {
        __m256i acc0 = half, acc1 = half, acc2 = half, acc3 = half;
        for (int i = 0; i < n; i += 2) {
            const bool pair = i + 1 < n;
            const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(rows[i] + x));
            const __m256i b = pair ? _mm256_loadu_si256(reinterpret_cast<const __m256i*>(rows[i + 1] + x)) : zero;
            const __m256i ww =
                _mm256_set1_epi32(int32_t(uint16_t(w[i])) | int32_t(uint32_t(uint16_t(pair ? w[i + 1] : 0)) << 16));
            const __m256i alo = _mm256_unpacklo_epi8(a, zero), blo = _mm256_unpacklo_epi8(b, zero);
            const __m256i ahi = _mm256_unpackhi_epi8(a, zero), bhi = _mm256_unpackhi_epi8(b, zero);
            acc0 = _mm256_add_epi32(acc0, _mm256_madd_epi16(_mm256_unpacklo_epi16(alo, blo), ww));
            acc1 = _mm256_add_epi32(acc1, _mm256_madd_epi16(_mm256_unpackhi_epi16(alo, blo), ww));
            acc2 = _mm256_add_epi32(acc2, _mm256_madd_epi16(_mm256_unpacklo_epi16(ahi, bhi), ww));
            acc3 = _mm256_add_epi32(acc3, _mm256_madd_epi16(_mm256_unpackhi_epi16(ahi, bhi), ww));
        }
        // Every step stays within its 128-bit half, so the halves come out
        // as pixels 0-3 and 4-7, in order.
        const __m256i lo = _mm256_packs_epi32(_mm256_srai_epi32(acc0, kBits), _mm256_srai_epi32(acc1, kBits));
        const __m256i hi = _mm256_packs_epi32(_mm256_srai_epi32(acc2, kBits), _mm256_srai_epi32(acc3, kBits));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + x), clampToAlphaWide(_mm256_packus_epi16(lo, hi)));
    }
    return x;
}

// The rows pass, four taps at a time from the weights laid out in quads.
PICTOMAT_WIDE_TARGET void rowsWide(const uint32_t* src, const Taps& taps, uint32_t* dst)
{
    // Within each half: the words of two pixels, b g r a b g r a, paired by
    // channel as the multiply-add takes them: b b g g r r a a.
    const __m256i pairUp = _mm256_setr_epi8(0, 1, 8, 9, 2, 3, 10, 11, 4, 5, 12, 13, 6, 7, 14, 15, 0, 1, 8, 9, 2, 3, 10,
                                            11, 4, 5, 12, 13, 6, 7, 14, 15);
    const __m128i half = _mm_set1_epi32(kHalf);
    const int out = int(taps.start.size());
    for (int x = 0; x < out; ++x) {
        const uint32_t* p = src + taps.start[size_t(x)];
        const auto* w = reinterpret_cast<const __m256i*>(taps.quads.data() + taps.quadOffset[size_t(x)]);
        const int quads = taps.quadCount[size_t(x)];
        __m256i acc = _mm256_setzero_si256();
        for (int q = 0; q < quads; ++q) {
            const __m128i four = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 4 * q));
            const __m256i words = _mm256_shuffle_epi8(_mm256_cvtepu8_epi16(four), pairUp);
            acc = _mm256_add_epi32(acc, _mm256_madd_epi16(words, _mm256_loadu_si256(w + q)));
        }
        __m128i sum = _mm_add_epi32(_mm_add_epi32(_mm256_castsi256_si128(acc), _mm256_extracti128_si256(acc, 1)), half);
        sum = _mm_srai_epi32(sum, kBits);
        const __m128i packed = _mm_packs_epi32(sum, sum);
        dst[x] = uint32_t(_mm_cvtsi128_si32(clampToAlpha(_mm_packus_epi16(packed, packed))));
    }
}
#endif

// What reductions start with; tests compare the paths by changing it.
std::atomic<Vector>& active()
{
    static std::atomic<Vector> vector = [] {
        const Vector chosen = VectorFor(qgetenv("PICTOMAT_VECTOR"));
        qCDebug(lcResample, "the reducer uses its %s kernels",
                chosen == Vector::Avx2   ? "AVX2"
                : chosen == Vector::Sse2 ? "SSE2"
                                         : "plain C++");
        return chosen;
    }();
    return vector;
}

} // namespace

Vector WidestVector()
{
#if defined(PICTOMAT_WIDE)
    static const bool avx2 = __builtin_cpu_supports("avx2");
    if (avx2)
        return Vector::Avx2;
#endif
#if defined(__SSE2__)
    return Vector::Sse2;
#else
    return Vector::Plain;
#endif
}

Vector VectorFor(const QByteArray& setting)
{
    const QByteArray asked = setting.trimmed().toLower();
    Vector vector = WidestVector();
    if (asked == "plain")
        vector = Vector::Plain;
    else if (asked == "sse2")
        vector = Vector::Sse2;
    else if (asked == "avx2")
        vector = Vector::Avx2;
    else if (!asked.isEmpty())
        qCWarning(lcResample, "PICTOMAT_VECTOR=%s is none of plain, sse2 and avx2: the widest kernels run",
                  setting.constData());
    return std::min(vector, WidestVector());
}

Vector ActiveVector()
{
    return active().load(std::memory_order_relaxed);
}

Vector UseVector(Vector vector)
{
    vector = std::min(vector, WidestVector());
    active().store(vector, std::memory_order_relaxed);
    return vector;
}

int LevelFor(QSize source, QSize size)
{
    auto spanAt = [&](int k) { return QSizeF(source) / double(1 << k); };
    int level = 0;
    while (spanAt(level + 1).width() >= kMargin * size.width() && spanAt(level + 1).height() >= kMargin * size.height()
           && spanAt(level).width() >= 2 && spanAt(level).height() >= 2)
        ++level;
    return level;
}

QSize LevelSize(QSize source, int level)
{
    for (int k = 0; k < level; ++k)
        source = QSize((source.width() + 1) / 2, (source.height() + 1) / 2);
    return source;
}

Taps TapsFor(int length, double span, int out, Pass pass)
{
    Taps taps;
    taps.vector = ActiveVector();
    taps.start.resize(size_t(out));
    taps.count.resize(size_t(out));
    taps.offset.resize(size_t(out));
    const double scale = span / out;
    const double stretch = std::max(scale, 1.0);
    const double support = kLobes * stretch;
    // Room for every weight at once: grown a doubling at a time, the weights
    // of a large reduction would touch twice the memory they fill, and fresh
    // memory costs more than computing them.
    const size_t most = size_t(std::min<double>(length, std::floor(2 * support) + 2));
    taps.weights.reserve(size_t(out) * most);
    std::vector<double> w;
    w.reserve(most);
    for (int j = 0; j < out; ++j) {
        const double centre = (j + 0.5) * scale - 0.5;
        const int first = std::max(0, int(std::ceil(centre - support)));
        const int last = std::min(length - 1, int(std::floor(centre + support)));
        w.clear();
        if (last >= first)
            lanczosRun((first - centre) / stretch, 1.0 / stretch, last - first + 1, &w);
        double sum = 0;
        for (double v : w)
            sum += v;
        int begin = first;
        if (w.empty() || sum <= 1e-9) { // nothing under the filter: the nearest pixel
            begin = std::clamp(int(std::lround(centre)), 0, length - 1);
            w.assign(1, 1.0);
            sum = 1.0;
        }
        taps.start[size_t(j)] = begin;
        taps.count[size_t(j)] = int(w.size());
        taps.offset[size_t(j)] = int(taps.weights.size());
        taps.widest = std::max(taps.widest, int(w.size()));
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
    if (pass == Pass::Rows && taps.vector == Vector::Avx2) {
        taps.quadOffset.resize(size_t(out));
        taps.quadCount.resize(size_t(out));
        size_t quads = 0;
        for (int j = 0; j < out; ++j)
            quads += size_t(taps.count[size_t(j)] + 3) / 4;
        taps.quads.reserve(quads * 16);
        for (int j = 0; j < out; ++j) {
            const int n = taps.count[size_t(j)];
            const int16_t* w = taps.weights.data() + taps.offset[size_t(j)];
            taps.quadOffset[size_t(j)] = int(taps.quads.size());
            taps.quadCount[size_t(j)] = (n + 3) / 4;
            for (int q = 0; q < n; q += 4)
                for (int half = 0; half < 2; ++half)
                    for (int channel = 0; channel < 4; ++channel)
                        for (int k = 0; k < 2; ++k) {
                            const int i = q + 2 * half + k;
                            taps.quads.push_back(i < n ? w[i] : int16_t(0));
                        }
        }
    }
    return taps;
}

void ColumnsPass(const uint32_t* const* rows, const Taps& taps, int y, uint32_t* dst, int width)
{
    const int16_t* w = taps.weights.data() + taps.offset[size_t(y)];
    const int n = taps.count[size_t(y)];
    int x = 0;
#if defined(PICTOMAT_WIDE)
    if (taps.vector == Vector::Avx2)
        x = columnsWide(rows, w, n, dst, width);
#endif
#if defined(__SSE2__)
    if (taps.vector >= Vector::Sse2)
        x = columnsSse2(rows, w, n, dst, x, width);
#endif
    columnsPlain(rows, w, n, dst, x, width);
}

void RowsPass(const uint32_t* src, const Taps& taps, uint32_t* dst)
{
#if defined(PICTOMAT_WIDE)
    if (taps.vector == Vector::Avx2) {
        rowsWide(src, taps, dst);
        return;
    }
#endif
#if defined(__SSE2__)
    if (taps.vector >= Vector::Sse2) {
        rowsSse2(src, taps, dst);
        return;
    }
#endif
    rowsPlain(src, taps, dst);
}

void HalveRows(const uint32_t* a, const uint32_t* b, int width, uint32_t* dst)
{
    constexpr uint32_t kMask = 0x00ff00ff;
    const int out = (width + 1) / 2;
    for (int x = 0; x < out; ++x) {
        const int x0 = 2 * x, x1 = std::min(2 * x + 1, width - 1);
        const uint32_t p = a[x0], q = a[x1], r = b[x0], s = b[x1];
        // Two channels per word, each with room for a sum of four.
        const uint32_t even = (p & kMask) + (q & kMask) + (r & kMask) + (s & kMask) + 0x00020002;
        const uint32_t odd =
            ((p >> 8) & kMask) + ((q >> 8) & kMask) + ((r >> 8) & kMask) + ((s >> 8) & kMask) + 0x00020002;
        dst[x] = ((even >> 2) & kMask) | (((odd >> 2) & kMask) << 8);
    }
}

} // namespace pictomat::resample
