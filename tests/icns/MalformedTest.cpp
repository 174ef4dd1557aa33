// Damaged and hostile files: nothing crashes, nothing is read out of bounds,
// and what can be read is kept.

#include "icns/IcnsCodec.h"
#include "IcnsTestSupport.h"
#include "icns/IconFamily.h"

#include <gtest/gtest.h>

#include <QBuffer>

using namespace pictomat::icns;
using pictomat::test::ElementBytes;
using pictomat::test::HandMadeIcns;
using pictomat::test::SamePixels;
using pictomat::test::TestPicture;

namespace {

QStringList kindsOf(const std::optional<IconFamily>& family)
{
    QStringList kinds;
    if (family)
        for (const auto& e : family->elements())
            kinds << OSTypeToString(e.type);
    return kinds;
}

QByteArray withHeaderLength(QByteArray bytes, quint32 length)
{
    QByteArray header;
    codec::AppendU32(&header, length);
    bytes.replace(4, 4, header);
    return bytes;
}

// A family of three small elements: is32 + s8mk (16 px) and info.
QByteArray smallFamily()
{
    IconFamily family = IconFamily::fromImages({{16, TestPicture(16)}});
    family.setElement(MakeOSType("info"), "<plist/>");
    return family.toIcns();
}

QByteArray pngDeclaring(quint32 width, quint32 height)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    TestPicture(16).save(&buffer, "PNG");
    QByteArray size;
    codec::AppendU32(&size, width);
    codec::AppendU32(&size, height);
    return png.replace(16, 8, size);
}

} // namespace

TEST(IcnsMalformed, HeadersThatAreNotIcns)
{
    QString error;
    for (const QByteArray& bytes :
         {QByteArray(), QByteArray("icns"), QByteArray("icnx\0\0\0\x08", 8), QByteArray("icns\0\0\0\x04", 8),
          QByteArray("icns\0\0\0\x08", 8), withHeaderLength(smallFamily(), 7)}) {
        error.clear();
        EXPECT_FALSE(IconFamily::fromIcns(bytes, &error)) << bytes.toHex().constData();
        EXPECT_FALSE(error.isEmpty());
    }
}

