#include "image/MediaIcons.h"

#include "ImageTestSupport.h"
#include "files/FileIO.h"
#include "icns/Png.h"
#include "TestEnv.h"

#include <QColorSpace>
#include <QDir>
#include <QFile>
#include <QPainter>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

namespace pictomat {
namespace {

// Whether the readers take the file's bytes as a picture or a drawing,
// whatever its name.
bool readAsPicture(const QByteArray& path)
{
    const Content content = PictureSource::open(FileRef(path)).content();
    return content == Content::Picture || content == Content::Drawing;
}

using test::Range;
using test::RowsWithAlpha;

class MediaIcons : public test::TestEnv {
protected:
    QByteArray save(const QImage& image, const QString& name, int quality = -1)
    {
        EXPECT_TRUE(image.save(work() + "/" + name, nullptr, quality)) << name.toStdString();
        return QFile::encodeName(work() + "/" + name);
    }
    QByteArray writeFamily(const icns::IconFamily& family, const QString& name)
    {
        const QByteArray path = QFile::encodeName(work() + "/" + name);
        EXPECT_TRUE(WriteFileAtomically(FileRef(path), family.toIcns()));
        return path;
    }
};

QImage solid(int w, int h, QColor colour)
{
    QImage image(w, h, QImage::Format_ARGB32);
    image.fill(colour);
    return image;
}

TEST_F(MediaIcons, WidePictureIsFittedByWidthAndKeepsItsSizeWhereItFits)
{
    const std::optional<icns::IconFamily> family = IconFamilyFromImage(save(solid(64, 32, Qt::red), "red.png"));
    ASSERT_TRUE(family);
    const QByteArray icns = writeFamily(*family, "red.icns");

    std::optional<QImage> row = test::PillowIcnsImage(icns, 16); // h = 8, from row 4
    ASSERT_TRUE(row);
    EXPECT_EQ(RowsWithAlpha(*row, 255), Range(4, 11));
    EXPECT_EQ(RowsWithAlpha(*row, 0), Range(0, 3) + Range(12, 15));
    EXPECT_TRUE(test::Near(row->pixel(8, 8), Qt::red, 0));
    row = test::PillowIcnsImage(icns, 48);
    ASSERT_TRUE(row);
    EXPECT_EQ(RowsWithAlpha(*row, 255), Range(12, 35));

    for (int m : {128, 512}) { // smaller both ways: 64 x 32 at its own size, centred
        row = test::PillowIcnsImage(icns, m);
        ASSERT_TRUE(row);
        const int left = (m - 64) / 2, top = (m - 32) / 2;
        EXPECT_TRUE(test::Near(row->pixel(left, top), Qt::red, 0)) << m;
        EXPECT_TRUE(test::Near(row->pixel(left + 63, top + 31), Qt::red, 0)) << m;
        EXPECT_EQ(qAlpha(row->pixel(left - 1, top)) + qAlpha(row->pixel(left + 64, top))
                      + qAlpha(row->pixel(left, top - 1)) + qAlpha(row->pixel(left, top + 32)),
                  0)
            << m;
    }
}

TEST_F(MediaIcons, EveryRowHasItsOwnElementsAndASquareFillsThemAll)
{
    const std::optional<icns::IconFamily> family = IconFamilyFromImage(save(solid(2000, 2000, Qt::green), "g.png"));
    ASSERT_TRUE(family);
    // The 256 and 512 rows do not overwrite the 128 px elements.
    QMap<QString, int> edges;
    for (const icns::IconFamily::Image& image : family->images())
        edges[icns::OSTypeToString(image.type)] = image.image.width();
    const QMap<QString, int> expected = {{"is32", 16},  {"il32", 32},  {"ih32", 48},  {"it32", 128},
                                         {"ic11", 32},  {"ic12", 64},  {"ic07", 128}, {"ic08", 256},
                                         {"ic13", 256}, {"ic09", 512}, {"ic14", 512}, {"ic10", 1024}};
    for (auto it = expected.begin(); it != expected.end(); ++it)
        EXPECT_EQ(edges.value(it.key()), it.value()) << it.key().toStdString();

    const QByteArray icns = writeFamily(*family, "g.icns");
    for (int m : kIconFamilySizes) {
        const std::optional<QImage> row = test::PillowIcnsImage(icns, m);
        ASSERT_TRUE(row) << m;
        EXPECT_EQ(RowsWithAlpha(*row, 255), Range(0, m - 1)) << m;
        EXPECT_TRUE(test::Near(row->pixel(m / 2, m / 2), Qt::green, 0)) << m;
    }
}

TEST_F(MediaIcons, MaskIsTheAlphaOfEachPixel)
{
    // Transparent blue on the left: a mask taken from the blue byte would show it.
    QImage picture = solid(64, 64, QColor(0, 0, 255, 0));
    QPainter(&picture).fillRect(32, 0, 32, 64, QColor(255, 255, 0));
    const std::optional<icns::IconFamily> family = IconFamilyFromImage(save(picture, "half.png"));
    ASSERT_TRUE(family);
    const QByteArray icns = writeFamily(*family, "half.icns");
    for (int m : {16, 32, 48, 128}) {
        const std::optional<QImage> row = test::PillowIcnsImage(icns, m);
        ASSERT_TRUE(row);
        const Rect16 r = FitRectInSquare(64, 64, int16_t(m));
        const int y = (r.top + r.bottom) / 2;
        EXPECT_EQ(qAlpha(row->pixel(r.left + r.width() / 4, y)), 0) << m;
        EXPECT_TRUE(test::Near(row->pixel(r.left + 3 * r.width() / 4, y), QColor(255, 255, 0), 0)) << m;
    }
}

TEST_F(MediaIcons, PhotoIsDecodedOnceAtTwiceTheLargestRowsSizeAndUpright)
{
    const std::optional<DecodedPicture> photo =
        DecodeImageForIcon(save(solid(3000, 2000, QColor(200, 40, 40)), "p.jpg", 90));
    ASSERT_TRUE(photo);
    EXPECT_EQ(photo->natural, QSize(3000, 2000));
    EXPECT_EQ(photo->picture.size(), QSize(2250, 1500)); // libjpeg's 6/8: the first eighth at least 2 x 1024 wide
    EXPECT_TRUE(test::Near(photo->picture.pixel(1125, 750), QColor(200, 40, 40), 6));
    const std::optional<DecodedPicture> small = DecodeImageForIcon(save(solid(40, 30, Qt::blue), "s.png"));
    ASSERT_TRUE(small);
    EXPECT_EQ(small->picture.size(), QSize(40, 30)); // never scaled up

    // 600 x 200, left half blue, stored "turn 90 degrees clockwise to display".
    const QString turned = work() + "/turned.jpg";
    const test::ProcessResult made = test::RunPython(R"(
import sys
from PIL import Image
im = Image.new('RGB', (600, 200), (255, 0, 0))
im.paste((0, 0, 255), (0, 0, 300, 200))
exif = Image.Exif()
exif[0x0112] = 6
im.save(sys.argv[1], exif=exif.tobytes(), quality=95)
)",
                                                     {turned});
    ASSERT_EQ(made.exitCode, 0) << made.err.toStdString();
    const std::optional<DecodedPicture> upright = DecodeImageForIcon(QFile::encodeName(turned));
    ASSERT_TRUE(upright);
    EXPECT_EQ(upright->natural, QSize(200, 600));
    EXPECT_EQ(upright->picture.size(), QSize(200, 600));
    EXPECT_TRUE(test::Near(upright->picture.pixel(100, 60), Qt::blue, 12));
    EXPECT_TRUE(test::Near(upright->picture.pixel(100, 540), Qt::red, 12));
}

TEST_F(MediaIcons, PicturesReducedWhileTheyAreDecodedGetThePixelsOfTheWholePicture)
{
    // Odd sizes (partial boxes at every average), noise and soft alpha, an
    // Adobe RGB profile, and a JPEG cut short (the decoder fills in the rest).
    const test::ProcessResult made = test::RunPython(R"(
import sys
from PIL import Image
w, h = 2051, 1301
noise = Image.effect_noise((w, h), 60)
rgb = Image.merge('RGB', [noise, Image.linear_gradient('L').resize((w, h)), noise.rotate(180)])
rgba = rgb.copy()
rgba.putalpha(Image.radial_gradient('L').resize((w, h)))
rgba.save(sys.argv[1] + '/soft.png')
rgb.resize((3001, 1999)).save(sys.argv[1] + '/photo.jpg', quality=90)
)",
                                                     {work()});
    ASSERT_EQ(made.exitCode, 0) << made.err.toStdString();
    QImage adobe(QImage(work() + "/photo.jpg").convertToFormat(QImage::Format_RGB32));
    adobe.setColorSpace(QColorSpace::AdobeRgb);
    save(adobe, "adobe.jpg", 92);
    QFile photo(work() + "/photo.jpg");
    ASSERT_TRUE(photo.open(QIODevice::ReadOnly));
    const QByteArray bytes = photo.readAll();
    writeFile("cut.jpg", bytes.left(bytes.size() * 3 / 5));

