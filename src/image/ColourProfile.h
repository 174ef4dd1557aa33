#pragma once

#include <QByteArray>
#include <QImage>

#include <memory>

namespace pictomat {

// Brings a picture's pixels (premultiplied ARGB32) from the colour space its
// embedded ICC profile describes into sRGB, which is what icons and the
// desktop show, in place. A picture without a profile, with an sRGB one, or
// with one that is not for RGB or cannot be read is left as it is.
void ConvertToSrgb(QImage& picture, const QByteArray& iccProfile);

// The same conversion made once for a picture whose rows come one by one.
class SrgbConversion {
public:
    explicit SrgbConversion(const QByteArray& iccProfile);
    ~SrgbConversion();
    SrgbConversion(const SrgbConversion&) = delete;
    SrgbConversion& operator=(const SrgbConversion&) = delete;
    // Whether rows change at all.
    bool active() const { return bool(m_transform); }
    // `count` rows of `width` premultiplied ARGB32 pixels, `stride` bytes apart, in place.
    void convert(uchar* pixels, int width, int count, qsizetype stride) const;

private:
    struct Deleter {
        void operator()(void* transform) const;
    };
    std::unique_ptr<void, Deleter> m_transform;
};

// Whether the profile describes sRGB itself (nothing to convert).
bool IsSrgbProfile(const QByteArray& iccProfile);

} // namespace pictomat
