#include "icns/IcnsCodec.h"

#include <array>

namespace pictomat::icns::codec {

namespace {

// The 16 colours of the classic 4-bit system palette.
constexpr std::array<QRgb, 16> kPalette4 = {
    0xFFFFFFFF, 0xFFFCF305, 0xFFFF6402, 0xFFDD0806, 0xFFF20884, 0xFF4600A5, 0xFF0000D4, 0xFF02ABEA,
    0xFF1FB714, 0xFF006411, 0xFF562C05, 0xFF90713A, 0xFFC0C0C0, 0xFF808080, 0xFF404040, 0xFF000000,
};

// The classic 8-bit system palette: the 6x6x6 colour cube from white down
// (without black), then ramps of red, green, blue and grey, then black.
std::array<QRgb, 256> makePalette8()
{
    std::array<QRgb, 256> p{};
    int i = 0;
    for (int r = 5; r >= 0; --r)
        for (int g = 5; g >= 0; --g)
            for (int b = 5; b >= 0; --b)
                if (i < 215)
                    p[i++] = qRgb(r * 0x33, g * 0x33, b * 0x33);
    const int ramp[10] = {0xEE, 0xDD, 0xBB, 0xAA, 0x88, 0x77, 0x55, 0x44, 0x22, 0x11};
    for (int v : ramp)
        p[i++] = qRgb(v, 0, 0);
    for (int v : ramp)
        p[i++] = qRgb(0, v, 0);
    for (int v : ramp)
        p[i++] = qRgb(0, 0, v);
    for (int v : ramp)
        p[i++] = qRgb(v, v, v);
    p[i] = qRgb(0, 0, 0);
    return p;
}

} // namespace

const QRgb* Palette4()
{
    return kPalette4.data();
}

const QRgb* Palette8()
{
    static const std::array<QRgb, 256> palette = makePalette8();
    return palette.data();
}

} // namespace pictomat::icns::codec