    const QList<int> edges = {16, 32, 37, 48, 64, 100, 128, 256, 512, 1024};
    for (const char* name : {"soft.png", "photo.jpg", "adobe.jpg", "cut.jpg"}) {
        const QByteArray path = QFile::encodeName(work() + "/" + name);
        const std::optional<QMap<int, QImage>> streamed = RenderMediaIconSizes(path, edges);
        const std::optional<DecodedPicture> whole = DecodeImageForIcon(path);
        ASSERT_TRUE(streamed && whole) << name;
        const QMap<int, QImage> reduced = RenderIconRows(whole->picture, whole->natural, edges);
        for (int m : edges)
            EXPECT_TRUE(streamed->value(m) == reduced.value(m)) << name << " at " << m;
        // The family keeps only the PNG of its largest sizes, made row by row
        // as the picture was decoded: the same file as from the whole square.
        const std::optional<icns::IconFamily> family = IconFamilyFromImage(path);
        ASSERT_TRUE(family) << name;
        EXPECT_EQ(family->element(icns::MakeOSType("ic10")), icns::codec::EncodePng(reduced.value(1024))) << name;
        EXPECT_EQ(family->element(icns::MakeOSType("ic09")), icns::codec::EncodePng(reduced.value(512))) << name;
    }
}

