// The bytes the writer produces: container structure and the rules that keep
// real decoders from failing.

#include "icns/IcnsCodec.h"
#include "IcnsTestSupport.h"
#include "icns/IconFamily.h"

#include <gtest/gtest.h>

using namespace pictomat::icns;
using pictomat::test::FullSet;
using pictomat::test::SamePixels;
using pictomat::test::TestPicture;

namespace {

// The elements in file order after a strict walk: the header length is the
// file size, the TOC comes first and lists every element with its length.
QVector<IconFamily::Element> walk(const QByteArray& bytes)
{
    QVector<IconFamily::Element> elements;
    const auto* p = reinterpret_cast<const uchar*>(bytes.constData());
    EXPECT_EQ(codec::ReadU32(p + 4), quint32(bytes.size()));
    EXPECT_EQ(bytes.mid(8, 4), QByteArray("TOC "));
    const quint32 tocLength = codec::ReadU32(p + 12);
    for (qsizetype at = 8 + tocLength; at + 8 <= bytes.size();) {
        const quint32 length = codec::ReadU32(p + at + 4);
        const qsizetype entry = 16 + 8 * elements.size();
        EXPECT_EQ(bytes.mid(entry, 8), bytes.mid(at, 8)) << "TOC entry " << elements.size();
        elements.append({codec::ReadU32(p + at), bytes.mid(at + 8, length - 8)});
        at += qMax<quint32>(length, 8);
    }
    EXPECT_EQ(tocLength, quint32(8 + 8 * elements.size()));
    return elements;
}

QByteArray payloadOf(const QVector<IconFamily::Element>& elements, const char (&type)[5])
{
    for (const auto& e : elements)
        if (e.type == MakeOSType(type))
            return e.data;
    return {};
}

} // namespace

TEST(IcnsWriter, FullFamilyHasEverySlotAndRoundTripsExactly)
{
    IconFamily::WriteOptions options;
    options.legacy48 = options.legacy128 = true;
    const QMap<int, QImage> set = FullSet(1);
    const QByteArray bytes = IconFamily::fromImages(set, options).toIcns();
    const auto elements = walk(bytes);
    QStringList types;
    for (const auto& e : elements) {
        types << OSTypeToString(e.type);
        // PNG only in the PNG slots.
        EXPECT_EQ(codec::IsPng(e.data), types.back().startsWith(QLatin1String("ic"))) << qPrintable(types.back());
    }
    types.sort();
    EXPECT_EQ(types.join(' '), QStringLiteral("h8mk ic07 ic08 ic09 ic10 ic11 ic12 ic13 ic14 ih32 il32 is32 it32 "
                                              "l8mk s8mk t8mk"));

    const auto family = IconFamily::fromIcns(bytes);
    ASSERT_TRUE(family);
    const auto images = family->images();
    EXPECT_EQ(images.size(), 12);
    const QStringList doubled{"ic10", "ic11", "ic12", "ic13", "ic14"};
    for (const IconFamily::Image& image : images) {
        SCOPED_TRACE(qPrintable(OSTypeToString(image.type)));
        EXPECT_TRUE(SamePixels(set[image.pixelSize], image.image));
        EXPECT_EQ(image.scale, doubled.contains(OSTypeToString(image.type)) ? 2 : 1);
    }

    // Without the options no ih32 nor it32; pictures of another size or
    // format are brought to the slot's edge.
    const QImage premultiplied = TestPicture(64).convertToFormat(QImage::Format_RGBA8888_Premultiplied);
    const auto plain = IconFamily::fromImages(
        {{16, TestPicture(40)}, {48, TestPicture(48)}, {64, premultiplied}, {128, TestPicture(128)}});
    EXPECT_FALSE(plain.element(MakeOSType("ih32")));
    EXPECT_FALSE(plain.element(MakeOSType("it32")));
    EXPECT_EQ(plain.bestImage(16).size(), QSize(16, 16));
    EXPECT_TRUE(SamePixels(premultiplied.convertToFormat(QImage::Format_ARGB32), plain.bestImage(64)));
}

