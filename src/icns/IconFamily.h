#pragma once

#include <QByteArray>
#include <QImage>
#include <QMap>
#include <QString>
#include <QVector>

#include <cstdint>
#include <optional>

namespace pictomat::icns {

using OSType = quint32;

constexpr OSType MakeOSType(const char (&code)[5])
{
    return (OSType(quint8(code[0])) << 24) | (OSType(quint8(code[1])) << 16) |
           (OSType(quint8(code[2])) << 8) | OSType(quint8(code[3]));
}
QString OSTypeToString(OSType type);

// The largest edge a decoded element may declare before it is refused; icon
// files never need more, and decompression bombs declare far more.
inline constexpr int kMaxDecodedEdge = 2048;

// An icon family: an ordered set of typed elements (OSType -> payload bytes),
// as held in an .icns file. Unknown kinds are kept byte for byte.
class IconFamily {
public:
    struct Element {
        OSType type;
        QByteArray data;
    };

    // One decoded picture of the family.
    struct Image {
        OSType type;      // the element it came from (the data element for RGB + mask pairs)
        int pixelSize;    // edge in pixels
        int scale;        // 1, or 2 for the @2x slots
        QImage image;     // ARGB32 (non-premultiplied)
    };

    struct WriteOptions {
        bool legacy48 = false;   // write a 48 px image as ih32 + h8mk
        bool legacy128 = false;  // write a 128 px image as it32 + t8mk as well as ic07
    };

    bool isEmpty() const { return m_elements.isEmpty(); }
    const QVector<Element>& elements() const { return m_elements; }

    // Set replaces the payload of an element of that kind in place, or appends.
    void setElement(OSType type, const QByteArray& data);
    std::optional<QByteArray> element(OSType type) const;
    void removeElement(OSType type);

    // Every picture the family holds, decoded, in element order. Elements that
    // cannot be decoded are left out.
    QVector<Image> images() const;
    // The picture best suited to a requested edge: the smallest one at least
    // that large, else the largest. Null when the family holds no picture.
    QImage bestImage(int pixelSize) const;

    // A family from pictures by pixel size (each square, any format): RGB + mask
    // for 16 and 32 (48 and 128 when asked), PNG in ic07..ic14 for the rest,
    // every @2x slot filled from the picture of twice the size.
    static IconFamily fromImages(const QMap<int, QImage>& imagesByPixelSize, const WriteOptions& options);
    static IconFamily fromImages(const QMap<int, QImage>& imagesByPixelSize)
    {
        return fromImages(imagesByPixelSize, WriteOptions{});
    }

    // The .icns file bytes: header, TOC, then the elements. Empty only when the
    // family is too large for the format's 32-bit lengths.
    QByteArray toIcns() const;
    // Parses .icns bytes. Never reads outside the input; stops at the first
    // malformed element and keeps those before it. Nothing when the header is
    // not an icns header or no element could be read. The error also tells of
    // damage that was read past. Of duplicate kinds the last one wins.
    static std::optional<IconFamily> fromIcns(const QByteArray& bytes, QString* error = nullptr);

private:
    QVector<Element> m_elements;
};

// Reading and writing files; the path is the file system's bytes.
std::optional<IconFamily> ReadIcnsFile(const QByteArray& path, QString* error = nullptr);
// Writes atomically: a temporary file in the same folder, fsync, rename.
bool WriteIcnsFile(const IconFamily& family, const QByteArray& path, QString* error = nullptr);

} // namespace pictomat::icns
