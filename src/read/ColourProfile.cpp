#include "read/ColourProfile.h"

#include "files/SharedLibrary.h"
#include "read/ReaderLibraries.h"

#include <lcms2.h>

namespace pictomat {

struct LcmsLibrary {
    PICTOMAT_LIBRARY_TABLE(PICTOMAT_LCMS2_FUNCTIONS)
};

namespace {

const LcmsLibrary* lcms()
{
    return LoadLibrary<LcmsLibrary>(PICTOMAT_LIBRARY_LCMS2);
}

struct ProfileCloser {
    const LcmsLibrary* lib;
    void operator()(void* p) const { lib->cmsCloseProfile(p); }
};
using Profile = std::unique_ptr<void, ProfileCloser>;

// Qt's premultiplied ARGB32 as the bytes lie in memory.
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
constexpr cmsUInt32Number kPixels =
    COLORSPACE_SH(PT_RGB) | EXTRA_SH(1) | CHANNELS_SH(3) | BYTES_SH(1) | DOSWAP_SH(1) | SWAPFIRST_SH(1) | PREMUL_SH(1);
#else
constexpr cmsUInt32Number kPixels = TYPE_ARGB_8_PREMUL;
#endif

QByteArray description(const LcmsLibrary& lib, cmsHPROFILE profile)
{
    char text[256] = {};
    lib.cmsGetProfileInfoASCII(profile, cmsInfoDescription, "en", "US", text, sizeof text);
    return QByteArray(text);
}

// Nothing, too, when Little CMS cannot be opened: the picture keeps its colours.
Profile openProfile(const LcmsLibrary* lib, const QByteArray& icc)
{
    if (icc.size() < 132 || !lib)
        return Profile(nullptr, {lib});
    return Profile(lib->cmsOpenProfileFromMem(icc.constData(), cmsUInt32Number(icc.size())), {lib});
}

bool isSrgb(const LcmsLibrary& lib, cmsHPROFILE profile)
{
    // Cameras and editors name their copies of the standard profile so.
    const QByteArray name = description(lib, profile).trimmed().toLower();
    return name.startsWith("srgb") || name.startsWith("iec 61966-2");
}

} // namespace

bool IsSrgbProfile(const QByteArray& iccProfile)
{
    const LcmsLibrary* lib = lcms();
    const Profile profile = openProfile(lib, iccProfile);
    return profile && isSrgb(*lib, profile.get());
}

SrgbConversion::SrgbConversion(const QByteArray& iccProfile)
{
    if (iccProfile.isEmpty())
        return;
    const LcmsLibrary* lib = lcms();
    const Profile source = openProfile(lib, iccProfile);
    if (!source || lib->cmsGetColorSpace(source.get()) != cmsSigRgbData || isSrgb(*lib, source.get()))
        return;
    const Profile srgb(lib->cmsCreate_sRGBProfile(), {lib});
    if (!srgb)
        return;
    m_transform = std::unique_ptr<void, Deleter>(
        lib->cmsCreateTransform(source.get(), kPixels, srgb.get(), kPixels, INTENT_PERCEPTUAL, cmsFLAGS_COPY_ALPHA),
        {lib});
}

SrgbConversion::~SrgbConversion() = default;

void SrgbConversion::Deleter::operator()(void* transform) const
{
    lib->cmsDeleteTransform(transform);
}

void SrgbConversion::convert(uchar* pixels, int width, int count, qsizetype stride) const
{
    if (m_transform && width > 0 && count > 0)
        m_transform.get_deleter().lib->cmsDoTransformLineStride(m_transform.get(), pixels, pixels,
                                                                cmsUInt32Number(width), cmsUInt32Number(count),
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

QByteArray SrgbIccProfile()
{
    static const QByteArray profile = [] {
        const LcmsLibrary* lib = lcms();
        if (!lib)
            return QByteArray();
        const Profile srgb(lib->cmsCreate_sRGBProfile(), {lib});
        cmsUInt32Number size = 0;
        QByteArray bytes;
        if (srgb && lib->cmsSaveProfileToMem(srgb.get(), nullptr, &size) && size > 0) {
            bytes.resize(qsizetype(size));
            if (!lib->cmsSaveProfileToMem(srgb.get(), bytes.data(), &size))
                bytes.clear();
        }
        return bytes;
    }();
    return profile;
}

} // namespace pictomat
