#include "ico/IcoFile.h"

#include "icns/Png.h"

#include <QHash>

#include <algorithm>

namespace pictomat::ico {

using icns::codec::PngEncoder;
using icns::codec::PngSize;

namespace {

// Windows stores every picture it can draw from a bitmap as one; PNG only
// from 256 pixels on, where bitmaps grow large. Readers from before Vista
// take nothing else.
constexpr int kPngFromEdge = 256;
// A pixel at least this transparent is clear in the AND mask, which readers
// without alpha draw by.
constexpr int kMaskAlpha = 128;

void appendU16(QByteArray* out, quint32 v)
{
    const char b[2] = {char(v), char(v >> 8)};
    out->append(b, 2);
}

void appendU32(QByteArray* out, quint32 v)
{
    const char b[4] = {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
    out->append(b, 4);
}

// A 32-bit BGRA bitmap with its AND mask, rows bottom up, each padded to
// four bytes, under a BITMAPINFOHEADER that counts both parts' rows.
QByteArray bitmapOf(const QImage& image)
{
    const int w = image.width(), h = image.height();
    const qsizetype maskStride = ((qsizetype(w) + 31) / 32) * 4;
    const qsizetype colourBytes = qsizetype(w) * h * 4, maskBytes = maskStride * h;
    QByteArray out;
    out.reserve(40 + colourBytes + maskBytes);
    appendU32(&out, 40);
    appendU32(&out, quint32(w));
    appendU32(&out, quint32(2 * h));
    appendU16(&out, 1);  // planes
    appendU16(&out, 32); // bits per pixel
    appendU32(&out, 0);  // BI_RGB
    appendU32(&out, quint32(colourBytes + maskBytes));
    for (int i = 0; i < 4; ++i)
        appendU32(&out, 0); // resolution, palette
    const qsizetype colourAt = out.size();
    out.resize(colourAt + colourBytes + maskBytes);
    auto* colour = reinterpret_cast<uchar*>(out.data()) + colourAt;
    uchar* mask = colour + colourBytes;
    std::fill(mask, mask + maskBytes, uchar(0));
    for (int y = 0; y < h; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(h - 1 - y));
        uchar* c = colour + qsizetype(y) * w * 4;
        uchar* m = mask + qsizetype(y) * maskStride;
        for (int x = 0; x < w; ++x, c += 4) {
            const QRgb px = line[x];
            c[0] = uchar(qBlue(px));
            c[1] = uchar(qGreen(px));
            c[2] = uchar(qRed(px));
            c[3] = uchar(qAlpha(px));
            if (qAlpha(px) < kMaskAlpha)
                m[x / 8] |= uchar(0x80 >> (x % 8));
        }
    }
    return out;
}

} // namespace

QByteArray WriteIco(const QVector<IcoImage>& images)
{
    if (images.isEmpty() || images.size() > kMaxEntries)
        return {};
    QVector<const IcoImage*> order;
    for (const IcoImage& picture : images) {
        const QSize size = picture.image.size();
        if (picture.image.isNull() || size.width() > kMaxEdge || size.height() > kMaxEdge)
            return {};
        order.append(&picture);
    }
    std::stable_sort(order.begin(), order.end(), [](const IcoImage* a, const IcoImage* b) {
        return a->image.width() * qint64(a->image.height()) < b->image.width() * qint64(b->image.height());
    });
    PngEncoder encoder;
    QVector<QByteArray> payloads;
    for (const IcoImage* picture : order) {
        const QImage image = picture->image.convertToFormat(QImage::Format_ARGB32);
        if (image.width() < kPngFromEdge && image.height() < kPngFromEdge)
            payloads.append(bitmapOf(image));
        else if (!picture->png.isEmpty() && PngSize(picture->png) == image.size())
            payloads.append(picture->png);
        else
            payloads.append(encoder.encode(image));
        if (payloads.last().isEmpty())
            return {};
    }
    QByteArray out;
    appendU16(&out, 0);
    appendU16(&out, 1); // an icon
    appendU16(&out, quint32(order.size()));
    qint64 offset = 6 + 16 * qint64(order.size());
    for (qsizetype i = 0; i < order.size(); ++i) {
        const QSize size = order[i]->image.size();
        // 256 and more are written as 0.
        out.append(char(size.width() < 256 ? size.width() : 0));
        out.append(char(size.height() < 256 ? size.height() : 0));
        out.append('\0');   // no palette
        out.append('\0');   // reserved
        appendU16(&out, 1); // planes
        appendU16(&out, 32);
        appendU32(&out, quint32(payloads[i].size()));
        appendU32(&out, quint32(offset));
        offset += payloads[i].size();
    }
    if (offset > 0xFFFFFFFFLL)
        return {};
    for (const QByteArray& payload : payloads)
        out.append(payload);
    return out;
}

QString StorageOf(const Entry& entry)
{
    if (entry.format == Format::Png)
        return QStringLiteral("PNG");
    return entry.mask ? QStringLiteral("bitmap + mask") : QStringLiteral("bitmap");
}

QVector<NamedPng> PicturesAsPng(const IcoFile& file, QStringList* skipped)
{
    QVector<NamedPng> pictures;
    QHash<QByteArray, int> seen;
    PngEncoder encoder;
    for (qsizetype i = 0; i < file.entries().size(); ++i) {
        const Entry& entry = file.entries()[i];
        QByteArray name = QByteArray::number(entry.width) + 'x' + QByteArray::number(entry.height) + '-'
                          + QByteArray::number(entry.depth) + "bit";
        const int repeat = ++seen[name];
        if (repeat > 1)
            name += '-' + QByteArray::number(repeat);
        name += ".png";
        // Decoded even where the stored PNG is kept, so that a damaged one
        // is told of here rather than saved broken.
        const QImage image = file.image(i);
        if (image.isNull()) {
            if (skipped)
                skipped->append(
                    QStringLiteral("picture %1 (%2) does not decode").arg(i + 1).arg(QString::fromLatin1(name)));
            continue;
        }
        pictures.append(NamedPng{name, entry.format == Format::Png ? file.payload(i) : encoder.encode(image)});
    }
    return pictures;
}

} // namespace pictomat::ico
