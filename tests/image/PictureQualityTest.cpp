// Each size is drawn from the source at that size, sharp, in place and
// colour-true, as outside tools draw it: ImageMagick's Lanczos resize,
// librsvg's rsvg-convert and Pillow's colour management are the references.
#include "image/MediaIcons.h"
#include "read/PictureFile.h"

#include "ImageTestSupport.h"
#include "TestEnv.h"

#include <QColorSpace>
#include <QDir>
#include <QFile>
#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>

namespace pictomat {
namespace {

class PictureQuality : public test::TestEnv {
protected:
    QString path(const QString& name) const { return work() + "/" + name; }
    QImage readPng(const QString& name) const
    {
        QImage image(path(name));
        EXPECT_FALSE(image.isNull()) << name.toStdString();
        return image;
    }
    void run(const QString& program, const QStringList& arguments)
    {
        const test::ProcessResult r = test::RunProcess(program, arguments, {}, 60000);
        ASSERT_EQ(r.exitCode, 0) << program.toStdString() << ": " << r.err.toStdString();
    }
    QImage size(const QString& name, int m, PictureStatus* status = nullptr)
    {
        const std::optional<QMap<int, QImage>> sizes = RenderMediaIconSizes(QFile::encodeName(path(name)), {m}, status);
        return sizes ? sizes->value(m) : QImage();
    }
};

TEST_F(PictureQuality, PhotoSizesMatchALanczosResizeAndSitExactlyWhereTheRulePutsThem)
{
    // A photo-like picture: gradients under coarse and fine noise.
    const test::ProcessResult made = test::RunPython(R"(
import sys
from PIL import Image, ImageChops
w, h = 1500, 1000
base = Image.merge('RGB', [Image.linear_gradient('L').rotate(a).resize((w, h)) for a in (0, 90, 180)])
coarse = Image.effect_noise((w // 8, h // 8), 60).resize((w, h), Image.BILINEAR)
fine = Image.effect_noise((w, h), 30)
noise = Image.merge('RGB', [ImageChops.add(coarse, fine, 2.0, -64)] * 3)
ImageChops.add(base, noise, 1.5, -32).save(sys.argv[1])
)",
                                                     {path("photo.png")});
    ASSERT_EQ(made.exitCode, 0) << made.err.toStdString();
    for (int m : {32, 64}) {
        const QImage ours = size("photo.png", m);
        ASSERT_EQ(ours.size(), QSize(m, m));
        const Rect16 r = FitRectInSquare(1500, 1000, int16_t(m));
        const QString reference = QStringLiteral("ref%1.png").arg(m);
        run("convert", {path("photo.png"), "-filter", "Lanczos", "-resize",
                        QStringLiteral("%1x%2!").arg(r.width()).arg(r.height()), path(reference)});
        const QImage picture = ours.copy(r.left, r.top, r.width(), r.height());
        EXPECT_GT(test::Psnr(picture, readPng(reference)), 35.0) << m;
        EXPECT_EQ(qAlpha(ours.pixel(0, r.top - 1)), 0) << m;
        EXPECT_EQ(qAlpha(ours.pixel(0, r.top)), 255) << m;
    }

    // A disc in the middle of a square whose side no box divides evenly: at
    // every size its centre stays in the middle and its area in proportion.
    QImage disc(1000, 1000, QImage::Format_ARGB32);
    disc.fill(Qt::transparent);
    {
        QPainter painter(&disc);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::white);
        painter.drawEllipse(QPointF(500, 500), 400, 400);
    }
    ASSERT_TRUE(disc.save(path("disc.png")));
    for (int m : {37, 48, 100, 200}) {
        const QImage ours = size("disc.png", m);
        ASSERT_EQ(ours.size(), QSize(m, m));
        double mass = 0, x = 0, y = 0;
        for (int row = 0; row < m; ++row)
            for (int col = 0; col < m; ++col) {
                const double a = qAlpha(ours.pixel(col, row)) / 255.0;
                mass += a;
                x += a * (col + 0.5);
                y += a * (row + 0.5);
            }
        EXPECT_NEAR(x / mass, m / 2.0, 0.1) << m;
        EXPECT_NEAR(y / mass, m / 2.0, 0.1) << m;
        const double expected = M_PI * std::pow(0.4 * m, 2);
        EXPECT_NEAR(mass / expected, 1.0, 0.01) << m;
    }
}

TEST_F(PictureQuality, DrawingsAreDrawnAtEachSizeAsLibrsvgDrawsThem)
{
    // What a design tool writes: a style sheet class, a blurred drop shadow and a mask.
    QFile designed(QStringLiteral(PICTOMAT_SOURCE_DIR "/tests/image/data/designed.svg"));
    ASSERT_TRUE(designed.open(QIODevice::ReadOnly));
    writeFile("icon.svg", designed.readAll());
    for (int m : {16, 32, 256}) {
        const QImage ours = size("icon.svg", m);
        const QString reference = QStringLiteral("rsvg%1.png").arg(m);
        run("rsvg-convert",
            {"-w", QString::number(m), "-h", QString::number(m), path("icon.svg"), "-o", path(reference)});
        EXPECT_GT(test::Psnr(ours, readPng(reference)), 45.0) << m;
    }
}

TEST_F(PictureQuality, ALocalDrawingLoadsPicturesOnlyFromItsOwnFolderAndBytesLoadNothing)
{
    QDir().mkpath(path("art/img"));
    QImage red(8, 8, QImage::Format_ARGB32);
    red.fill(Qt::red);
    ASSERT_TRUE(red.save(path("art/img/red.png")));
    ASSERT_TRUE(red.save(path("secret.png"))); // outside the drawing's folder
    const QString secret = path("secret.png");
    const QByteArray svg = QStringLiteral(R"svg(<svg xmlns="http://www.w3.org/2000/svg"
  xmlns:xlink="http://www.w3.org/1999/xlink" width="40" height="10">
  <image x="0" y="0" width="10" height="10" xlink:href="img/red.png"/>
  <image x="10" y="0" width="10" height="10" xlink:href="../secret.png"/>
  <image x="20" y="0" width="10" height="10" xlink:href="%1"/>
  <image x="30" y="0" width="10" height="10" xlink:href="file://%1"/>
</svg>)svg")
                               .arg(secret)
                               .toUtf8();
    writeFile("art/linked.svg", svg);

    const std::optional<QMap<int, QImage>> sizes =
        RenderMediaIconSizes(QFile::encodeName(path("art/linked.svg")), {40});
    ASSERT_TRUE(sizes);
    const QImage drawn = sizes->value(40); // 40 x 10, centred at rows 15 to 24
    EXPECT_EQ(drawn.pixel(5, 20), qRgb(255, 0, 0));
    for (int x : {15, 25, 35})
        EXPECT_EQ(qAlpha(drawn.pixel(x, 20)), 0) << x;

    // The same drawing from bytes (the clipboard's) has no folder at all.
    const PictureResult fromBytes = DecodePictureBytes(svg, FitWithin(40));
    ASSERT_TRUE(fromBytes.ok());
    for (int x : {5, 15, 25, 35})
        EXPECT_EQ(qAlpha(fromBytes.decoded.picture.pixel(x, 5)), 0) << x;
}

TEST_F(PictureQuality, ColourProfilesAreConvertedToSrgbAsLittleCmsDoes)
{
    // Saturated green in Adobe RGB, written with its profile by Qt's writers.
    QImage green(64, 64, QImage::Format_RGB32);
    green.fill(QColor(40, 200, 30));
    green.setColorSpace(QColorSpace::AdobeRgb);
    for (const char* name : {"green.png", "green.jpg", "green.tif", "green.webp"})
        ASSERT_TRUE(green.save(path(name), nullptr, 100)) << name;
    // The phone formats keep the profile of the picture they were made from.
    run("heif-enc", {"-q", "95", path("green.png"), "-o", path("green.heic")});
    run("avifenc", {path("green.png"), path("green.avif")});
    const test::ProcessResult r =
        test::RunPython(R"(
import io, sys
from PIL import Image, ImageCms
for name in sys.argv[2:]:
    source = sys.argv[1] + '/' + name.replace('.heic', '.png').replace('.avif', '.png')
    im = Image.open(source).convert('RGB')
    icc = Image.open(source).info.get('icc_profile')
    if not icc:
        print(name, 'none'); continue
    srgb = ImageCms.profileToProfile(im, ImageCms.ImageCmsProfile(io.BytesIO(icc)), ImageCms.createProfile('sRGB'),
                                     renderingIntent=ImageCms.Intent.PERCEPTUAL)
    print(name, *srgb.getpixel((32, 32)))
)",
                        {work(), "green.png", "green.jpg", "green.tif", "green.webp", "green.heic", "green.avif"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    for (const QByteArray& line : r.out.trimmed().split('\n')) {
        const QList<QByteArray> words = line.split(' ');
        ASSERT_EQ(words.size(), 4) << "no profile in " << line.toStdString();
        const QColor expected(words[1].toInt(), words[2].toInt(), words[3].toInt());
        const QImage ours = size(QString::fromLatin1(words[0]), 64);
        const QColor got = ours.pixelColor(32, 32);
        EXPECT_NEAR(got.red(), expected.red(), 4) << words[0].toStdString();
        EXPECT_NEAR(got.green(), expected.green(), 4) << words[0].toStdString();
        EXPECT_NEAR(got.blue(), expected.blue(), 4) << words[0].toStdString();
        EXPECT_LT(got.red(), 20) << "left in Adobe RGB: " << words[0].toStdString();
    }
}

} // namespace
} // namespace pictomat
