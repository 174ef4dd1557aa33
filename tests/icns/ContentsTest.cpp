// What the command line shows and saves of a family, and families made from
// PNG files as .iconset folders hold them.

#include "icns/Contents.h"
#include "icns/IcnsCodec.h"
#include "IcnsTestSupport.h"
#include "icns/IconFamily.h"
#include "TestEnv.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace pictomat::icns;
using pictomat::test::SamePixels;
using pictomat::test::TestPicture;

namespace {

QByteArray png(const QImage& image)
{
    return pictomat::test::PngBytes(image);
}

QImage decoded(const QByteArray& bytes)
{
    return QImage::fromData(bytes, "PNG");
}

QStringList kinds(const IconFamily& family)
{
    QStringList list;
    for (const auto& e : family.elements())
        list << OSTypeToString(e.type);
    return list;
}

// Every iconset name with a picture of its size, each one different.
QVector<NamedPng> fullIconset()
{
    QVector<NamedPng> files;
    int seed = 0;
    for (const IconsetSlot& slot : IconsetSlots())
        files.append({QByteArray("set.iconset/") + slot.name, png(TestPicture(slot.pixels(), ++seed))});
    return files;
}

} // namespace

TEST(IcnsContents, ListsElementsAndSavesEveryPicture)
{
    IconFamily family = IconFamily::fromImages({{16, TestPicture(16)}, {64, TestPicture(64)}});
    family.setElement(MakeOSType("info"), "<plist/>");

    QStringList rows;
    for (const ElementRow& row : ListElements(family))
        rows << QStringLiteral("%1 %2 %3").arg(OSTypeToString(row.type)).arg(row.bytes).arg(row.holds);
    EXPECT_EQ(
        rows,
        QStringList({QStringLiteral("is32 %1 16x16").arg(family.element(MakeOSType("is32"))->size()), "s8mk 256 mask",
                     QStringLiteral("ic12 %1 64x64 @2x").arg(family.element(MakeOSType("ic12"))->size()), "info 8 -"}));

    const QVector<NamedPng> pictures = PicturesAsPng(family);
    ASSERT_EQ(pictures.size(), 2);
    EXPECT_EQ(pictures[0].name, "is32-16x16.png");
    EXPECT_TRUE(SamePixels(TestPicture(16), decoded(pictures[0].png)));
    EXPECT_EQ(pictures[1].name, "ic12-64x64@2x.png");
    EXPECT_EQ(pictures[1].png, *family.element(MakeOSType("ic12"))); // stored PNG, byte for byte
}

TEST(IcnsContents, IconsetBecomesTheSlotsFinderReadsAndComesBackExactly)
{
    const QVector<NamedPng> files = fullIconset();
    QString error;
    const std::optional<IconFamily> family = FamilyFromPngs(files, true, &error);
    ASSERT_TRUE(family) << qPrintable(error);
    EXPECT_EQ(kinds(*family).join(' '), "is32 s8mk ic11 il32 l8mk ic12 ic07 ic13 ic08 ic14 ic09 ic10");
    EXPECT_EQ(*family->element(MakeOSType("ic11")), files[1].png);
    EXPECT_EQ(*family->element(MakeOSType("ic10")), files[9].png);

    const QVector<NamedPng> back = IconsetPictures(*IconFamily::fromIcns(family->toIcns()));
    ASSERT_EQ(back.size(), files.size());
    for (int i = 0; i < back.size(); ++i) {
        SCOPED_TRACE(back[i].name.constData());
        EXPECT_TRUE(files[i].name.endsWith("/" + back[i].name));
        if (IconsetSlots()[i].mask == 0)
            EXPECT_EQ(back[i].png, files[i].png);
        else
            EXPECT_TRUE(SamePixels(decoded(files[i].png), decoded(back[i].png)));
    }
}

TEST(IcnsContents, LoosePicturesArePlacedBySizeUnlessNamed)
{
    QString error;
    // 32 px fills both 32 px slots; a named file keeps its own.
    const QByteArray loose = png(TestPicture(32, 1)), named = png(TestPicture(32, 2));
    const auto family = FamilyFromPngs(
        {{"a.png", loose}, {"x/icon_16x16@2x.png", named}, {"b.png", png(TestPicture(1024))}}, false, &error);
    ASSERT_TRUE(family) << qPrintable(error);
    EXPECT_EQ(kinds(*family).join(' '), "ic11 il32 l8mk ic10");
    EXPECT_EQ(*family->element(MakeOSType("ic11")), named);
    EXPECT_TRUE(SamePixels(TestPicture(32, 1), family->bestImage(32)));

    // A family with a 48 px picture saves what it can under iconset names.
    QStringList skipped;
    const auto pictures = IconsetPictures(
        IconFamily::fromImages({{48, TestPicture(48)}, {128, TestPicture(128)}}, {true, false}), &skipped);
    ASSERT_EQ(pictures.size(), 1);
    EXPECT_EQ(pictures[0].name, "icon_128x128.png");
    EXPECT_EQ(skipped, QStringList({"ih32 (48x48)"}));
}

