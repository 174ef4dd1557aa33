#include "image/FitRect.h"

#include <climits>

namespace pictomat {

namespace {

// A 32-bit product that wraps the way the 32-bit arithmetic it stands for does,
// rather than being undefined on overflow.
int32_t product32(int32_t a, int32_t b)
{
    return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}

// The single-precision quotient, truncated toward zero. A zero divisor only
// arises from sources with no extent, and gives an empty span.
int32_t quotient(int32_t numerator, int32_t divisor)
{
    if (divisor == 0)
        return 0;
    const float q = static_cast<float>(numerator) / static_cast<float>(divisor);
    // Rounding to single precision can carry a quotient just past the 32-bit range.
    if (q >= 2147483648.0f)
        return INT32_MAX;
    if (q < -2147483648.0f)
        return INT32_MIN;
    return static_cast<int32_t>(q);
}

// Sums and halvings run in 64 bits so that no source size is undefined
// behaviour; coordinates are then cut to 16 bits as the port stores them.
int16_t coord(int64_t value)
{
    return static_cast<int16_t>(value);
}

} // namespace

Rect16 FitRectInSquare(int32_t w, int32_t h, int16_t m)
{
    Rect16 r;
    if (w < m && h < m) {
        r.left = coord((int64_t(m) - w) / 2);
        r.top = coord((int64_t(m) - h) / 2);
        r.right = coord(int64_t(r.left) + w);
        r.bottom = coord(int64_t(r.top) + h);
    } else if (w > h) {
        const int32_t fitted = quotient(product32(h, m), w);
        r.left = 0;
        r.right = m;
        r.top = coord((int64_t(m) - fitted) / 2);
        r.bottom = coord(int64_t(r.top) + fitted);
    } else {
        const int32_t fitted = quotient(product32(w, m), h);
        r.top = 0;
        r.bottom = m;
        r.left = coord((int64_t(m) - fitted) / 2);
        r.right = coord(int64_t(r.left) + fitted);
    }
    return r;
}

} // namespace pictomat