TEST(IcnsWriter, RlePayloadsFollowTheDecoderSafetyRules)
{
    // Pictures that provoke each rule: a lone first byte before a run, and
    // planes whose RLE is exactly three bytes per pixel long without padding.
    QImage lone = TestPicture(16);
    lone.setPixel(0, 0, qRgba(1, 9, 9, 255));
    QImage flat(32, 32, QImage::Format_ARGB32);
    flat.fill(qRgba(5, 5, 5, 255));
    for (const QImage& image : {lone, flat, TestPicture(16, 3), TestPicture(32, 4)}) {
        IconFamily::WriteOptions options;
        options.legacy128 = true;
        const int size = image.width();
        const auto w = walk(IconFamily::fromImages({{size, image}, {128, TestPicture(128)}}, options).toIcns());
        const QByteArray rgb = payloadOf(w, size == 16 ? "is32" : "il32");
        const QByteArray it32 = payloadOf(w, "it32");
        ASSERT_FALSE(rgb.isEmpty());
        EXPECT_NE(rgb.at(0), '\0');
        EXPECT_EQ(rgb.back(), '\0');
        EXPECT_NE(rgb.size(), 3 * size * size);
        EXPECT_TRUE(it32.startsWith(QByteArray(4, '\0')));
        EXPECT_EQ(it32.back(), '\0');
        EXPECT_NE(it32.size() - 4, 3 * 128 * 128);
        EXPECT_EQ(payloadOf(w, size == 16 ? "s8mk" : "l8mk").size(), size * size);
    }

    // A payload that would be exactly 3·w·h long gets a pad byte: two planes of
    // 256 distinct bytes cost 258 each, a run of nine then 247 distinct bytes
    // cost 251, and the trailing zero brings it to 768.
    QImage exact(16, 16, QImage::Format_ARGB32);
    for (int i = 0; i < 256; ++i)
        exact.setPixel(i % 16, i / 16, qRgba(i, 255 - i, i < 9 ? 7 : (i * 7) & 0xFF, 255));
    const QByteArray exactRgb = payloadOf(walk(IconFamily::fromImages({{16, exact}}).toIcns()), "is32");
    EXPECT_EQ(exactRgb.size(), 769);
    const auto decoded = IconFamily::fromIcns(IconFamily::fromImages({{16, exact}}).toIcns());
    ASSERT_TRUE(decoded);
    EXPECT_TRUE(SamePixels(exact, decoded->bestImage(16)));
}

TEST(IcnsWriter, RewritingKeepsUnknownElementsAndOrder)
{
    IconFamily original = IconFamily::fromImages({{16, TestPicture(16)}, {256, TestPicture(256)}});
    original.setElement(MakeOSType("info"), "<plist/>");
    original.setElement(0xFDD92FA8u, IconFamily::fromImages({{16, TestPicture(16, 2)}}).toIcns());
    original.setElement(MakeOSType("zzzz"), QByteArray());
    const auto read = IconFamily::fromIcns(original.toIcns());
    ASSERT_TRUE(read);
    ASSERT_EQ(read->elements().size(), original.elements().size());
    for (int i = 0; i < read->elements().size(); ++i) {
        EXPECT_EQ(read->elements()[i].type, original.elements()[i].type);
        EXPECT_EQ(read->elements()[i].data, original.elements()[i].data);
    }
    EXPECT_EQ(read->toIcns(), original.toIcns());
}

TEST(IcnsWriter, OneEncoderTakesPicturesOfAnyShapeInAnyOrder)
{
    // A wide, short picture after a tall one has longer rows in fewer bytes
    // (it once overran the row buffers); each comes back as it went in.
    codec::PngEncoder encoder;
    for (const QSize size : {QSize(32, 32), QSize(300, 2), QSize(1, 40), QSize(64, 64)}) {
        const QImage picture = TestPicture(qMax(size.width(), size.height())).copy(QRect(QPoint(0, 0), size));
        EXPECT_TRUE(SamePixels(picture, codec::DecodePng(encoder.encode(picture))))
            << size.width() << "x" << size.height();
    }
}
