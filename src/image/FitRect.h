#pragma once

#include <cstdint>

namespace pictomat {

// A rectangle in the 16-bit coordinates of a drawing port.
struct Rect16 {
    int16_t left = 0;
    int16_t top = 0;
    int16_t right = 0;
    int16_t bottom = 0;

    int width() const { return int(right) - int(left); }
    int height() const { return int(bottom) - int(top); }
    bool operator==(const Rect16&) const = default;
};

// Where a W x H source is drawn in an m x m square: at its natural size and
// centred when it is smaller than the square both ways, else fitted by width
// (wider than tall) or by height and centred the other way. The products are
// 32-bit, the quotients single precision truncated toward zero, the halvings
// integer divisions.
Rect16 FitRectInSquare(int32_t sourceWidth, int32_t sourceHeight, int16_t squareSize);

} // namespace pictomat
