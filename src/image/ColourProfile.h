#pragma once

#include <QByteArray>
#include <QImage>

namespace pictomat {

// Brings a picture's pixels (premultiplied ARGB32) from the colour space its
// embedded ICC profile describes into sRGB, which is what icons and the
// desktop show, in place. A picture without a profile, with an sRGB one, or
// with one that is not for RGB or cannot be read is left as it is.
void ConvertToSrgb(QImage& picture, const QByteArray& iccProfile);

// Whether the profile describes sRGB itself (nothing to convert).
bool IsSrgbProfile(const QByteArray& iccProfile);

} // namespace pictomat