TEST(IcnsMalformed, BadLengthsKeepTheElementsBeforeThem)
{
    const QByteArray good = smallFamily(); // TOC, is32, s8mk, info
    const QStringList all{"is32", "s8mk", "info"};
    QString error;

    // An element claiming 0 bytes, or more than is left, ends the walk.
    for (quint32 badLength : {0u, 7u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
        QByteArray bytes = good + ElementBytes(MakeOSType("ic07"), "xx");
        QByteArray length;
        codec::AppendU32(&length, badLength);
        bytes.replace(good.size() + 4, 4, length);
        error.clear();
        const auto family = IconFamily::fromIcns(withHeaderLength(bytes, quint32(bytes.size())), &error);
        EXPECT_EQ(kindsOf(family), all) << badLength;
        EXPECT_FALSE(error.isEmpty());
    }

    // Header length above the file size: read to the end of the file.
    EXPECT_EQ(kindsOf(IconFamily::fromIcns(withHeaderLength(good, 1 << 30))), all);
    // Header length below the file size: the rest is not ours to read.
    const qsizetype withoutInfo = good.size() - 16;
    EXPECT_EQ(kindsOf(IconFamily::fromIcns(withHeaderLength(good, quint32(withoutInfo)))),
              QStringList({"is32", "s8mk"}));
    // Trailing bytes after a correct header, and a file cut inside an element.
    error.clear();
    EXPECT_EQ(kindsOf(IconFamily::fromIcns(good + "junk", &error)), all);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(kindsOf(IconFamily::fromIcns(good.left(good.size() - 3))), QStringList({"is32", "s8mk"}));

    // Every truncation of a real family reads without fault and keeps a prefix.
    IconFamily::WriteOptions options;
    options.legacy128 = true;
    const QByteArray full =
        IconFamily::fromImages({{16, TestPicture(16)}, {32, TestPicture(32)}, {128, TestPicture(128)}}, options)
            .toIcns();
    int previous = 0;
    for (qsizetype cut = 8; cut <= full.size(); cut += 97) {
        const auto family = IconFamily::fromIcns(full.left(cut));
        const int count = family ? int(family->elements().size()) : 0;
        EXPECT_GE(count, previous);
        previous = count;
        if (family)
            family->images();
    }
}

TEST(IcnsMalformed, BrokenPayloadsLeaveTheOtherPicturesReadable)
{
    // R plane: a literal of 255 bytes then a run of 3 that passes into G.
    QByteArray crossing = QByteArray::fromHex("7F") + QByteArray(128, '\x01') + QByteArray::fromHex("7D")
                          + QByteArray(126, '\x02') + QByteArray::fromHex("8105");
    crossing += QByteArray(600, '\x10');
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    TestPicture(16, 5).save(&buffer, "PNG");
    const QByteArray good32 = IconFamily::fromImages({{32, TestPicture(32)}}).toIcns();
    const auto goodFamily = IconFamily::fromIcns(good32);
    ASSERT_TRUE(goodFamily);

    const QByteArray bytes = HandMadeIcns({
        {MakeOSType("icp4"), crossing},                     // run crossing planes
        {MakeOSType("is32"), png},                          // PNG where RGB is expected
        {MakeOSType("ic08"), pngDeclaring(100000, 100000)}, // decompression bomb
        {MakeOSType("ic09"), QByteArray::fromHex("FF4FFF51002F0000") + QByteArray(16, '\xFF')}, // J2K, huge
        {MakeOSType("ic10"), QByteArray("\x89PNG\r\n\x1a\n", 8)}, // PNG magic, nothing more
        {MakeOSType("ic05"), QByteArray("ARGB\xFF\x00", 6)},      // ARGB cut short
        {MakeOSType("icl8"), QByteArray(100, '\x05')},            // classic, too short
        {MakeOSType("il32"), *goodFamily->element(MakeOSType("il32"))},
        {MakeOSType("l8mk"), QByteArray(10, '\xFF')}, // mask too short: opaque
    });
    const auto family = IconFamily::fromIcns(bytes);
    ASSERT_TRUE(family);
    const auto images = family->images();
    ASSERT_EQ(images.size(), 2);
    EXPECT_EQ(images[0].type, MakeOSType("is32"));
    EXPECT_TRUE(SamePixels(TestPicture(16, 5), images[0].image));
    EXPECT_EQ(images[1].type, MakeOSType("il32"));
    EXPECT_EQ(qAlpha(images[1].image.pixel(0, 0)), 255);
    EXPECT_EQ(family->bestImage(1024).size(), QSize(32, 32));
    EXPECT_TRUE(codec::DecodePng(pngDeclaring(100000, 16)).isNull());
}

TEST(IcnsMalformed, DuplicateKindsLastOneWins)
{
    const QByteArray first = *IconFamily::fromImages({{16, TestPicture(16, 1)}}).element(MakeOSType("is32"));
    const QByteArray second = *IconFamily::fromImages({{16, TestPicture(16, 2)}}).element(MakeOSType("is32"));
    const auto family = IconFamily::fromIcns(
        HandMadeIcns({{MakeOSType("is32"), first}, {MakeOSType("info"), "x"}, {MakeOSType("is32"), second}}));
    ASSERT_TRUE(family);
    EXPECT_EQ(kindsOf(family), QStringList({"is32", "info"}));
    EXPECT_EQ(family->element(MakeOSType("is32")), second);
}

// A file of 200,000 empty elements of distinct kinds (1.6 MB) is refused
// whole; a family at the cap is read whole, with its pictures.
TEST(IcnsMalformed, ElementCountIsCapped)
{
    auto emptyElements = [](qsizetype count) {
        QByteArray body;
        for (qsizetype i = 0; i < count; ++i)
            body += ElementBytes(0x61000000u + quint32(i), {});
        return body;
    };
    QByteArray flood = HandMadeIcns(
        {{MakeOSType("is32"), *IconFamily::fromImages({{16, TestPicture(16)}}).element(MakeOSType("is32"))}});
    flood += emptyElements(200000);
    flood = withHeaderLength(flood, quint32(flood.size()));
    QString error;
    EXPECT_FALSE(IconFamily::fromIcns(flood, &error));
    EXPECT_EQ(error, QStringLiteral("more than %1 elements; no icon family holds that many").arg(kMaxElements));

    QByteArray full = IconFamily::fromImages({{16, TestPicture(16)}}).toIcns(); // TOC, is32, s8mk
    full += emptyElements(kMaxElements - 2);
    full = withHeaderLength(full, quint32(full.size()));
    const auto family = IconFamily::fromIcns(full, &error);
    ASSERT_TRUE(family) << qPrintable(error);
    EXPECT_EQ(family->elements().size(), kMaxElements); // the TOC does not count
    ASSERT_EQ(family->images().size(), 1);
    EXPECT_TRUE(SamePixels(TestPicture(16), family->bestImage(16)));
    const auto rewritten = IconFamily::fromIcns(family->toIcns()); // with a TOC again
    ASSERT_TRUE(rewritten);
    EXPECT_EQ(rewritten->elements().size(), kMaxElements);
    const QByteArray over = full + ElementBytes(MakeOSType("info"), {});
    EXPECT_FALSE(IconFamily::fromIcns(withHeaderLength(over, quint32(over.size()))));
}
