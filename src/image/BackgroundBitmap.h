#pragma once

#include <QImage>

#include <cstdint>
#include <optional>

namespace pictomat {

// The largest bitmap edge we agree to make: far beyond any icon size, and
// small enough that the few bitmaps of one export (background, icon, the
// writer's copy) stay well under a gigabyte and are drawn in moments.
inline constexpr int kMaxBitmapEdge = 4096;

// The colour icons are drawn over, components from 0 to 1. Values from a
// hand-edited preference file may be anything: NaN counts as 1, the rest is
// clamped into range.
struct BackgroundColor {
    float red = 1.0f;
    float green = 1.0f;
    float blue = 1.0f;
    float alpha = 1.0f;
};

// A width x height bitmap, premultiplied RGBA in memory order, rows of exactly
// width * 4 bytes, cleared and then filled with the colour. Nothing for a
// width or height of 0 or less or past kMaxBitmapEdge, or when the buffer
// cannot be had.
std::optional<QImage> CreateBackgroundBitmap(int32_t width, int32_t height, const BackgroundColor& color);

} // namespace pictomat
