// The reducer's kernels run in plain C++, with SSE2 or with AVX2, whichever
// the processor has; all of them must give the same bytes, for the whole
// picture and for rows streamed from a decoder alike.
#include "resample/Kernels.h"
#include "resample/Reducer.h"
#include "resample/RowReducer.h"

#include <QImage>
#include <QMap>
#include <QRect>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <ostream>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace pictomat::resample {
void PrintTo(Vector vector, std::ostream* out)
{
    *out << (vector == Vector::Plain ? "plain" : vector == Vector::Sse2 ? "sse2" : "avx2");
}
} // namespace pictomat::resample

namespace pictomat {
namespace {

using resample::Vector;

std::string nameOf(Vector vector)
{
    return ::testing::PrintToString(vector);
}

std::string sizeText(QSize size)
{
    return std::to_string(size.width()) + "x" + std::to_string(size.height());
}

// Filled around every output, to show a kernel that writes past its pixels.
constexpr uint32_t kSentinel = 0x5a3c96e1;

// Where two pictures first differ in their pixels' bytes; empty when they do not.
std::string difference(const QImage& a, const QImage& b)
{
    if (a.size() != b.size() || a.isNull() != b.isNull())
        return "size " + sizeText(a.size()) + " against " + sizeText(b.size());
    for (int y = 0; y < a.height(); ++y) {
        const auto* p = reinterpret_cast<const uint32_t*>(a.constScanLine(y));
        const auto* q = reinterpret_cast<const uint32_t*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x)
            if (p[x] != q[x])
                return "pixel (" + std::to_string(x) + ", " + std::to_string(y)
                       + "): " + QByteArray::number(p[x], 16).toStdString() + " against "
                       + QByteArray::number(q[x], 16).toStdString();
    }
    return {};
}

// Whether every pixel of `canvas` outside `inner` is still the sentinel.
bool onlyInsideWritten(const QImage& canvas, QRect inner)
{
    for (int y = 0; y < canvas.height(); ++y) {
        const auto* p = reinterpret_cast<const uint32_t*>(canvas.constScanLine(y));
        for (int x = 0; x < canvas.width(); ++x)
            if (!inner.contains(x, y) && p[x] != kSentinel)
                return false;
    }
    return true;
}

QImage canvasAround(QSize size, QPoint at)
{
    QImage canvas(size + QSize(at.x() + 3, at.y() + 2), QImage::Format_ARGB32_Premultiplied);
    canvas.fill(kSentinel);
    return canvas;
}

enum class Kind {
    Mixed,       // blocks of opaque noise, soft alpha, transparency and hard extremes
    Opaque,      // noise, every pixel opaque
    Transparent, // nothing at all
};

// A premultiplied picture of `kind`, the same for the same seed. The mixed
// one puts edges between opaque, translucent and empty pixels everywhere,
// and pixels of only 0 and full values where the filter's lobes overshoot most.
QImage picture(QSize size, Kind kind, uint32_t seed)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    std::mt19937 random(seed);
    const int block = 2 + int(seed % 4);
    const int across = (size.width() + block - 1) / block;
    std::vector<int> kinds(size_t(across) * size_t((size.height() + block - 1) / block));
    for (int& k : kinds)
        k = int(random() % 4);
    for (int y = 0; y < size.height(); ++y) {
        auto* row = reinterpret_cast<uint32_t*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const uint32_t bits = random();
            int a = 255, r = int(bits & 0xff), g = int((bits >> 8) & 0xff), b = int((bits >> 16) & 0xff);
            if (kind == Kind::Transparent) {
                a = r = g = b = 0;
            } else if (kind == Kind::Mixed) {
                switch (kinds[size_t(y / block) * size_t(across) + size_t(x / block)]) {
                case 1: // soft alpha
                    a = int(bits >> 24);
                    r = r * a / 255, g = g * a / 255, b = b * a / 255;
                    break;
                case 2: // fully transparent
                    a = r = g = b = 0;
                    break;
                case 3: // each channel none or all of its alpha
                    a = (bits >> 24) & 1 ? 255 : 0;
                    r = (bits & 1) ? a : 0, g = (bits & 2) ? a : 0, b = (bits & 4) ? a : 0;
                    break;
                default: // opaque noise
                    break;
                }
            }
            row[x] = uint32_t(b) | uint32_t(g) << 8 | uint32_t(r) << 16 | uint32_t(a) << 24;
        }
    }
    return image;
}

