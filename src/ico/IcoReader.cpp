#include "ico/IcoFile.h"

#include "icns/Png.h"
#include "ico/Log.h"

#include <cstring>

namespace pictomat::ico {

using icns::codec::DecodePng;
using icns::codec::IsPng;
using icns::codec::PngIsWhole;
using icns::codec::PngSize;

namespace {

constexpr qsizetype kHeaderBytes = 6;
constexpr qsizetype kRecordBytes = 16;

quint16 u16(const uchar* p)
{
    return quint16(p[0] | (p[1] << 8));
}

quint32 u32(const uchar* p)
{
    return quint32(p[0]) | (quint32(p[1]) << 8) | (quint32(p[2]) << 16) | (quint32(p[3]) << 24);
}

// The BITMAPINFOHEADER and its successors (V4, V5) agree on every field we
// read; the older 12-byte core header has no place in icons.
bool knownHeaderSize(quint32 size)
{
    return size == 40 || size == 52 || size == 56 || size == 108 || size == 124;
}

// A bitmap's geometry, each part checked against the bytes it occupies.
struct Dib {
    int width = 0;
    int height = 0; // of the picture; the header counts the mask's rows too
    int depth = 0;
    int colours = 0;         // palette entries the pixels index
    qsizetype paletteAt = 0; // from the start of the payload
    qsizetype pixelsAt = 0;
    qsizetype stride = 0;
    qsizetype maskStride = 0;
    bool mask = false;
};

std::optional<Dib> readDib(const uchar* p, qsizetype size, QString* why)
{
    if (size < 40) {
        *why = QStringLiteral("its bitmap header is cut short");
        return std::nullopt;
    }
    const quint32 headerSize = u32(p);
    const qint32 width = qint32(u32(p + 4));
    const qint32 doubleHeight = qint32(u32(p + 8));
    const quint16 planes = u16(p + 12);
    const quint16 depth = u16(p + 14);
    const quint32 compression = u32(p + 16);
    const quint32 coloursUsed = u32(p + 32);
    if (!knownHeaderSize(headerSize) || qsizetype(headerSize) > size || planes > 1) {
        *why = QStringLiteral("no bitmap header");
        return std::nullopt;
    }
    if (depth != 1 && depth != 4 && depth != 8 && depth != 16 && depth != 24 && depth != 32) {
        *why = QStringLiteral("a bitmap of %1 bits per pixel").arg(depth);
        return std::nullopt;
    }
    if (compression != 0) {
        *why = QStringLiteral("a compressed bitmap");
        return std::nullopt;
    }
    // The header counts the colour rows and the mask rows together.
    if (width <= 0 || doubleHeight <= 1 || width > kMaxEdge || doubleHeight / 2 > kMaxEdge) {
        *why = QStringLiteral("a bitmap of %1x%2 pixels").arg(width).arg(doubleHeight / 2);
        return std::nullopt;
    }
    Dib dib;
    dib.width = width;
    dib.height = doubleHeight / 2;
    dib.depth = depth;
    const qint64 maxColours = depth <= 8 ? (qint64(1) << depth) : 256;
    if (coloursUsed > quint32(maxColours)) {
        *why = QStringLiteral("a palette of %1 colours").arg(coloursUsed);
        return std::nullopt;
    }
    // Bitmaps past 8 bits may carry a palette too (a hint for old screens);
    // their pixels start after it.
    const qint64 paletteEntries = depth <= 8 && coloursUsed == 0 ? maxColours : qint64(coloursUsed);
    dib.colours = depth <= 8 ? int(paletteEntries) : 0;
    dib.paletteAt = qsizetype(headerSize);
    dib.stride = ((qsizetype(width) * depth + 31) / 32) * 4;
    dib.maskStride = ((qsizetype(width) + 31) / 32) * 4;
    dib.pixelsAt = dib.paletteAt + qsizetype(paletteEntries) * 4;
    const qint64 colourEnd = qint64(dib.pixelsAt) + qint64(dib.stride) * dib.height;
    if (colourEnd > size) {
        *why = QStringLiteral("its pixels are cut short");
        return std::nullopt;
    }
    dib.mask = colourEnd + qint64(dib.maskStride) * dib.height <= size;
    return dib;
}

int pngDepth(const QByteArray& png)
{
    if (png.size() < 26)
        return 0;
    const auto* p = reinterpret_cast<const uchar*>(png.constData());
    const int bits = p[24];
    switch (p[25]) {
    case 0: return bits;     // grey
    case 2: return 3 * bits; // RGB
    case 3: return bits;     // palette
    case 4: return 2 * bits; // grey and alpha
    case 6: return 4 * bits; // RGBA
    default: return 0;
    }
}

std::optional<Entry> readEntry(const uchar* file, qsizetype fileSize, qsizetype directoryEnd, const uchar* record,
                               QString* why)
{
    const quint32 bytes = u32(record + 8);
    const quint32 offset = u32(record + 12);
    if (qint64(offset) < qint64(directoryEnd) || qint64(offset) + qint64(bytes) > qint64(fileSize)) {
        *why = QStringLiteral("its bytes lie outside the file");
        return std::nullopt;
    }
    Entry entry;
    entry.offset = qsizetype(offset);
    entry.bytes = qsizetype(bytes);
    const uchar* p = file + offset;
    const QByteArray payload = QByteArray::fromRawData(reinterpret_cast<const char*>(p), entry.bytes);
    if (IsPng(payload)) {
        const std::optional<QSize> size = PngSize(payload);
        if (!size) {
            *why = QStringLiteral("its PNG header is damaged");
            return std::nullopt;
        }
        if (size->width() > kMaxEdge || size->height() > kMaxEdge) {
            *why = QStringLiteral("a PNG of %1x%2 pixels").arg(size->width()).arg(size->height());
            return std::nullopt;
        }
        entry.format = Format::Png;
        entry.width = size->width();
        entry.height = size->height();
        entry.depth = pngDepth(payload);
        return entry;
    }
    const std::optional<Dib> dib = readDib(p, entry.bytes, why);
    if (!dib)
        return std::nullopt;
    entry.width = dib->width;
    entry.height = dib->height;
    entry.depth = dib->depth;
    entry.colours = dib->colours;
    entry.mask = dib->mask;
    return entry;
}

QRgb fromBgr(const uchar* p, int alpha)
{
    return qRgba(p[2], p[1], p[0], alpha);
}

QImage decodeDib(const uchar* p, qsizetype size)
{
    QString why;
    const std::optional<Dib> dib = readDib(p, size, &why);
    if (!dib)
        return {};
    const int w = dib->width, h = dib->height;
    QImage image(w, h, QImage::Format_ARGB32);
    if (image.isNull())
        return {};
    QRgb palette[256];
    for (int i = 0; i < dib->colours; ++i)
        palette[i] = fromBgr(p + dib->paletteAt + 4 * i, 255);
    bool anyAlpha = false;
    // Rows are stored bottom up.
    for (int y = 0; y < h; ++y) {
        const uchar* row = p + dib->pixelsAt + qsizetype(h - 1 - y) * dib->stride;
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < w; ++x) {
            switch (dib->depth) {
            case 1:
            case 4:
            case 8: {
                const int perByte = 8 / dib->depth;
                const int shift = 8 - dib->depth * (x % perByte + 1);
                const int index = (row[x / perByte] >> shift) & ((1 << dib->depth) - 1);
                // An index past the palette shows black, as Windows draws it.
                line[x] = index < dib->colours ? palette[index] : qRgb(0, 0, 0);
                break;
            }
            case 16: {
                const int v = row[2 * x] | (row[2 * x + 1] << 8);
                const int r = (v >> 10) & 31, g = (v >> 5) & 31, b = v & 31;
                line[x] = qRgb((r << 3) | (r >> 2), (g << 3) | (g >> 2), (b << 3) | (b >> 2));
                break;
            }
            case 24: line[x] = fromBgr(row + 3 * x, 255); break;
            default:
                line[x] = fromBgr(row + 4 * x, row[4 * x + 3]);
                anyAlpha = anyAlpha || row[4 * x + 3] != 0;
                break;
            }
        }
    }
    // A 32-bit bitmap whose alpha is all zero predates alpha: like the
    // others, it takes its shape from the mask, else it is opaque.
    if (dib->depth == 32 && anyAlpha)
        return image;
    const uchar* mask = p + dib->pixelsAt + dib->stride * h;
    for (int y = 0; y < h; ++y) {
        const uchar* row = mask + qsizetype(h - 1 - y) * dib->maskStride;
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const bool clear = dib->mask && ((row[x / 8] >> (7 - x % 8)) & 1);
            line[x] = clear ? (line[x] & 0x00FFFFFF) : (line[x] | 0xFF000000);
        }
    }
    return image;
}

} // namespace

