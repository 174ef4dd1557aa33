#include "icns/IcnsCodec.h"

#include <QBuffer>
#include <QImageReader>

#include <array>
#include <cstring>

namespace pictomat::icns::codec {

namespace {

constexpr OSType T(const char (&code)[5])
{
    return MakeOSType(code);
}

constexpr std::array<Kind, 37> kKinds = {{
    {T("is32"), 16, 16, 1, Payload::Rgb, T("s8mk")},
    {T("il32"), 32, 32, 1, Payload::Rgb, T("l8mk")},
    {T("ih32"), 48, 48, 1, Payload::Rgb, T("h8mk")},
    {T("it32"), 128, 128, 1, Payload::Rgb, T("t8mk")},
    {T("s8mk"), 16, 16, 1, Payload::Mask8, 0},
    {T("l8mk"), 32, 32, 1, Payload::Mask8, 0},
    {T("h8mk"), 48, 48, 1, Payload::Mask8, 0},
    {T("t8mk"), 128, 128, 1, Payload::Mask8, 0},
    {T("ic04"), 16, 16, 1, Payload::Argb, 0},
    {T("ic05"), 32, 32, 1, Payload::Argb, 0},
    {T("icp4"), 16, 16, 1, Payload::Rgb, T("s8mk")},
    {T("icp5"), 32, 32, 1, Payload::Rgb, T("l8mk")},
    {T("icp6"), 64, 64, 1, Payload::Rgb, 0},
    {T("ic07"), 128, 128, 1, Payload::Png, 0},
    {T("ic08"), 256, 256, 1, Payload::Png, 0},
    {T("ic09"), 512, 512, 1, Payload::Png, 0},
    {T("ic10"), 1024, 1024, 2, Payload::Png, 0},
    {T("ic11"), 32, 32, 2, Payload::Png, 0},
    {T("ic12"), 64, 64, 2, Payload::Png, 0},
    {T("ic13"), 256, 256, 2, Payload::Png, 0},
    {T("ic14"), 512, 512, 2, Payload::Png, 0},
    {T("ICON"), 32, 32, 1, Payload::Mono, 0},
    {T("ICN#"), 32, 32, 1, Payload::Mono, T("ICN#")},
    {T("icm#"), 16, 12, 1, Payload::Mono, T("icm#")},
    {T("ics#"), 16, 16, 1, Payload::Mono, T("ics#")},
    {T("ich#"), 48, 48, 1, Payload::Mono, T("ich#")},
    {T("icl4"), 32, 32, 1, Payload::Indexed4, T("ICN#")},
    {T("icl8"), 32, 32, 1, Payload::Indexed8, T("ICN#")},
    {T("ics4"), 16, 16, 1, Payload::Indexed4, T("ics#")},
    {T("ics8"), 16, 16, 1, Payload::Indexed8, T("ics#")},
    {T("ich4"), 48, 48, 1, Payload::Indexed4, T("ich#")},
    {T("ich8"), 48, 48, 1, Payload::Indexed8, T("ich#")},
    {T("icm4"), 16, 12, 1, Payload::Indexed4, T("icm#")},
    {T("icm8"), 16, 12, 1, Payload::Indexed8, T("icm#")},
    {T("icsb"), 18, 18, 1, Payload::Png, 0},
    {T("sb24"), 24, 24, 1, Payload::Png, 0},
    {T("SB24"), 48, 48, 2, Payload::Png, 0},
}};

const uchar* bytes(const QByteArray& data)
{
    return reinterpret_cast<const uchar*>(data.constData());
}

QImage newImage(int w, int h)
{
    QImage image(w, h, QImage::Format_ARGB32);
    image.fill(0xFF000000);
    return image;
}

// Alpha from an 8-bit mask element, or from the mask half of a 1-bit "#" kind.
void applyMask(const IconFamily& family, const Kind& kind, QImage* image)
{
    const int w = kind.width, h = kind.height;
    const qsizetype pixels = qsizetype(w) * h;
    const QByteArray* mask8 = nullptr;
    if (kind.mask != 0 && FindKind(kind.mask) && FindKind(kind.mask)->payload == Payload::Mask8)
        mask8 = family.elementData(kind.mask);
    if (mask8 && mask8->size() >= pixels) {
        const uchar* m = bytes(*mask8);
        for (int y = 0; y < h; ++y) {
            auto* line = reinterpret_cast<QRgb*>(image->scanLine(y));
            for (int x = 0; x < w; ++x)
                line[x] = (line[x] & 0x00FFFFFF) | (QRgb(m[y * w + x]) << 24);
        }
        return;
    }
    // 1-bit mask: the second half of the "#" kind of the same size.
    OSType monoType = 0;
    for (const Kind& k : kKinds)
        if (k.payload == Payload::Mono && k.mask != 0 && k.width == w && k.height == h)
            monoType = k.type;
    const QByteArray* mono = monoType ? family.elementData(monoType) : nullptr;
    const qsizetype planeBytes = pixels / 8;
    if (!mono || mono->size() < 2 * planeBytes || IsPng(*mono) || IsJpeg2000(*mono))
        return;
    const uchar* m = bytes(*mono) + planeBytes;
    for (int y = 0; y < h; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image->scanLine(y));
        for (int x = 0; x < w; ++x) {
            const qsizetype i = qsizetype(y) * w + x;
            const bool opaque = (m[i / 8] >> (7 - i % 8)) & 1;
            line[x] = opaque ? (line[x] | 0xFF000000) : (line[x] & 0x00FFFFFF);
        }
    }
}

QImage decodeRawArgb(const uchar* p, int w, int h)
{
    QImage image = newImage(w, h);
    for (int y = 0; y < h; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < w; ++x, p += 4)
            line[x] = qRgba(p[1], p[2], p[3], p[0]);
    }
    return image;
}

