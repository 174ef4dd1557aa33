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

// Little CMS, opened with the first picture whose profile is not sRGB's.
struct LcmsLibrary;

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
        const LcmsLibrary* lib;
        void operator()(void* transform) const;
    };
    std::unique_ptr<void, Deleter> m_transform;
};

// Whether the profile describes sRGB itself (nothing to convert).
bool IsSrgbProfile(const QByteArray& iccProfile);

// The sRGB profile as ICC bytes, for formats that are tagged by a profile;
// empty when Little CMS cannot be opened.
QByteArray SrgbIccProfile();

} // namespace pictomat