// Across and down: near one, halves and thirds, and ratios that leave every
// phase between input and output pixels.
constexpr std::pair<double, double> kRatios[] = {{0.97, 0.99}, {0.9, 0.75},    {2.0 / 3, 2.0 / 3}, {0.5, 0.5},
                                                 {0.37, 0.41}, {1.0 / 3, 0.3}, {0.25, 0.2},        {0.1, 0.13}};

enum class Ratios {
    All,  // kRatios, and deep ones
    Deep, // only those deep enough for box averages, each leaving the filter another ratio
};

// Reductions of `ratios` and tiny targets, with a few sizes larger and the
// size itself when `larger`.
std::vector<QSize> targetsFor(QSize source, Ratios ratios, bool larger)
{
    std::vector<QSize> targets;
    auto add = [&](int w, int h) {
        const QSize size(std::max(w, 1), std::max(h, 1));
        if (std::find(targets.begin(), targets.end(), size) == targets.end())
            targets.push_back(size);
    };
    auto scaled = [&](double across, double down) {
        add(int(std::lround(source.width() * across)), int(std::lround(source.height() * down)));
    };
    if (ratios == Ratios::All) {
        for (const auto& [across, down] : kRatios)
            scaled(across, down);
        add(source.width() - 1, source.height() - 1);
        add(source.width() - 1, source.height());
        add(source.width() / 2, source.height() / 5);
    }
    for (const double ratio : {17.0, 19.5, 23.0, 31.0, 33.0, 40.0, 47.0, 64.0, 70.0, 101.0})
        scaled(1 / ratio, 1 / (ratio + 2));
    for (const QSize tiny : {QSize(1, 1), QSize(1, 2), QSize(2, 1), QSize(3, 3), QSize(7, 5)})
        add(tiny.width(), tiny.height());
    if (larger) {
        add(source.width(), source.height());
        add(source.width() * 3 / 2 + 1, source.height() * 5 / 4);
        add(source.width() + 1, source.height() + 2);
    }
    return targets;
}

// The outputs of one path: the whole picture reduced, the same written into
// a larger picture, and rows streamed, for every target.
struct Outputs {
    std::vector<QImage> whole, into, streamed;
};

class KernelPaths : public ::testing::Test {
protected:
    void TearDown() override { resample::UseVector(m_before); }

    // Every path this processor runs, narrowest first: plain C++ everywhere.
    static std::vector<Vector> paths()
    {
        std::vector<Vector> all;
        for (Vector vector : {Vector::Plain, Vector::Sse2, Vector::Avx2})
            if (vector <= resample::WidestVector())
                all.push_back(vector);
        return all;
    }

    static Outputs reduce(const QImage& source, const std::vector<QSize>& targets, const std::string& what)
    {
        Outputs made;
        PictureReducer reducer(source);
        QVector<RowReducer::Target> rowTargets;
        std::vector<QImage> rowCanvases(targets.size());
        for (size_t i = 0; i < targets.size(); ++i) {
            const QSize size = targets[i];
            const QPoint at(int(i % 5), 1 + int(i % 3));
            made.whole.push_back(reducer.reduced(size));
            EXPECT_EQ(made.whole.back().size(), size) << what << " to " << sizeText(size);

            QImage canvas = canvasAround(size, at);
            EXPECT_TRUE(reducer.reduceInto(canvas, at, size)) << what << " to " << sizeText(size);
            EXPECT_TRUE(onlyInsideWritten(canvas, QRect(at, size))) << what << " into " << sizeText(size);
            made.into.push_back(canvas.copy(QRect(at, size)));

            rowCanvases[i] = canvasAround(size, at);
            rowTargets.append(RowReducer::Target{&rowCanvases[i], at, size});
        }
        RowReducer rows(source.size(), rowTargets);
        EXPECT_TRUE(rows.valid()) << what;
        for (int y = 0; y < source.height(); ++y)
            rows.addRow(reinterpret_cast<const uint32_t*>(source.constScanLine(y)));
        EXPECT_TRUE(rows.finish()) << what;
        for (size_t i = 0; i < targets.size(); ++i) {
            const QRect inner(rowTargets[qsizetype(i)].at, targets[i]);
            EXPECT_TRUE(onlyInsideWritten(rowCanvases[i], inner)) << what << " streamed to " << sizeText(targets[i]);
            made.streamed.push_back(rowCanvases[i].copy(inner));
        }
        return made;
    }

