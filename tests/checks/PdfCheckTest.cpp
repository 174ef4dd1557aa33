// PDF files before poppler opens them: artwork as cairo, Pillow and
// containers.py write it (cross-reference tables or streams, object streams,
// forms, a damaged cross-reference) passes and poppler draws it; first pages
// whose images, page tree or instructions cost more than they hold are too
// large, however their objects are stored.
#include "checks/PdfCheck.h"

#include "CheckFixture.h"

namespace pictomat {
namespace {

class PdfCheck : public test::CheckFixture {
protected:
    Soundness check(const QString& name, QString* why = nullptr)
    {
        return verdict(
            [](const ByteSource& bytes, Error* e) { return CheckPdfStructure(bytes, kMaxWholePicturePixels, e); }, name,
            why);
    }
    void pdf(const QStringList& arguments) { write(QStringList{"pdf"} + arguments); }
};

TEST_F(PdfCheck, ArtworkAsWritersMakeItPassesAndPopplerDrawsIt)
{
    python(R"(
import sys, cairo
from PIL import Image
d = sys.argv[1]
s = cairo.PDFSurface(d + '/cairo.pdf', 200, 100)
c = cairo.Context(s)
picture = cairo.ImageSurface(cairo.FORMAT_ARGB32, 64, 64)
p = cairo.Context(picture)
p.set_source_rgba(1, 0, 0, 0.5)
p.paint()
for page in range(300):
    c.set_source_rgba(0.2, 0.4, 0.8, 0.6)
    c.arc(100, 50, 40, 0, 6.3)
    c.fill()
    c.set_source_surface(picture, 10, 10)
    c.paint()
    c.move_to(10, 90)
    c.show_text('Page %d' % page)
    s.show_page()
s.finish()
Image.effect_noise((3000, 2000), 60).convert('RGB').save(d + '/photo.pdf', quality=85)
Image.new('1', (2000, 2000), 1).save(d + '/lines.pdf')
)");
    for (const char* name : {"cairo.pdf", "photo.pdf", "lines.pdf"})
        EXPECT_EQ(check(name), Soundness::Sound) << name;

    // A page with an image, stored every way containers.py stores objects;
    // and a flat image at deflate's best ratio (12 MB from 12 KB).
    pdf({"art", path("table.pdf")});
    pdf({"art", path("streams.pdf"), "objstm"});
    pdf({"art", path("form.pdf"), "objstm", "form"});
    pdf({"art", path("damaged.pdf"), "broken-xref"});
    pdf({"image", path("flat.pdf"), "2000,2000", "objstm"});
    pdf({"deep", path("tall.pdf"), "200", "objstm"});
    pdf({"blanks", path("blanks.pdf"), "8"});
    for (const char* name :
         {"table.pdf", "streams.pdf", "form.pdf", "damaged.pdf", "flat.pdf", "tall.pdf", "blanks.pdf"}) {
        EXPECT_EQ(check(name), Soundness::Sound) << name;
        run("pdftoppm", {"-png", "-singlefile", "-r", "10", path(name), path(QString(name) + ".page")});
    }
}

TEST_F(PdfCheck, FirstPagesThatCostMoreThanTheyHoldAreTooLarge)
{
    QString why;
    // One image of 60000 x 60000 pixels in a few hundred bytes: directly on
    // the page, and through a form with its size in an object stream.
    pdf({"image", path("image.pdf"), "60000,60000,3000"});
    EXPECT_EQ(check("image.pdf", &why), Soundness::TooLarge);
    EXPECT_TRUE(why.contains("60000 x 60000")) << why.toStdString();
    pdf({"image", path("hidden-image.pdf"), "60000,60000,3000", "objstm", "form"});
    EXPECT_EQ(check("hidden-image.pdf"), Soundness::TooLarge);
    // Within the pixel limit, but 192 MB of pixels from 3000 deflated zeros.
    pdf({"image", path("thin-image.pdf"), "8000,8000,3000", "objstm"});
    EXPECT_EQ(check("thin-image.pdf", &why), Soundness::TooLarge);
    EXPECT_TRUE(why.contains("bytes")) << why.toStdString();

    // A page tree 100,000 levels deep, stored every way.
    for (const QStringList& how : {QStringList{}, QStringList{"objstm"}, QStringList{"broken-xref"}}) {
        pdf(QStringList{"deep", path("deep.pdf"), "100000"} + how);
        EXPECT_EQ(check("deep.pdf", &why), Soundness::TooLarge) << how.join(' ').toStdString();
        EXPECT_TRUE(why.contains("deeper")) << why.toStdString();
    }

    // Drawing instructions that inflate to 256 MiB of blanks.
    pdf({"blanks", path("blanks.pdf"), "256", "objstm"});
    EXPECT_EQ(check("blanks.pdf", &why), Soundness::TooLarge);
    EXPECT_TRUE(why.contains("inflate")) << why.toStdString();
}

} // namespace
} // namespace pictomat
