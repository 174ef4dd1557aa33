#pragma once

// The arithmetic every reduction is made of, shared by the reducer of whole
// pictures and the one that takes rows as they are decoded, so that both give
// the same pixels: whole-factor 2 x 2 box means, and a separable Lanczos
// filter (three lobes) in 14-bit fixed point on premultiplied ARGB32 pixels.

#include <QByteArray>
#include <QSize>

#include <cstdint>
#include <vector>

namespace pictomat::resample {

// The instructions the kernels run on, narrowest first. Every one gives the
// same pixels: the sums are the same integers in another order.
enum class Vector { Plain, Sse2, Avx2 };
// The widest this build and this processor run.
Vector WidestVector();
// The widest that PICTOMAT_VECTOR (`plain`, `sse2` or `avx2`, any case)
// allows, within WidestVector(); unset, empty or unknown: WidestVector().
Vector VectorFor(const QByteArray& setting);
// What the kernels use from now on: VectorFor(PICTOMAT_VECTOR), read once.
Vector ActiveVector();
// Has reductions started from now on use `vector` (or the widest there is,
// when it is wider), on every thread; returns what they use. For comparing
// the paths: a reduction under way keeps its own.
Vector UseVector(Vector vector);

// The box averages stop at sixteen times the size asked for: below that the
// Lanczos filter does the rest, which keeps small sizes as sharp as a Lanczos
// filter over the whole picture (within a decibel) at a fraction of its cost.
inline constexpr double kMargin = 16.0;

// How many times a picture of `source` pixels is halved before it is
// filtered to `size`: the smallest average still kMargin times as large.
int LevelFor(QSize source, QSize size);
// The size of the picture after `level` halvings (a partial box at an odd
// edge counts as a box).
QSize LevelSize(QSize source, int level);

// For each output pixel, the run of input pixels it is made of and their
// weights (fixed point, summing to one). `span` is how many pixels of the
// picture the input stands for; it differs from `length` by less than one
// when box averaging left a partial box at the end.
struct Taps {
    Vector vector = Vector::Plain; // the kernels these taps are passed through
    std::vector<int> start, count, offset;
    std::vector<int16_t> weights;
    int widest = 0; // the largest count
    // The same weights in groups of four per output pixel, zero-padded and
    // laid out for the wide rows pass; empty where that pass is not used.
    std::vector<int16_t> quads;
    std::vector<int> quadOffset, quadCount;
};
// Which pass the taps are for: only the rows pass reads them in quads.
enum class Pass { Columns, Rows };
// Taps for the ActiveVector() kernels.
Taps TapsFor(int length, double span, int out, Pass pass);

// Pixels a row handed to RowsPass must hold past its width: the wide pass
// reads whole groups of four.
inline constexpr int kRowPadding = 4;

// One output row of the columns pass: each pixel the weighted sum of the
// pixels above one another in `rows` (taps.count[y] of them, from
// taps.start[y]), `width` pixels.
void ColumnsPass(const uint32_t* const* rows, const Taps& taps, int y, uint32_t* out, int width);
// One row of the rows pass: `in` (with kRowPadding pixels to spare) filtered
// across into taps.start.size() pixels of `out`.
void RowsPass(const uint32_t* in, const Taps& taps, uint32_t* out);
// The mean of each 2 x 2 box of rows `a` and `b` (the same row at an odd
// bottom edge), `width` input pixels into (width + 1) / 2.
void HalveRows(const uint32_t* a, const uint32_t* b, int width, uint32_t* out);

} // namespace pictomat::resample
