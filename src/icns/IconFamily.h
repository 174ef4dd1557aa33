#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QImage>
#include <QMap>
#include <QString>
#include <QVector>

#include <cstdint>
#include <functional>
#include <optional>

namespace pictomat::icns {

using OSType = quint32;

constexpr OSType MakeOSType(const char (&code)[5])
{
    return (OSType(quint8(code[0])) << 24) | (OSType(quint8(code[1])) << 16) | (OSType(quint8(code[2])) << 8)
           | OSType(quint8(code[3]));
}
QString OSTypeToString(OSType type);

// The largest edge a decoded element may declare before it is refused; icon
// files never need more, and decompression bombs declare far more.
inline constexpr int kMaxDecodedEdge = 2048;

// The most elements a family may hold. Real families hold fewer than a
// hundred (every known kind plus metadata is about fifty); a file that
// declares more is made to cost time, not to show an icon.
inline constexpr qsizetype kMaxElements = 1024;

// The largest icon file worth reading: a full family at kMaxDecodedEdge is a
// few tens of megabytes at worst, and what we write is a few megabytes.
inline constexpr qint64 kMaxIcnsFileSize = 64 * 1024 * 1024;

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
        OSType type;   // the element it came from (the data element for RGB + mask pairs)
        int pixelSize; // edge in pixels
        int scale;     // 1, or 2 for the @2x slots
        QImage image;  // ARGB32 (non-premultiplied)
    };

    struct WriteOptions {
        bool legacy48 = false;  // write a 48 px image as ih32 + h8mk
        bool legacy128 = false; // write a 128 px image as it32 + t8mk as well as ic07
    };
    // Whether a picture of that edge goes into a PNG slot.
    static bool hasPngSlot(int edge);

    bool isEmpty() const { return m_elements.isEmpty(); }
    const QVector<Element>& elements() const { return m_elements; }

    // Set replaces the payload of an element of that kind in place, or appends.
    void setElement(OSType type, const QByteArray& data);
    std::optional<QByteArray> element(OSType type) const;
    // The payload of the element of that kind, or null; valid until the family changes.
    const QByteArray* elementData(OSType type) const;
    void removeElement(OSType type);

    // Every picture the family holds, decoded, in element order. Elements that
    // cannot be decoded are left out.
    QVector<Image> images() const;
    // The same pictures handed over one at a time, so that no more than one
    // is held decoded: a hostile file may hold many that each decode large.
    void forEachImage(const std::function<void(const Image&)>& visit) const;
    // The picture best suited to a requested edge: the smallest one at least
    // that large, else the largest. Null when the family holds no picture.
    QImage bestImage(int pixelSize) const;

    // A family from pictures by pixel size (each square, any format): RGB + mask
    // for 16 and 32 (48 and 128 when asked), PNG in ic07..ic14 for the rest,
    // every @2x slot filled from the picture of twice the size.
    // `pngs` holds PNG bytes already made for some edges (while their
    // pictures were made, or on another core), used as they are.
    static IconFamily fromImages(const QMap<int, QImage>& imagesByPixelSize, const WriteOptions& options,
                                 const QMap<int, QByteArray>& pngs = {});
    static IconFamily fromImages(const QMap<int, QImage>& imagesByPixelSize)
    {
        return fromImages(imagesByPixelSize, WriteOptions{});
    }

    // The .icns file bytes: header, TOC, then the elements. Empty only when the
    // family is too large for the format's 32-bit lengths.
    QByteArray toIcns() const;
    // The same bytes in pieces, in order, without joining them: the heads
    // are `heads`, the elements' data is the family's own (the views hold
    // while both are unchanged). A writer needs no second copy of a file
    // that is mostly large pictures. No pieces where toIcns() is empty.
    struct IcnsPieces {
        QByteArray heads;
        QVector<QByteArrayView> pieces;
    };
    IcnsPieces toIcnsPieces() const;
    // Parses .icns bytes. Never reads outside the input; stops at the first
    // malformed element and keeps those before it. Nothing when the header is
    // not an icns header, no element could be read, or the file holds more
    // than kMaxElements elements besides its TOC. The error also tells of damage that was
    // read past. Of duplicate kinds the last one wins. *cut tells whether
    // elements were lost: the file ends before its header or an element says
    // (bytes after the declared end lose nothing).
    static std::optional<IconFamily> fromIcns(const QByteArray& bytes, QString* error = nullptr, bool* cut = nullptr);

private:
    void reindex();

    QVector<Element> m_elements;
    QHash<OSType, qsizetype> m_index; // kind -> position in m_elements
};

} // namespace pictomat::icns
