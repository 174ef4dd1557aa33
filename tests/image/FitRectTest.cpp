#include "image/FitRect.h"
#include "image/MediaIcons.h"

#include <gtest/gtest.h>

namespace pictomat {
namespace {

TEST(FitRectInSquare, PlacesSourcesAsTheIconRowsNeed)
{
    const struct {
        int32_t w, h;
        int16_t m;
        Rect16 expected;
    } cases[] = {
        {64, 32, 16, {0, 4, 16, 12}}, // wider than tall: fitted by width, centred vertically
        {10, 10, 16, {3, 3, 13, 13}}, // smaller both ways: natural size, centred
        {10, 10, 32, {11, 11, 21, 21}},
        {100, 300, 48, {16, 0, 32, 48}}, // taller: fitted by height, centred horizontally
        {16, 16, 16, {0, 0, 16, 16}},    // not smaller than m: fitted, fills
        {640, 480, 16, {0, 2, 16, 14}},
        {7, 5, 16, {4, 5, 11, 10}},   // odd margins halve toward zero
        {30, 20, 16, {0, 3, 16, 13}}, // 320 / 30 = 10.67 is truncated, not rounded
        {20, 30, 16, {3, 0, 13, 16}},
        {15, 20, 16, {2, 0, 14, 16}}, // one edge reaching m is enough to be fitted
        {0, 0, 16, {8, 8, 8, 8}},     // no extent: empty, no division by zero
        {0, 0, 0, {0, 0, 0, 0}},
        {INT32_MAX, 1, 512, {0, 256, 512, 256}},
    };
    for (const auto& c : cases) {
        const Rect16 r = FitRectInSquare(c.w, c.h, c.m);
        EXPECT_EQ(r, c.expected) << c.w << "x" << c.h << " at " << c.m << ": got " << r.left << "," << r.top << ","
                                 << r.right << "," << r.bottom;
    }
    for (int m : kIconFamilySizes)
        EXPECT_EQ(FitRectInSquare(2000, 2000, int16_t(m)), (Rect16{0, 0, int16_t(m), int16_t(m)})) << m;
}

} // namespace
} // namespace pictomat