// RLE planes written straight into the ARGB32 pixels (byte order B, G, R, A in
// memory on little-endian machines, A, R, G, B on big-endian ones).
bool decodePlanes(const uchar* in, qsizetype size, qsizetype pos, int planes, int w, int h, QImage* image)
{
    const qsizetype pixels = qsizetype(w) * h;
    uchar* out = image->bits();
    static const int kOffsetsLE[4] = {3, 2, 1, 0}; // A, R, G, B
    static const int kOffsetsBE[4] = {0, 1, 2, 3};
    const int* offsets = (Q_BYTE_ORDER == Q_LITTLE_ENDIAN) ? kOffsetsLE : kOffsetsBE;
    for (int plane = 0; plane < planes; ++plane) {
        const int channel = planes == 4 ? plane : plane + 1;
        if (!RleDecode(in, size, &pos, out + offsets[channel], pixels, 4))
            return false;
    }
    return true;
}

QImage decodeRgb(const IconFamily& family, const Kind& kind, const QByteArray& data, int w, int h)
{
    const qsizetype pixels = qsizetype(w) * h;
    const uchar* p = bytes(data);
    if (data.size() == 4 * pixels)
        return decodeRawArgb(p, w, h);
    QImage image = newImage(w, h);
    if (image.bytesPerLine() != 4 * w)
        return {};
    qsizetype start = 0;
    if (kind.type == MakeOSType("it32") && data.size() >= 4 && ReadU32(p) == 0)
        start = 4;
    if (!decodePlanes(p, data.size(), start, 3, w, h, &image)) {
        if (data.size() - start != 3 * pixels)
            return {};
        // Some writers stored the planes uncompressed.
        for (qsizetype i = 0; i < pixels; ++i) {
            const uchar* q = p + start;
            reinterpret_cast<QRgb*>(image.bits())[i] = qRgb(q[i], q[pixels + i], q[2 * pixels + i]);
        }
    }
    if (kind.width == w && kind.height == h)
        applyMask(family, kind, &image);
    return image;
}

QImage decodeArgb(const QByteArray& data, int w, int h)
{
    const qsizetype pixels = qsizetype(w) * h;
    if (data.size() == 4 * pixels)
        return decodeRawArgb(bytes(data), w, h);
    if (!data.startsWith("ARGB"))
        return {};
    QImage image = newImage(w, h);
    if (image.bytesPerLine() != 4 * w || !decodePlanes(bytes(data), data.size(), 4, 4, w, h, &image))
        return {};
    return image;
}

