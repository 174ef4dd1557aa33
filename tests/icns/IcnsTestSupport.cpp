#include "IcnsTestSupport.h"

#include "icns/IcnsCodec.h"

#include <QtMath>

namespace pictomat::test {

QImage TestPicture(int size, int seed)
{
    QImage image(size, size, QImage::Format_ARGB32);
    quint32 noise = 0x9E3779B9u ^ quint32(seed * 7919 + size);
    const double c = (size - 1) / 2.0;
    for (int y = 0; y < size; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < size; ++x) {
            noise = noise * 1664525u + 1013904223u;
            const double d = qSqrt((x - c) * (x - c) + (y - c) * (y - c)) / (size / 2.0);
            if (d > 1.0) {
                line[x] = 0; // clear corners: long runs
            } else if (d > 0.85) {
                const int a = int((1.0 - d) / 0.15 * 255); // soft edge
                line[x] = qRgba(200, 40 + seed, 90, a);
            } else if (y < size / 3) {
                line[x] = qRgba(x * 255 / size, y * 255 / size, (seed * 40) & 0xFF, 255); // gradient
            } else if (y < 2 * size / 3) {
                line[x] = qRgba(20, 120, 220, 255); // flat colour
            } else {
                line[x] = qRgba(noise >> 24, (noise >> 16) & 0xFF, (noise >> 8) & 0xFF, 128 + (noise & 0x7F));
            }
        }
    }
    return image;
}

QMap<int, QImage> FullSet(int seed)
{
    QMap<int, QImage> set;
    for (int size : {16, 32, 48, 64, 128, 256, 512, 1024})
        set.insert(size, TestPicture(size, seed));
    return set;
}

QByteArray ElementBytes(icns::OSType type, const QByteArray& payload)
{
    QByteArray out;
    icns::codec::AppendU32(&out, type);
    icns::codec::AppendU32(&out, quint32(payload.size() + 8));
    return out + payload;
}

QByteArray HandMadeIcns(const QVector<icns::IconFamily::Element>& elements)
{
    QByteArray body;
    for (const auto& e : elements)
        body += ElementBytes(e.type, e.data);
    QByteArray out("icns");
    icns::codec::AppendU32(&out, quint32(body.size() + 8));
    return out + body;
}

QByteArray Hex(const char* text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

::testing::AssertionResult SamePixels(const QImage& expected, const QImage& actual)
{
    if (actual.isNull())
        return ::testing::AssertionFailure() << "no image";
    if (expected.size() != actual.size())
        return ::testing::AssertionFailure() << "size " << actual.width() << "x" << actual.height() << ", expected "
                                             << expected.width() << "x" << expected.height();
    const QImage e = expected.convertToFormat(QImage::Format_ARGB32);
    const QImage a = actual.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < e.height(); ++y)
        for (int x = 0; x < e.width(); ++x)
            if (e.pixel(x, y) != a.pixel(x, y))
                return ::testing::AssertionFailure() << "pixel " << x << "," << y << " is " << std::hex << a.pixel(x, y)
                                                     << ", expected " << e.pixel(x, y);
    return ::testing::AssertionSuccess();
}

} // namespace pictomat::test