std::optional<IcoFile> IcoFile::parse(const QByteArray& bytes, QString* error)
{
    auto fail = [error](const QString& why) -> std::optional<IcoFile> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    const auto* p = reinterpret_cast<const uchar*>(bytes.constData());
    const qsizetype size = bytes.size();
    if (size < kHeaderBytes || u16(p) != 0 || (u16(p + 2) != 1 && u16(p + 2) != 2))
        return fail(QStringLiteral("not a Windows icon file"));
    const int count = u16(p + 4);
    if (count == 0)
        return fail(QStringLiteral("the icon file lists no picture"));
    if (count > kMaxEntries)
        return fail(
            QStringLiteral("the icon file lists %1 pictures, more than the %2 read").arg(count).arg(kMaxEntries));
    IcoFile file;
    file.m_cursor = u16(p + 2) == 2;
    const qsizetype directoryEnd = kHeaderBytes + kRecordBytes * count;
    QStringList damage;
    qint64 pixels = 0;
    for (int i = 0; i < count; ++i) {
        const qsizetype at = kHeaderBytes + kRecordBytes * i;
        if (at + kRecordBytes > size) {
            damage << QStringLiteral("the list of pictures is cut short after %1 of %2").arg(i).arg(count);
            break;
        }
        QString why;
        std::optional<Entry> entry = readEntry(p, size, directoryEnd, p + at, &why);
        if (entry && (pixels += qint64(entry->width) * entry->height) > kMaxTotalPixels) {
            why = QStringLiteral("past the %1 pixels read from one file").arg(kMaxTotalPixels);
            entry.reset();
        }
        if (entry) {
            file.m_entries.append(*entry);
        } else {
            damage << QStringLiteral("picture %1: %2").arg(i + 1).arg(why);
            qCDebug(lcIco).noquote() << "picture" << i + 1 << "of" << count << "is left out:" << why;
        }
    }
    if (error)
        *error = damage.join(QStringLiteral("; "));
    if (file.m_entries.isEmpty())
        return fail(damage.isEmpty() ? QStringLiteral("no picture can be read") : damage.join(QStringLiteral("; ")));
    file.m_bytes = bytes;
    return file;
}

QByteArray IcoFile::payload(qsizetype index) const
{
    if (index < 0 || index >= m_entries.size())
        return {};
    return m_bytes.mid(m_entries[index].offset, m_entries[index].bytes);
}

QImage IcoFile::image(qsizetype index) const
{
    if (index < 0 || index >= m_entries.size())
        return {};
    const Entry& entry = m_entries[index];
    if (entry.format == Format::Png) {
        const QByteArray png = payload(index);
        if (!PngIsWhole(png))
            return {};
        QImage image = DecodePng(png);
        return image.size() == QSize(entry.width, entry.height) ? image : QImage();
    }
    return decodeDib(reinterpret_cast<const uchar*>(m_bytes.constData()) + entry.offset, entry.bytes);
}

} // namespace pictomat::ico