TEST_F(MediaIcons, FilesThatAreNotWholePicturesNeverCrash)
{
    const QByteArray text = writeFile("notes.txt", "hello world\nthis is text\n");
    EXPECT_FALSE(readAsPicture(text));
    EXPECT_FALSE(IconFamilyFromImage(text));
    EXPECT_FALSE(IconFamilyFromMedia(text));
    EXPECT_FALSE(IconFamilyFromImage(QFile::encodeName(work() + "/missing.png")));
    EXPECT_FALSE(readAsPicture(QFile::encodeName(work())));

    QImage photo = solid(800, 600, Qt::darkCyan);
    QPainter(&photo).fillRect(100, 100, 300, 200, Qt::yellow);
    QFile whole(QFile::decodeName(save(photo, "whole.jpg", 80)));
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    QByteArray bytes = whole.readAll();
    for (qsizetype cut : {qsizetype(0), qsizetype(2), qsizetype(200), bytes.size() / 2, bytes.size() - 2}) {
        const std::optional<icns::IconFamily> family = IconFamilyFromImage(writeFile("cut.jpg", bytes.left(cut)));
        EXPECT_TRUE(!family || !family->isEmpty());
    }
    for (qsizetype i = 600; i < bytes.size(); i += 97)
        bytes[i] = char(bytes[i] ^ 0x5a);
    (void)IconFamilyFromImage(writeFile("scrambled.jpg", bytes));
}

TEST_F(MediaIcons, IcnsFilesKeepTheirOwnElementsAndOddNamesOpen)
{
    const std::optional<icns::IconFamily> made = IconFamilyFromImage(save(solid(128, 128, Qt::magenta), "m.png"));
    ASSERT_TRUE(made);
    for (const QString& name : {QString("Set.icns"), QString("Set.ICNS")}) {
        const QByteArray path = writeFamily(*made, name);
        EXPECT_FALSE(readAsPicture(path)) << name.toStdString(); // not read as a picture
        const std::optional<icns::IconFamily> read = IconFamilyFromMedia(path);
        ASSERT_TRUE(read);
        ASSERT_EQ(read->elements().size(), made->elements().size());
        for (qsizetype i = 0; i < made->elements().size(); ++i)
            EXPECT_EQ(read->elements()[i].data, made->elements()[i].data);
    }

    // A name that is not valid UTF-8 is opened by its bytes.
    const QByteArray name = QFile::encodeName(work()) + "/caf\xe9-\xff.png";
    QFile png(work() + "/m.png");
    ASSERT_TRUE(png.open(QIODevice::ReadOnly));
    const QByteArray content = png.readAll();
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, content.constData(), size_t(content.size())), content.size());
    ::close(fd);
    EXPECT_TRUE(readAsPicture(name));
    EXPECT_TRUE(IconFamilyFromImage(name));
    ::unlink(name.constData()); // the temporary folder cannot remove it by name
}

TEST_F(MediaIcons, IconsetFolderGivesItsPicturesAsTheFamily)
{
    // Files without an iconset name, a larger master picture among them, stay out.
    const QString folder = QStringLiteral("My App.iconset");
    QDir().mkpath(work() + "/" + folder);
    save(solid(1024, 1024, Qt::red), folder + "/master.png");
    save(solid(16, 16, QColor(0, 0, 255, 128)), folder + "/icon_16x16.png");
    const QByteArray big = save(solid(256, 256, Qt::green), folder + "/icon_128x128@2x.png");
    const QByteArray path = QFile::encodeName(work() + "/" + folder);

    QString error;
    std::optional<icns::IconFamily> family = IconFamilyFromIconsetFolder(path, &error);
    ASSERT_TRUE(family) << qPrintable(error);
    QStringList kinds;
    for (const auto& e : family->elements())
        kinds << icns::OSTypeToString(e.type);
    EXPECT_EQ(kinds, QStringList({"is32", "s8mk", "ic13"}));
    QFile file(QFile::decodeName(big));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(family->element(icns::MakeOSType("ic13")), file.readAll());
    EXPECT_EQ(family->bestImage(16).pixel(3, 3), qRgba(0, 0, 255, 128));

    save(solid(32, 32, Qt::red), folder + "/icon_16x16.png");
    EXPECT_FALSE(IconFamilyFromIconsetFolder(path, &error));
    EXPECT_EQ(error, "icon_16x16.png: 32x32 pixels, but its name asks for 16x16");
    EXPECT_FALSE(IconFamilyFromIconsetFolder(QFile::encodeName(work()), &error));
    EXPECT_TRUE(error.startsWith("no picture named as in an iconset")) << qPrintable(error);
}

} // namespace
} // namespace pictomat
