#include "image/ColourProfile.h"

#include <lcms2.h>

#include <memory>

namespace pictomat {

namespace {

struct ProfileCloser {
    void operator()(void* p) const { cmsCloseProfile(p); }
};
struct TransformDeleter {
    void operator()(void* t) const { cmsDeleteTransform(t); }
};
using Profile = std::unique_ptr<void, ProfileCloser>;

// Qt's premultiplied ARGB32 as the bytes lie in memory.
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
constexpr cmsUInt32Number kPixels =
    COLORSPACE_SH(PT_RGB) | EXTRA_SH(1) | CHANNELS_SH(3) | BYTES_SH(1) | DOSWAP_SH(1) | SWAPFIRST_SH(1) | PREMUL_SH(1);
#else
constexpr cmsUInt32Number kPixels = TYPE_ARGB_8_PREMUL;
#endif

QByteArray description(cmsHPROFILE profile)
{
    char text[256] = {};
    cmsGetProfileInfoASCII(profile, cmsInfoDescription, "en", "US", text, sizeof text);
    return QByteArray(text);
}

Profile openProfile(const QByteArray& icc)
{
    if (icc.size() < 132)
        return nullptr;
    return Profile(cmsOpenProfileFromMem(icc.constData(), cmsUInt32Number(icc.size())));
}

bool isSrgb(cmsHPROFILE profile)
{
    // Cameras and editors name their copies of the standard profile so.
    const QByteArray name = description(profile).trimmed().toLower();
    return name.startsWith("srgb") || name.startsWith("iec 61966-2");
}

} // namespace

bool IsSrgbProfile(const QByteArray& iccProfile)
{
    const Profile profile = openProfile(iccProfile);
    return profile && isSrgb(profile.get());
}

void ConvertToSrgb(QImage& picture, const QByteArray& iccProfile)
{
    if (iccProfile.isEmpty() || picture.isNull())
        return;
    const Profile source = openProfile(iccProfile);
    if (!source || cmsGetColorSpace(source.get()) != cmsSigRgbData || isSrgb(source.get()))
        return;
    const Profile srgb(cmsCreate_sRGBProfile());
    if (!srgb)
        return;
    if (picture.format() != QImage::Format_ARGB32_Premultiplied)
        picture = picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const std::unique_ptr<void, TransformDeleter> transform(cmsCreateTransform(
        source.get(), kPixels, srgb.get(), kPixels, INTENT_PERCEPTUAL, cmsFLAGS_COPY_ALPHA));
    if (!transform)
        return;
    uchar* bits = picture.bits();
    cmsDoTransformLineStride(transform.get(), bits, bits, cmsUInt32Number(picture.width()),
                             cmsUInt32Number(picture.height()), cmsUInt32Number(picture.bytesPerLine()),
                             cmsUInt32Number(picture.bytesPerLine()), 0, 0);
}

} // namespace pictomat