QImage decodeClassic(const IconFamily& family, const Kind& kind, const QByteArray& data)
{
    const int w = kind.width, h = kind.height;
    const qsizetype pixels = qsizetype(w) * h;
    const int depth = kind.payload == Payload::Mono ? 1 : kind.payload == Payload::Indexed4 ? 4 : 8;
    if (data.size() < pixels * depth / 8)
        return {};
    QImage image = newImage(w, h);
    const uchar* p = bytes(data);
    for (int y = 0; y < h; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const qsizetype i = qsizetype(y) * w + x;
            if (depth == 1)
                line[x] = ((p[i / 8] >> (7 - i % 8)) & 1) ? 0xFF000000 : 0xFFFFFFFF;
            else if (depth == 4)
                line[x] = Palette4()[(p[i / 2] >> (i % 2 ? 0 : 4)) & 0x0F];
            else
                line[x] = Palette8()[p[i]];
        }
    }
    if (kind.mask != 0)
        applyMask(family, kind, &image);
    return image;
}

int classicDepth(Payload payload)
{
    switch (payload) {
    case Payload::Mono: return 1;
    case Payload::Indexed4: return 4;
    case Payload::Indexed8: return 8;
    default: return 32;
    }
}

} // namespace

const Kind* FindKind(OSType type)
{
    for (const Kind& k : kKinds)
        if (k.type == type)
            return &k;
    return nullptr;
}

bool IsPng(const QByteArray& data)
{
    return data.startsWith("\x89PNG");
}

std::optional<QSize> PngSize(const QByteArray& data)
{
    if (data.size() < 24 || !data.startsWith("\x89PNG\r\n\x1a\n") || std::memcmp(data.constData() + 12, "IHDR", 4) != 0)
        return std::nullopt;
    const quint32 w = ReadU32(bytes(data) + 16), h = ReadU32(bytes(data) + 20);
    if (w == 0 || h == 0)
        return std::nullopt;
    return QSize(int(qMin<quint32>(w, 0x7FFFFFFF)), int(qMin<quint32>(h, 0x7FFFFFFF)));
}

QImage DecodePng(const QByteArray& data)
{
    const std::optional<QSize> size = PngSize(data);
    if (!size || size->width() > kMaxDecodedEdge || size->height() > kMaxDecodedEdge)
        return {};
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "png");
    QImage image = reader.read();
    if (image.isNull() || image.width() > kMaxDecodedEdge || image.height() > kMaxDecodedEdge)
        return {};
    return image.convertToFormat(QImage::Format_ARGB32);
}

std::optional<Description> Describe(const IconFamily::Element& element)
{
    const Kind* kind = FindKind(element.type);
    std::optional<QSize> size;
    if (IsPng(element.data))
        size = PngSize(element.data);
    else if (IsJpeg2000(element.data))
        size = Jpeg2000Size(element.data);
    if (size) {
        if (size->width() > kMaxDecodedEdge || size->height() > kMaxDecodedEdge)
            return std::nullopt;
        return Description{size->width(), size->height(), kind ? kind->scale : 1, 32};
    }
    if (!kind || kind->payload == Payload::Mask8 || kind->payload == Payload::Png)
        return std::nullopt;
    return Description{kind->width, kind->height, kind->scale, classicDepth(kind->payload)};
}

QImage Decode(const IconFamily& family, const IconFamily::Element& element)
{
    const QByteArray& data = element.data;
    if (IsPng(data))
        return DecodePng(data);
    if (IsJpeg2000(data))
        return DecodeJpeg2000(data);
    const Kind* kind = FindKind(element.type);
    if (!kind)
        return {};
    switch (kind->payload) {
    case Payload::Rgb: {
        QImage image = decodeRgb(family, *kind, data, kind->width, kind->height);
        // Readers disagree on icp6's edge; its RLE only fits one of them.
        if (image.isNull() && kind->type == MakeOSType("icp6"))
            image = decodeRgb(family, *kind, data, 48, 48);
        return image;
    }
    case Payload::Argb: return decodeArgb(data, kind->width, kind->height);
    case Payload::Mono:
    case Payload::Indexed4:
    case Payload::Indexed8: return decodeClassic(family, *kind, data);
    case Payload::Png:
    case Payload::Mask8: break;
    }
    return {};
}

} // namespace pictomat::icns::codec
