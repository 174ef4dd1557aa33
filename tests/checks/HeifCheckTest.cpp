// HEIF and AVIF files before libheif reads them: what encoders and phones
// write passes (and libheif reads it), grids and streams that stand for more
// than they hold are too large, boxes that do not hold together damaged.
#include "checks/HeifCheck.h"

#include "CheckFixture.h"

namespace pictomat {
namespace {

class HeifCheck : public test::CheckFixture {
protected:
    Soundness check(const QString& name, QString* why = nullptr)
    {
        return verdict(
            [](const ByteSource& bytes, Error* e) { return CheckHeifStructure(bytes, kMaxWholePicturePixels, e); },
            name, why);
    }
    // A noisy picture (PNG) of the given size, with transparency when asked.
    void picture(const QString& name, int width, int height, bool alpha = false)
    {
        python(QStringLiteral(R"(
import sys
from PIL import Image
w, h = %1, %2
p = Image.merge('RGB', [Image.effect_noise((w, h), 40 + 10 * i) for i in range(3)])
if %3:
    p.putalpha(Image.linear_gradient('L').resize((w, h)))
p.save(sys.argv[1] + '/%4')
)")
                   .arg(width)
                   .arg(height)
                   .arg(alpha ? "True" : "False")
                   .arg(name));
    }
};

TEST_F(HeifCheck, PhotosAsEncodersAndPhonesWriteThemPass)
{
    picture("photo.png", 600, 400);
    picture("clear.png", 300, 200, true);
    picture("tile.png", 512, 512);
    picture("small.png", 256, 256);
    picture("thumb.png", 320, 240);
    run("heif-enc", {"-q", "80", "-t", "160", path("photo.png"), "-o", path("photo.heic")});
    run("heif-enc", {"-q", "80", path("clear.png"), "-o", path("clear.heic")});
    run("avifenc", {"-s", "8", "--irot", "1", "--imir", "0", path("clear.png"), path("turned.avif")});
    run("heif-enc", {"-q", "60", path("tile.png"), "-o", path("tile.heic")});
    run("heif-enc", {"-q", "60", path("small.png"), "-o", path("small.heic")});
    run("heif-enc", {"-q", "60", path("thumb.png"), "-o", path("thumb.heic")});
    run("avifenc", {"-s", "8", path("tile.png"), path("tile.avif")});
    for (const char* name : {"photo.heic", "clear.heic", "turned.avif", "tile.heic", "tile.avif"})
        EXPECT_EQ(check(name), Soundness::Sound) << name;

    // A phone's 48-megapixel photo: 512-pixel tiles, a thumbnail and Exif
    // (195 items); the same in 256-pixel tiles (771); a 12-megapixel one,
    // and an AVIF grid. libheif takes every one of them.
    write({"heif-grid", path("tile.heic"), path("phone48.heic"), "12", "16", "8064", "6048", "distinct", "thumb",
           path("thumb.heic"), "exif"});
    write({"heif-grid", path("small.heic"), path("small-tiles.heic"), "24", "32", "8064", "6048", "distinct", "thumb",
           path("thumb.heic")});
    write({"heif-grid", path("tile.heic"), path("phone12.heic"), "6", "8", "4032", "3024", "distinct", "exif"});
    write({"heif-grid", path("tile.avif"), path("grid.avif"), "2", "2", "1000", "1000"});
    for (const char* name : {"phone48.heic", "small-tiles.heic", "phone12.heic", "grid.avif"}) {
        EXPECT_EQ(check(name), Soundness::Sound) << name;
        run("heif-info", {path(name)});
    }
    run("heif-convert", {path("grid.avif"), path("grid.png")});
}

TEST_F(HeifCheck, GridsThatStandForMoreThanTheirTilesAreTooLarge)
{
    picture("tile.png", 64, 64);
    run("heif-enc", {"-q", "50", path("tile.png"), "-o", path("tile.heic")});
    QString why;
    // 15,625 and 2,500 tile items that all point at one tile's data.
    write({"heif-grid", path("tile.heic"), path("many.heic"), "125", "125", "8000", "8000", "same-data"});
    EXPECT_EQ(check("many.heic", &why), Soundness::TooLarge);
    EXPECT_TRUE(why.contains("items")) << why.toStdString();
    write({"heif-grid", path("tile.heic"), path("fewer.heic"), "50", "50", "3200", "3200", "same-data"});
    EXPECT_EQ(check("fewer.heic"), Soundness::TooLarge);
    // One tile item named 15,625 times, and four times.
    write({"heif-grid", path("tile.heic"), path("named.heic"), "125", "125", "8000", "8000", "shared"});
    EXPECT_EQ(check("named.heic"), Soundness::TooLarge);
    write({"heif-grid", path("tile.heic"), path("four.heic"), "2", "2", "128", "128", "shared"});
    EXPECT_EQ(check("four.heic", &why), Soundness::TooLarge);
    EXPECT_TRUE(why.contains("repeats")) << why.toStdString();
    // One 64-pixel tile for a canvas of 8000 x 8000, and a canvas past the limit.
    write({"heif-grid", path("tile.heic"), path("stretched.heic"), "1", "1", "8000", "8000"});
    EXPECT_EQ(check("stretched.heic"), Soundness::TooLarge);
    write({"heif-grid", path("tile.heic"), path("vast.heic"), "2", "2", "9000", "9000"});
    EXPECT_EQ(check("vast.heic"), Soundness::TooLarge);
    // The same tiles laid out as they should be pass.
    write({"heif-grid", path("tile.heic"), path("fair.heic"), "2", "3", "190", "128"});
    EXPECT_EQ(check("fair.heic"), Soundness::Sound);
}

TEST_F(HeifCheck, StreamsThatDeclareMoreThanTheirBoxesAreTooLarge)
{
    picture("tile.png", 64, 64);
    run("heif-enc", {"-q", "50", path("tile.png"), "-o", path("tile.heic")});
    run("avifenc", {"-s", "8", path("tile.png"), path("tile.avif")});
    for (const char* source : {"tile.heic", "tile.avif"}) {
        const QString kind = QString(source).section('.', 1);
        for (const int side : {64, 8000, 32768}) {
            const QString name = QStringLiteral("declares-%1.%2").arg(side).arg(kind);
            write({"heif-resize", path(source), path(name), QString::number(side), QString::number(side)});
            QString why;
            EXPECT_EQ(check(name, &why), side == 64 ? Soundness::Sound : Soundness::TooLarge) << name.toStdString();
            if (side == 32768) {
                EXPECT_TRUE(why.contains("32768 x 32768")) << why.toStdString();
            }
        }
    }
    run("heif-convert", {path("declares-64.heic"), path("declares.png")});
}

TEST_F(HeifCheck, BoxesThatDoNotHoldTogetherAreDamaged)
{
    picture("tile.png", 64, 64);
    run("heif-enc", {"-q", "50", path("tile.png"), "-o", path("tile.heic")});
    write({"heif-nest", path("tile.heic"), path("nested.heic"), "12"});
    write({"heif-nest", path("tile.heic"), path("shallow.heic"), "3"});
    write({"heif-overrun", path("tile.heic"), path("overrun.heic")});
    QString why;
    EXPECT_EQ(check("nested.heic", &why), Soundness::Damaged);
    EXPECT_TRUE(why.contains("nest")) << why.toStdString();
    EXPECT_EQ(check("shallow.heic"), Soundness::Sound);
    EXPECT_EQ(check("overrun.heic"), Soundness::Damaged);

    QFile whole(path("tile.heic"));
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    const QByteArray bytes = whole.readAll();
    writeFile("cut.heic", bytes.left(bytes.size() * 6 / 10));
    EXPECT_EQ(check("cut.heic"), Soundness::Damaged);
    // Only its first box, and no ftyp box first.
    const qsizetype ftyp = qsizetype(uchar(bytes[3]));
    writeFile("no-meta.heic", bytes.left(ftyp));
    EXPECT_EQ(check("no-meta.heic"), Soundness::Damaged);
    writeFile("no-ftyp.heic", bytes.mid(ftyp));
    EXPECT_EQ(check("no-ftyp.heic"), Soundness::Damaged);
    writeFile("empty.heic", {});
    EXPECT_EQ(check("empty.heic"), Soundness::Damaged);
}

} // namespace
} // namespace pictomat