    // Reduces `source` to every target on every path, and expects of each
    // path's pictures the bytes plain C++ makes of the whole picture, which
    // it returns.
    static std::vector<QImage> expectOneResult(const QImage& source, const std::vector<QSize>& targets,
                                               const std::string& what)
    {
        std::vector<Outputs> byPath;
        for (Vector vector : paths()) {
            EXPECT_EQ(resample::UseVector(vector), vector);
            byPath.push_back(reduce(source, targets, nameOf(vector) + ", " + what));
        }
        const std::vector<QImage> reference = byPath.front().whole;
        for (size_t p = 0; p < byPath.size(); ++p)
            for (size_t i = 0; i < targets.size(); ++i) {
                const std::string at = nameOf(paths()[p]) + ", " + what + " to " + sizeText(targets[i]);
                EXPECT_EQ(difference(byPath[p].whole[i], reference[i]), "") << at << ", whole";
                EXPECT_EQ(difference(byPath[p].into[i], reference[i]), "") << at << ", into a larger picture";
                EXPECT_EQ(difference(byPath[p].streamed[i], reference[i]), "") << at << ", streamed";
            }
        return reference;
    }

private:
    Vector m_before = resample::ActiveVector();
};

TEST_F(KernelPaths, EveryPathGivesTheSameBytesForSmallAndOddPictures)
{
    // Every width modulo eight, so that each wide kernel leaves each tail to the narrower ones.
    const QSize sources[] = {{1, 1},   {2, 3},   {3, 2},   {5, 7},     {8, 8},     {9, 15},   {12, 11},  {16, 17},
                             {31, 33}, {64, 64}, {97, 50}, {130, 129}, {251, 250}, {254, 83}, {517, 389}};
    uint32_t seed = 1;
    for (const QSize source : sources)
        expectOneResult(picture(source, Kind::Mixed, seed++), targetsFor(source, Ratios::All, source.width() < 300),
                        "mixed " + sizeText(source));
}

TEST_F(KernelPaths, EveryPathGivesTheSameBytesForLargePicturesReducedThroughBoxAverages)
{
    uint32_t seed = 100;
    for (const QSize source : {QSize(1203, 1001), QSize(2049, 1539), QSize(1500, 120)})
        expectOneResult(picture(source, Kind::Mixed, seed++), targetsFor(source, Ratios::Deep, false),
                        "mixed " + sizeText(source));
}

TEST_F(KernelPaths, OpaquePicturesStayOpaqueAndEmptyOnesEmptyOnEveryPath)
{
    for (const QSize source : {QSize(7, 9), QSize(130, 97), QSize(601, 433)}) {
        const std::vector<QSize> targets = targetsFor(source, Ratios::All, source.width() < 300);
        const std::vector<QImage> opaque =
            expectOneResult(picture(source, Kind::Opaque, 7), targets, "opaque " + sizeText(source));
        const std::vector<QImage> empty =
            expectOneResult(picture(source, Kind::Transparent, 7), targets, "transparent " + sizeText(source));
        for (size_t i = 0; i < targets.size(); ++i) {
            QImage none(targets[i], QImage::Format_ARGB32_Premultiplied);
            none.fill(0u);
            EXPECT_EQ(difference(empty[i], none), "") << sizeText(source) << " to " << sizeText(targets[i]);
            QImage full(targets[i], QImage::Format_Alpha8);
            full.fill(Qt::white);
            EXPECT_TRUE(opaque[i].convertToFormat(QImage::Format_Alpha8) == full)
                << sizeText(source) << " to " << sizeText(targets[i]);
        }
    }
}

TEST_F(KernelPaths, PictomatVectorCapsThePathAtWhatTheProcessorRuns)
{
    const Vector widest = resample::WidestVector();
#if defined(__x86_64__)
    EXPECT_GE(widest, Vector::Sse2); // the vector kernels are built in
#endif
    EXPECT_EQ(resample::VectorFor("plain"), Vector::Plain);
    EXPECT_EQ(resample::VectorFor(" SSE2\n"), std::min(Vector::Sse2, widest));
    EXPECT_EQ(resample::VectorFor("avx2"), widest);
    EXPECT_EQ(resample::VectorFor(""), widest);
    EXPECT_EQ(resample::VectorFor("avx512"), widest);
    EXPECT_EQ(resample::UseVector(Vector::Plain), Vector::Plain);
    EXPECT_EQ(resample::ActiveVector(), Vector::Plain);
    EXPECT_EQ(resample::UseVector(Vector::Avx2), widest);
}

} // namespace
} // namespace pictomat
