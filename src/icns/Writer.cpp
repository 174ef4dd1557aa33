#include "icns/IconFamily.h"

#include "icns/IcnsCodec.h"

namespace pictomat::icns {

using namespace codec;

namespace {

// Byte offsets of R, G, B and A inside an ARGB32 pixel in memory.
constexpr bool kLittle = Q_BYTE_ORDER == Q_LITTLE_ENDIAN;
constexpr int kR = kLittle ? 2 : 1;
constexpr int kG = kLittle ? 1 : 2;
constexpr int kB = kLittle ? 0 : 3;
constexpr int kA = kLittle ? 3 : 0;

} // namespace

QByteArray codec::RgbPayload(const QImage& image, bool withZeroPrefix)
{
    const qsizetype pixels = qsizetype(image.width()) * image.height();
    const uchar* bits = image.constBits();
    QByteArray out;
    out.reserve(pixels * 3 + 16);
    if (withZeroPrefix)
        out.append(4, '\0');
    // A leading 0x00 looks like the it32 prefix to some readers.
    RleEncode(bits + kR, pixels, 4, &out, !withZeroPrefix);
    RleEncode(bits + kG, pixels, 4, &out);
    RleEncode(bits + kB, pixels, 4, &out);
    // Some decoders drop the last run unless a byte follows it, and a payload
    // of exactly three bytes per pixel is taken for raw RGB.
    out.append('\0');
    if (out.size() - (withZeroPrefix ? 4 : 0) == 3 * pixels)
        out.append('\0');
    return out;
}

QByteArray codec::MaskPayload(const QImage& image)
{
    const qsizetype pixels = qsizetype(image.width()) * image.height();
    QByteArray out(pixels, Qt::Uninitialized);
    const uchar* bits = image.constBits();
    for (qsizetype i = 0; i < pixels; ++i)
        out[i] = char(bits[i * 4 + kA]);
    return out;
}

namespace {

// The picture at its slot's size, as ARGB32, premultiplied or not (the PNG
// encoder takes both without a copy).
QImage prepared(const QImage& source, int size)
{
    if (source.width() == size && source.height() == size
        && (source.format() == QImage::Format_ARGB32 || source.format() == QImage::Format_ARGB32_Premultiplied))
        return source;
    QImage image = source.convertToFormat(QImage::Format_ARGB32);
    if (image.width() != size || image.height() != size)
        image = image.scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                    .convertToFormat(QImage::Format_ARGB32);
    return image;
}

struct PngSlot {
    int size;
    OSType type;
};
constexpr PngSlot kPngSlots[] = {
    {32, MakeOSType("ic11")},  {64, MakeOSType("ic12")},  {128, MakeOSType("ic07")}, {256, MakeOSType("ic13")},
    {256, MakeOSType("ic08")}, {512, MakeOSType("ic14")}, {512, MakeOSType("ic09")}, {1024, MakeOSType("ic10")},
};

} // namespace

bool IconFamily::hasPngSlot(int edge)
{
    for (const PngSlot& slot : kPngSlots)
        if (slot.size == edge)
            return true;
    return false;
}

IconFamily IconFamily::fromImages(const QMap<int, QImage>& imagesByPixelSize, const WriteOptions& options,
                                  const QMap<int, QByteArray>& pngs)
{
    QMap<int, QImage> images;
    for (auto it = imagesByPixelSize.cbegin(); it != imagesByPixelSize.cend(); ++it)
        if (it.key() > 0 && it.key() <= kMaxDecodedEdge && !it.value().isNull())
            images.insert(it.key(), prepared(it.value(), it.key()));

    IconFamily family;
    struct Legacy {
        int size;
        OSType data;
        OSType mask;
        bool wanted;
    };
    const Legacy legacy[] = {
        {16, MakeOSType("is32"), MakeOSType("s8mk"), true},
        {32, MakeOSType("il32"), MakeOSType("l8mk"), true},
        {48, MakeOSType("ih32"), MakeOSType("h8mk"), options.legacy48},
        {128, MakeOSType("it32"), MakeOSType("t8mk"), options.legacy128},
    };
    for (const Legacy& l : legacy) {
        if (!l.wanted || !images.contains(l.size))
            continue;
        const QImage image = images[l.size].convertToFormat(QImage::Format_ARGB32);
        family.setElement(l.data, RgbPayload(image, l.size == 128));
        family.setElement(l.mask, MaskPayload(image));
    }

    // The 1x and @2x slots of one edge share the same bytes.
    QMap<int, QByteArray> pngBySize = pngs;
    const QList<int> sizes = images.keys();
    for (auto size = sizes.crbegin(); size != sizes.crend(); ++size)
        if (hasPngSlot(*size) && !pngBySize.contains(*size))
            pngBySize.insert(*size, EncodePng(images[*size]));
    for (const PngSlot& slot : kPngSlots) {
        const QByteArray png = pngBySize.value(slot.size);
        if (!png.isEmpty())
            family.setElement(slot.type, png);
    }
    return family;
}

} // namespace pictomat::icns
