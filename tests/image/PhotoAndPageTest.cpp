// Phone photos and page artwork as real writers make them (heif-enc, avifenc,
// cairo's PDF surface), each read as its own decoder shows it: heif-convert,
// avifdec and pdftocairo give the reference pictures, ImageMagick's Lanczos
// resize the reference sizes.
#include "image/FitRect.h"
#include "image/MediaIcons.h"
#include "read/PictureFile.h"

#include "ImageTestSupport.h"
#include "TestEnv.h"

#include <QFile>
#include <QPainter>

#include <gtest/gtest.h>

namespace pictomat {
namespace {

class PhotoAndPage : public test::TestEnv {
protected:
    QString path(const QString& name) const { return work() + "/" + name; }
    QByteArray file(const QString& name) const { return QFile::encodeName(path(name)); }
    void run(const QString& program, const QStringList& arguments)
    {
        const test::ProcessResult r = test::RunProcess(program, arguments, {}, 120000);
        ASSERT_EQ(r.exitCode, 0) << program.toStdString() << ": " << r.err.toStdString();
    }
    void python(const QString& script)
    {
        const test::ProcessResult r = test::RunPython(script, {work()}, 120000);
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    }
    // The icon row of size m made from `name` (laid on `paper` when given),
    // against the reference picture resized to the rectangle the row fills:
    // their PSNR.
    double psnrAgainst(const QString& name, const QString& reference, int m, QColor paper = Qt::transparent)
    {
        PictureStatus status = PictureStatus::NotAPicture;
        const std::optional<QMap<int, QImage>> rows = RenderMediaIconSizes(file(name), {m}, &status);
        EXPECT_TRUE(rows) << name.toStdString() << ": " << PictureStatusText(status).toStdString();
        const QImage whole(path(reference));
        if (!rows || whole.isNull())
            return 0;
        const QSize natural = whole.size();
        const Rect16 r = FitRectInSquare(natural.width(), natural.height(), int16_t(m));
        const QString resized = QStringLiteral("%1-%2.png").arg(reference).arg(m);
        run("convert", {path(reference), "-filter", "Lanczos", "-resize",
                        QStringLiteral("%1x%2!").arg(r.width()).arg(r.height()), "-depth", "8", path(resized)});
        QImage row = rows->value(m).copy(r.left, r.top, r.width(), r.height());
        if (paper.alpha() > 0) {
            QImage laid(row.size(), QImage::Format_ARGB32_Premultiplied);
            laid.fill(paper);
            QPainter(&laid).drawImage(0, 0, row);
            row = laid;
        }
        return test::Psnr(row, QImage(path(resized)));
    }
    PictureStatus statusOf(const QString& name) { return ReadPictureFile(FileRef(file(name)), FitWithin(64)).status; }
    void writeCut(const QString& from, const QString& to, double part)
    {
        QFile whole(path(from));
        ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
        const QByteArray bytes = whole.readAll();
        writeFile(to, bytes.left(qsizetype(double(bytes.size()) * part)));
    }
};

TEST_F(PhotoAndPage, PhonePhotosAreReadAsTheirOwnDecodersShowThemUprightAndAtAnyDepth)
{
    // A photo-like picture, 1200 x 800: a colour gradient along each axis
    // (so that a turned or mirrored picture cannot pass) under fine noise,
    // with a transparent band along its top.
    python(R"(
import sys
from PIL import Image, ImageChops
w, h = 1200, 800
base = Image.merge('RGB', [Image.linear_gradient('L').rotate(a).resize((w, h)) for a in (0, 90, 200)])
noise = Image.merge('RGB', [Image.effect_noise((w, h), 20)] * 3)
photo = ImageChops.add(base, noise, 1.3, -40).convert('RGBA')
photo.putalpha(Image.linear_gradient('L').resize((w, h)).point(lambda v: 0 if v < 40 else 255))
photo.save(sys.argv[1] + '/photo.png')
photo.convert('RGB').save(sys.argv[1] + '/opaque.png')
)");
    // A HEIC with a stored thumbnail (a camera's), read by content under a
    // JPEG's name too; an AVIF stored turned a quarter and mirrored (irot,
    // imir), as a phone stores a portrait; a 10-bit HEIC.
    run("heif-enc", {"-q", "92", "-t", "320", path("photo.png"), "-o", path("photo.heic")});
    QFile::copy(path("photo.heic"), path("photo-really-heic.jpg"));
    run("heif-convert", {path("photo.heic"), path("heic-ref.png")});
    run("avifenc", {"--min", "4", "--max", "8", "--irot", "1", "--imir", "1", path("opaque.png"), path("turned.avif")});
    run("avifdec", {path("turned.avif"), path("turned-stored.png")});
    // avifdec gives the pixels as stored: a quarter turn anticlockwise, then left and right swapped.
    python(R"(
import sys
from PIL import Image
stored = Image.open(sys.argv[1] + '/turned-stored.png')
stored.transpose(Image.ROTATE_90).transpose(Image.FLIP_LEFT_RIGHT).save(sys.argv[1] + '/turned-ref.png')
)");
    run("convert", {path("opaque.png"), "-depth", "16", "PNG48:" + path("deep16.png")});
    run("heif-enc", {"-b", "10", "-q", "92", path("deep16.png"), "-o", path("deep.heic")});
    run("heif-convert", {path("deep.heic"), path("deep-ref.png")});

    // From the thumbnail (fine noise keeps any 16 pixel reduction from
    // matching another closely), and from the photo itself.
    for (const auto& [m, floor] : {std::pair{16, 34.0}, std::pair{256, 38.0}}) {
        EXPECT_GT(psnrAgainst("photo.heic", "heic-ref.png", m), floor) << m;
        EXPECT_GT(psnrAgainst("photo-really-heic.jpg", "heic-ref.png", m), floor) << m;
    }
    EXPECT_GT(psnrAgainst("turned.avif", "turned-ref.png", 128), 36.0);
    EXPECT_GT(psnrAgainst("deep.heic", "deep-ref.png", 128), 38.0);

    const PictureResult photo = ReadPictureFile(FileRef(file("photo.heic")), FitWithin(600));
    ASSERT_TRUE(photo.ok());
    EXPECT_EQ(photo.decoded.natural, QSize(1200, 800));
    EXPECT_EQ(photo.decoded.picture.size(), QSize(600, 400));
    EXPECT_EQ(qAlpha(photo.decoded.picture.pixel(300, 2)), 0);
    EXPECT_EQ(qAlpha(photo.decoded.picture.pixel(300, 200)), 255);
    EXPECT_EQ(PictureFileSize(file("turned.avif")), QSize(800, 1200)); // as shown, not as stored

    // A text file named as a photo is none; a cut photo is damaged.
    writeFile("notes.heic", "Notes for the trip: bring the camera.\n");
    writeCut("photo.heic", "cut.heic", 0.6);
    writeCut("turned.avif", "cut.avif", 0.5);
    // One whose header promises a picture far taller than it holds (as the
    // fuzzer found one): read as what it holds, never past it.
    python(R"(
import struct, sys
data = bytearray(open(sys.argv[1] + '/turned.avif', 'rb').read())
at = data.find(b'ispe') + 8
data[at:at + 8] = struct.pack('>II', 800, 20000)
open(sys.argv[1] + '/tall.avif', 'wb').write(bytes(data))
)");
    const PictureResult tall = ReadPictureFile(FileRef(file("tall.avif")), FitWithin(64));
    EXPECT_TRUE(!tall.ok() || tall.decoded.picture.height() <= 64);
    EXPECT_EQ(statusOf("notes.heic"), PictureStatus::NotAPicture);
    EXPECT_EQ(statusOf("cut.heic"), PictureStatus::Damaged);
    EXPECT_EQ(statusOf("cut.avif"), PictureStatus::Damaged);
}

TEST_F(PhotoAndPage, PdfArtworkIsItsFirstPageDrawnAtEachSizeWithItsTransparency)
{
    // What a design tool exports: a page of 200 x 100 points with nothing
    // behind its art (a gradient box, a half-transparent disc, a stroked
    // curve), and a second page that must not show.
    python(R"(
import sys, cairo
s = cairo.PDFSurface(sys.argv[1] + '/art.pdf', 200, 100)
c = cairo.Context(s)
g = cairo.LinearGradient(0, 0, 200, 0)
g.add_color_stop_rgb(0, 0.9, 0.1, 0.1)
g.add_color_stop_rgb(1, 0.1, 0.1, 0.8)
c.set_source(g)
c.rectangle(10, 10, 120, 80)
c.fill()
c.set_source_rgba(0, 0.6, 0, 0.5)
c.arc(140, 50, 45, 0, 6.2832)
c.fill()
c.set_source_rgb(1, 1, 1)
c.set_line_width(4)
c.move_to(20, 80)
c.curve_to(60, 0, 120, 100, 180, 20)
c.stroke()
s.show_page()
c.set_source_rgb(1, 1, 0)
c.paint()
s.show_page()
s.finish()
)");
    QFile::copy(path("art.pdf"), path("art.ai")); // Illustrator's files are PDF inside
    // Against cairo's own drawing of the page, transparent: two rasterisers'
    // edges differ (poppler's align boxes to whole pixels), yet a picture one
    // pixel off scores 26 at this size.
    run("pdftocairo", {"-png", "-transp", "-singlefile", "-f", "1", "-l", "1", "-scale-to-x", "256", "-scale-to-y",
                       "128", path("art.pdf"), path("cairo")});
    EXPECT_GT(psnrAgainst("art.pdf", "cairo.png", 256), 28.0);
    EXPECT_GT(psnrAgainst("art.ai", "cairo.png", 256), 28.0);
    // Against poppler's pdftoppm, which lays the page on white paper: the same
    // drawing at every size, small ones too.
    for (int m : {32, 256}) {
        const QString paper = QStringLiteral("paper%1").arg(m);
        run("pdftoppm", {"-png", "-singlefile", "-scale-to-x", QString::number(m), "-scale-to-y",
                         QString::number(m / 2), path("art.pdf"), path(paper)});
        EXPECT_GT(psnrAgainst("art.pdf", paper + ".png", m, Qt::white), 45.0) << m;
    }
    const PictureResult page = ReadPictureFile(FileRef(file("art.pdf")), FitWithin(400));
    ASSERT_TRUE(page.ok());
    EXPECT_EQ(page.decoded.picture.size(), QSize(400, 200));
    EXPECT_EQ(qAlpha(page.decoded.picture.pixel(395, 5)), 0); // no paper behind the art

    writeFile("notes.pdf", "Notes for the print shop.\n");
    writeFile("broken.pdf", "%PDF-1.7\n" + QByteArray(4000, '\x9c') + "\n%%EOF\n");
    writeCut("art.pdf", "cut.pdf", 0.3);
    EXPECT_EQ(statusOf("notes.pdf"), PictureStatus::NotAPicture);
    EXPECT_EQ(statusOf("broken.pdf"), PictureStatus::Damaged);
    EXPECT_NE(statusOf("cut.pdf"), PictureStatus::Decoded);
}

} // namespace
} // namespace pictomat
