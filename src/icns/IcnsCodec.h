#pragma once

// Building blocks shared by the reader, the writer, the listing and the
// iconset mapping. Private to the icns library.

#include "icns/IconFamily.h"
#include "icns/Png.h"

#include <QByteArray>
#include <QImage>

#include <memory>
#include <optional>
#include <span>

namespace pictomat::icns::codec {

// How an element kind stores its payload when no PNG or JPEG 2000 magic says
// otherwise.
enum class Payload {
    Rgb,      // RLE (or raw) RGB planes, alpha from a separate 8-bit mask
    Argb,     // "ARGB" then four RLE planes
    Png,      // PNG or JPEG 2000 only
    Mask8,    // 8-bit mask belonging to an Rgb kind
    Mono,     // 1-bit image (and 1-bit mask unless it is ICON)
    Indexed4, // 4-bit classic palette, mask from the 1-bit kind of that size
    Indexed8, // 8-bit classic palette, mask from the 1-bit kind of that size
};

struct Kind {
    OSType type;
    int width;
    int height;
    int scale;
    Payload payload;
    OSType mask; // 0 when the kind carries its own alpha or none
};

// The kind's description, or nothing for unknown and metadata kinds.
const Kind* FindKind(OSType type);

// What an element would decode to, found without decoding it.
struct Description {
    int width = 0;
    int height = 0;
    int scale = 1;
    int depth = 0; // 32 for full colour, else the classic bit depth
};
std::optional<Description> Describe(const IconFamily::Element& element);
// Decodes an element to ARGB32 (non-premultiplied), or a null image; masks
// are looked up in the family.
QImage Decode(const IconFamily& family, const IconFamily::Element& element);

// The payloads of an RGB + mask pair for an ARGB32 picture: the RGB planes
// RLE-compressed by the writer rules (it32's four zero bytes first when
// withZeroPrefix), and the 8-bit mask from its alpha.
QByteArray RgbPayload(const QImage& image, bool withZeroPrefix);
QByteArray MaskPayload(const QImage& image);

// RLE as used by the RGB and ARGB kinds. Decodes exactly outSize bytes into
// out (spaced stride bytes apart) starting at in[*pos]; false when the input
// ends first or a run would pass the end of the plane.
bool RleDecode(const uchar* in, qsizetype inSize, qsizetype* pos, uchar* out, qsizetype outSize, int stride);
// Appends the RLE of count bytes read stride bytes apart. With noLeadingZero,
// the first control byte is never 0x00 (a lone leading literal is merged with
// the bytes after it).
void RleEncode(const uchar* in, qsizetype count, int stride, QByteArray* out, bool noLeadingZero = false);

// Classic Mac OS palettes as 0xAARRGGBB.
const QRgb* Palette4();
const QRgb* Palette8();

// JPEG 2000 payloads (the PNG ones are in icns/Png.h): recognised by their
// magic bytes, measured by their header without a decoder, and decoded only
// when no larger than kMaxDecodedEdge.
bool IsJpeg2000(const QByteArray& data);
std::optional<QSize> Jpeg2000Size(const QByteArray& data);
QImage DecodeJpeg2000(const QByteArray& data);

// A decoded picture of the family as PNG bytes: its element's payload when
// that is a PNG of the same size, else freshly encoded.
QByteArray PngOf(const IconFamily& family, const IconFamily::Image& image);

inline quint32 ReadU32(const uchar* p)
{
    return (quint32(p[0]) << 24) | (quint32(p[1]) << 16) | (quint32(p[2]) << 8) | quint32(p[3]);
}
inline void AppendU32(QByteArray* out, quint32 v)
{
    const char b[4] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    out->append(b, 4);
}

} // namespace pictomat::icns::codec
