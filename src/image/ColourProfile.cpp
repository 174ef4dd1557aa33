#include "image/ColourProfile.h"

#include <lcms2.h>

namespace pictomat {

namespace {

struct ProfileCloser {
    void operator()(void* p) const { cmsCloseProfile(p); }
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

SrgbConversion::SrgbConversion(const QByteArray& iccProfile)
{
    if (iccProfile.isEmpty())
        return;
    const Profile source = openProfile(iccProfile);
    if (!source || cmsGetColorSpace(source.get()) != cmsSigRgbData || isSrgb(source.get()))
        return;
    const Profile srgb(cmsCreate_sRGBProfile());
    if (!srgb)
        return;
    m_transform.reset(
        cmsCreateTransform(source.get(), kPixels, srgb.get(), kPixels, INTENT_PERCEPTUAL, cmsFLAGS_COPY_ALPHA));
}

SrgbConversion::~SrgbConversion() = default;

void SrgbConversion::Deleter::operator()(void* transform) const
{
    cmsDeleteTransform(transform);
}

void SrgbConversion::convert(uchar* pixels, int width, int count, qsizetype stride) const
{
    if (m_transform && width > 0 && count > 0)
        cmsDoTransformLineStride(m_transform.get(), pixels, pixels, cmsUInt32Number(width), cmsUInt32Number(count),
                                 cmsUInt32Number(stride), cmsUInt32Number(stride), 0, 0);
}

void ConvertToSrgb(QImage& picture, const QByteArray& iccProfile)
{
    if (iccProfile.isEmpty() || picture.isNull())
        return;
    const SrgbConversion conversion(iccProfile);
    if (!conversion.active())
        return;
    if (picture.format() != QImage::Format_ARGB32_Premultiplied)
        picture = picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    conversion.convert(picture.bits(), picture.width(), picture.height(), picture.bytesPerLine());
}

} // namespace pictomat