TEST(IcnsContents, PicturesThatFitNoSlotAreRefusedByName)
{
    const struct {
        QVector<NamedPng> files;
        bool byNameOnly;
        const char* error;
    } cases[] = {
        {{{"icon_32x32@2x.png", png(TestPicture(32))}},
         true,
         "icon_32x32@2x.png: 32x32 pixels, but its name asks for 64x64"},
        {{{"icon_16x16.png", "GIF89a"}}, true, "icon_16x16.png: not a PNG picture"},
        {{{"notes.png", png(TestPicture(16))}}, true, "notes.png: not an iconset name"},
        {{{"a.png", png(TestPicture(48))}},
         false,
         "a.png: 48x48 pixels is not an icon size (16, 32, 64, 128, 256, 512 or 1024)"},
        {{{"wide.png", png(QImage(64, 32, QImage::Format_ARGB32))}},
         false,
         "wide.png: 64x32 pixels; icon pictures are square"},
        {{{"a.png", png(TestPicture(64))}, {"b.png", png(TestPicture(64, 1))}},
         false,
         "a.png and b.png both give icon_32x32@2x.png"},
        {{{"cut.png", png(TestPicture(128)).left(200)}}, false, "cut.png: the PNG picture cannot be decoded"},
        {{}, false, "no pictures given"},
    };
    for (const auto& c : cases) {
        QString error;
        EXPECT_FALSE(FamilyFromPngs(c.files, c.byNameOnly, &error));
        EXPECT_TRUE(error.startsWith(QLatin1String(c.error))) << qPrintable(error);
    }
}

// PNG files are kept byte for byte after a check that stands in for decoding
// them; it must pass every kind of PNG that decodes and no damaged one.
TEST(IcnsContents, PngCheckPassesWhatDecodesAndNothingDamaged)
{
    QTemporaryDir dir;
    const auto r = pictomat::test::RunPython(QStringLiteral(R"(
import sys, subprocess
from PIL import Image
d = sys.argv[1]
base = Image.radial_gradient('L').resize((37, 37))
rgba = Image.merge('RGBA', (base, base.rotate(90), base.rotate(180), base.rotate(45)))
rgba.save(d + '/rgba.png')
rgba.convert('RGB').save(d + '/rgb.png')
base.save(d + '/grey.png')
rgba.convert('LA').save(d + '/grey-alpha.png')
rgba.convert('P').save(d + '/palette.png')
base.convert('1').save(d + '/mono.png')
base.convert('I;16').save(d + '/grey16.png')
Image.new('RGBA', (1, 1), (1, 2, 3, 4)).save(d + '/dot.png')
subprocess.run(['convert', d + '/rgba.png', '-interlace', 'PNG', d + '/adam7.png'], check=True)
subprocess.run(['convert', d + '/rgba.png', '-depth', '16', 'PNG64:' + d + '/rgba16.png'], check=True)
subprocess.run(['convert', d + '/palette.png', '-interlace', 'PNG', d + '/adam7-palette.png'], check=True)
import struct, zlib
def chunk(kind, data):
    return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))
def png(rows):
    ihdr = struct.pack('>IIBBBBB', 4, 4, 8, 6, 0, 0, 0)
    return b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', ihdr) + chunk(b'IDAT', zlib.compress(rows)) + chunk(b'IEND', b'')
row = bytes(17)
open(d + '/bad-filter.bin', 'wb').write(png(row * 3 + b'\x07' + bytes(16)))
open(d + '/short-rows.bin', 'wb').write(png(row * 3))
open(d + '/long-rows.bin', 'wb').write(png(row * 5))
)"),
                                             {dir.path()});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    int checked = 0;
    for (const QString& name : QDir(dir.path()).entryList({"*.png"})) {
        SCOPED_TRACE(qPrintable(name));
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray png = file.readAll();
        ASSERT_FALSE(codec::DecodePng(png).isNull());
        EXPECT_TRUE(codec::PngIsWhole(png));
        // Cut short, one bit flipped, or image data that inflates wrong.
        EXPECT_FALSE(codec::PngIsWhole(png.left(png.size() - 13)));
        for (qsizetype at : {qsizetype(30), png.size() / 2, png.size() - 14}) {
            QByteArray flipped = png;
            flipped[at] = char(flipped[at] ^ 0x10);
            EXPECT_FALSE(codec::PngIsWhole(flipped)) << at;
        }
        ++checked;
    }
    EXPECT_EQ(checked, 11);
    // Whole chunks with right CRCs whose image data is wrong; libpng lets
    // rows past the last one pass with a warning, the check does not.
    for (const char* name : {"bad-filter.bin", "short-rows.bin", "long-rows.bin"}) {
        QFile file(dir.filePath(QLatin1String(name)));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray png = file.readAll();
        EXPECT_FALSE(codec::PngIsWhole(png)) << name;
        EXPECT_EQ(codec::DecodePng(png).isNull(), QByteArray(name) != "long-rows.bin") << name;
    }
}
