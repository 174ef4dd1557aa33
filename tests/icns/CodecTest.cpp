// Decoding known answers and the element kinds no Debian tool can check for us.

#include "icns/IcnsCodec.h"
#include "IcnsTestSupport.h"
#include "icns/IconFamily.h"

#include <gtest/gtest.h>

using namespace pictomat::icns;
using pictomat::test::HandMadeIcns;
using pictomat::test::Hex;
using pictomat::test::SamePixels;

namespace {

QByteArray decodePlane(const QByteArray& rle, qsizetype size, bool* ok)
{
    QByteArray out(size, '\x55');
    qsizetype pos = 0;
    *ok = codec::RleDecode(reinterpret_cast<const uchar*>(rle.constData()), rle.size(), &pos,
                           reinterpret_cast<uchar*>(out.data()), size, 1);
    return out;
}

} // namespace

TEST(IcnsRle, KnownVectorAndBounds)
{
    bool ok = false;
    const QByteArray decoded = decodePlane(Hex("02 01 02 02 80 03 81 04 82 05"), 15, &ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(decoded, Hex("01 02 02 03 03 03 04 04 04 04 05 05 05 05 05"));

    // A run passing the plane's end, and input ending early, are refused.
    decodePlane(Hex("82 05"), 4, &ok);
    EXPECT_FALSE(ok);
    decodePlane(Hex("05 01 02"), 6, &ok);
    EXPECT_FALSE(ok);
    decodePlane(Hex("80"), 3, &ok);
    EXPECT_FALSE(ok);
}

TEST(IcnsKnownAnswers, ArgbBlueSquare)
{
    const QByteArray file =
        Hex("69636E73 00000024 69633034 0000001C 41524742 FFFFFBFF FF00FB00 "
            "FF00FB00 FFFFFBFF");
    const auto family = IconFamily::fromIcns(file);
    ASSERT_TRUE(family);
    const auto images = family->images();
    ASSERT_EQ(images.size(), 1);
    EXPECT_EQ(images[0].type, MakeOSType("ic04"));
    EXPECT_EQ(images[0].pixelSize, 16);
    QImage blue(16, 16, QImage::Format_ARGB32);
    blue.fill(0xFF0000FF);
    EXPECT_TRUE(SamePixels(blue, images[0].image));
}

TEST(IcnsKnownAnswers, RawArgbAndRawRgbPayloads)
{
    // Exactly 4 bytes per pixel is raw ARGB in any RGB slot; exactly 3 that is
    // not valid RLE (here: literals the data cannot fill) is raw planes.
    QByteArray argb;
    for (int i = 0; i < 256; ++i)
        argb += Hex("80 10 20 30");
    const auto family = IconFamily::fromIcns(
        HandMadeIcns({{MakeOSType("is32"), argb}, {MakeOSType("il32"), QByteArray(1024 * 3, '\x7F')}}));
    ASSERT_TRUE(family);
    const auto images = family->images();
    ASSERT_EQ(images.size(), 2);
    EXPECT_EQ(images[0].image.pixel(5, 5), 0x80102030u);
    EXPECT_EQ(images[1].image.pixel(31, 31), 0xFF7F7F7Fu);
}

TEST(IcnsClassicKinds, MonoAndPaletteKindsUseTheirMasks)
{
    // ICN#: the top row black, the rest white; the mask opens the left half.
    QByteArray icn(256, '\0');
    for (int i = 0; i < 4; ++i)
        icn[i] = char(0xFF);
    for (int row = 0; row < 32; ++row)
        icn[128 + row * 4] = icn[128 + row * 4 + 1] = char(0xFF);
    // icl8: white, the first red of the ramp, black; icl4: classic red and blue.
    QByteArray icl8(1024, '\0');
    icl8[1] = char(215);
    icl8[2] = char(255);
    QByteArray icl4(512, '\0');
    icl4[0] = char(0x36);
    // ics#/ics8 without a mask half falls back to opaque.
    QByteArray ics8(256, char(0xFF));
    QByteArray icon(128, '\0');
    icon[127] = char(0x01);

    const auto family = IconFamily::fromIcns(HandMadeIcns({{MakeOSType("ICN#"), icn},
                                                           {MakeOSType("icl8"), icl8},
                                                           {MakeOSType("icl4"), icl4},
                                                           {MakeOSType("ics8"), ics8},
                                                           {MakeOSType("ICON"), icon}}));
    ASSERT_TRUE(family);
    const auto images = family->images();
    ASSERT_EQ(images.size(), 5);
    const QImage mono = images[0].image;
    EXPECT_EQ(mono.pixel(3, 0), 0xFF000000u);
    EXPECT_EQ(mono.pixel(3, 1), 0xFFFFFFFFu);
    EXPECT_EQ(qAlpha(mono.pixel(20, 1)), 0);
    const QImage eight = images[1].image;
    EXPECT_EQ(eight.pixel(0, 0), 0xFFFFFFFFu);
    EXPECT_EQ(eight.pixel(1, 0), 0xFFEE0000u);
    EXPECT_EQ(eight.pixel(2, 0), 0xFF000000u);
    EXPECT_EQ(qAlpha(eight.pixel(31, 5)), 0);
    EXPECT_EQ(images[2].image.pixel(0, 0), 0xFFDD0806u);
    EXPECT_EQ(images[2].image.pixel(1, 0), 0xFF0000D4u);
    EXPECT_EQ(images[3].image.pixel(15, 15), 0xFF000000u);
    EXPECT_EQ(images[4].image.pixel(31, 31), 0xFF000000u);
    EXPECT_EQ(images[4].image.pixel(30, 31), 0xFFFFFFFFu);
}

TEST(IcnsFamily, ElementsAndBestImage)
{
    IconFamily family = IconFamily::fromImages({{16, pictomat::test::TestPicture(16)},
                                                {128, pictomat::test::TestPicture(128)},
                                                {512, pictomat::test::TestPicture(512)}});
    family.setElement(MakeOSType("info"), "metadata");
    family.setElement(MakeOSType("info"), "replaced");
    EXPECT_EQ(family.element(MakeOSType("info")), QByteArray("replaced"));
    EXPECT_EQ(family.elements().back().type, MakeOSType("info"));

    EXPECT_EQ(family.bestImage(16).width(), 16);
    EXPECT_EQ(family.bestImage(17).width(), 128);
    EXPECT_EQ(family.bestImage(300).width(), 512);
    EXPECT_EQ(family.bestImage(4096).width(), 512);
    EXPECT_TRUE(SamePixels(pictomat::test::TestPicture(128), family.bestImage(100)));

    family.removeElement(MakeOSType("ic09"));
    family.removeElement(MakeOSType("ic14"));
    EXPECT_EQ(family.bestImage(300).width(), 128);
    EXPECT_FALSE(family.element(MakeOSType("ic09")));
    EXPECT_TRUE(IconFamily().bestImage(16).isNull());
    EXPECT_EQ(OSTypeToString(0xFDD92FA8u), QStringLiteral("0xFDD92FA8"));
}
