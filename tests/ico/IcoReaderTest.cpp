// The .ico reader on files that icotool (icoutils) wrote at every depth,
// checked picture by picture against Pillow's reading of the same file; on
// the older shapes of bitmap Windows still draws; and on damaged files, each
// losing only its damaged picture.

#include "ico/IcoFile.h"

#include "TestEnv.h"

#include <QDir>
#include <QFile>

namespace pictomat::test {
namespace {

using ico::Entry;
using ico::Format;
using ico::IcoFile;

// `colours` flat colours in bands inside a clear border of two pixels: the
// border is what the AND mask says, the bands what a palette of that many
// holds (the border's hidden colour is the first band's, so it takes no
// palette entry of its own: black, which PNG writers store under clear pixels).
QImage banded(int size, int colours)
{
    QImage image(size, size, QImage::Format_ARGB32);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const bool clear = x < 2 || y < 2 || x >= size - 2 || y >= size - 2;
            const int band = clear ? 0 : (x + 3 * y) * colours / (4 * size) % colours;
            const QRgb colour = band == 0 ? 0 : qRgb(band * 255 / (colours - 1), (band * 97) & 0xFF, 255 - band * 3);
            image.setPixel(x, y, (colour & 0xFFFFFF) | (clear ? 0 : 0xFF000000));
        }
    }
    return image;
}

// Equal wherever a pixel shows; the colour under a clear pixel is nobody's.
::testing::AssertionResult sameVisiblePixels(const QImage& expected, const QImage& actual)
{
    const QImage a = expected.convertToFormat(QImage::Format_ARGB32), b = actual.convertToFormat(QImage::Format_ARGB32);
    if (a.size() != b.size())
        return ::testing::AssertionFailure()
               << "size " << b.width() << "x" << b.height() << " instead of " << a.width() << "x" << a.height();
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            if (qAlpha(p) != qAlpha(q) || (qAlpha(p) != 0 && p != q))
                return ::testing::AssertionFailure()
                       << "pixel " << x << "," << y << " is " << std::hex << q << " instead of " << p;
        }
    return ::testing::AssertionSuccess();
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void putU16(QByteArray* b, qsizetype at, quint16 v)
{
    (*b)[at] = char(v);
    (*b)[at + 1] = char(v >> 8);
}

void putU32(QByteArray* b, qsizetype at, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        (*b)[at + i] = char(v >> (8 * i));
}

// An icon of one bitmap built byte by byte: header, one record, the bitmap
// header, then `body` (palette, pixels, mask as the case wants).
QByteArray oneBitmap(int w, int h, int depth, int paletteSize, const QByteArray& body)
{
    QByteArray file(6 + 16 + 40, '\0');
    putU16(&file, 2, 1);
    putU16(&file, 4, 1);
    file[6] = char(w);
    file[7] = char(h);
    putU16(&file, 10, 1);
    putU16(&file, 12, quint16(depth));
    putU32(&file, 14, quint32(40 + body.size()));
    putU32(&file, 18, 22);
    putU32(&file, 22, 40);
    putU32(&file, 26, quint32(w));
    putU32(&file, 30, quint32(2 * h));
    putU16(&file, 34, 1);
    putU16(&file, 36, quint16(depth));
    putU32(&file, 54, quint32(paletteSize));
    return file + body;
}

class IcoReader : public TestEnv { };

TEST_F(IcoReader, ReadsEveryDepthIcotoolWritesAsPillowDoes)
{
    // 1, 4, 8, 24 and 32 bits per pixel, each with its mask, and a PNG.
    struct Source {
        const char* depth;
        int size;
        int colours;
    };
    const Source sources[] = {{"1", 32, 2}, {"4", 48, 16}, {"8", 40, 200}, {"24", 24, 256}, {"32", 20, 256}};
    QStringList args = {"-c", "-o", work() + "/every.ico"};
    for (const Source& s : sources) {
        const QString png = work() + QStringLiteral("/%1.png").arg(s.depth);
        ASSERT_TRUE(banded(s.size, s.colours).save(png));
        args << "-b" << s.depth << png;
    }
    ASSERT_TRUE(banded(300, 256).save(work() + "/big.png"));
    args << "-r" << work() + "/big.png";
    ProcessResult r = RunProcess("icotool", args);
    if (r.exitCode < 0)
        SERVICE_MISSING() << "icotool (icoutils) is missing";
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();

    QString error;
    const std::optional<IcoFile> file = IcoFile::parse(readFile(work() + "/every.ico"), &error);
    ASSERT_TRUE(file) << error.toStdString();
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    ASSERT_EQ(file->entries().size(), 6);
    QStringList described;
    for (const Entry& e : file->entries())
        described << QStringLiteral("%1x%2/%3/%4/%5")
                         .arg(e.width)
                         .arg(e.height)
                         .arg(e.depth)
                         .arg(e.colours)
                         .arg(ico::StorageOf(e));
    EXPECT_EQ(described,
              (QStringList{"32x32/1/2/bitmap + mask", "48x48/4/16/bitmap + mask", "40x40/8/256/bitmap + mask",
                           "24x24/24/0/bitmap + mask", "20x20/32/0/bitmap + mask", "300x300/32/0/PNG"}));

    // Pillow's reading of each picture, told apart by where it lies in the file.
    r = RunPython(R"(
import sys
from PIL import Image
ico = Image.open(sys.argv[1]).ico
for i, entry in enumerate(ico.entry):
    ico.frame(i).convert('RGBA').save('%s/pillow-%d.png' % (sys.argv[2], entry['offset']))
)",
                  {work() + "/every.ico", work()});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    for (qsizetype i = 0; i < file->entries().size(); ++i)
        EXPECT_TRUE(sameVisiblePixels(QImage(work() + QStringLiteral("/pillow-%1.png").arg(file->entries()[i].offset)),
                                      file->image(i)))
            << "picture " << i + 1;
    // And both agree with what went in.
    EXPECT_TRUE(sameVisiblePixels(banded(48, 16), file->image(1)));
    EXPECT_TRUE(sameVisiblePixels(banded(300, 256), file->image(5)));
}

TEST_F(IcoReader, OlderBitmapsTakeTheirShapeAsWindowsGivesIt)
{
    // 16 bits (5-5-5) with a mask that clears the left column: Pillow agrees.
    QByteArray body;
    for (int y = 0; y < 2; ++y)
        body += QByteArray::fromHex("1f00e003007cff7f"); // blue, green, red, white
    body += QByteArray::fromHex(
        "80000000"
        "80000000");
    QByteArray file = oneBitmap(4, 2, 16, 0, body);
    const std::optional<IcoFile> sixteen = IcoFile::parse(file);
    ASSERT_TRUE(sixteen);
    const QImage image = sixteen->image(0);
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
    EXPECT_EQ(image.pixel(1, 1), 0xFF00FF00u);
    EXPECT_EQ(image.pixel(2, 0), 0xFFFF0000u);
    EXPECT_EQ(image.pixel(3, 1), 0xFFFFFFFFu);
    QFile out(work() + "/sixteen.ico");
    ASSERT_TRUE(out.open(QIODevice::WriteOnly) && out.write(file) == file.size());
    out.close();
    const ProcessResult r = RunPython(
        "import sys\nfrom PIL import Image\n"
        "print([p if p[3] else 'clear' for p in Image.open(sys.argv[1]).convert('RGBA').getdata()])",
        {work() + "/sixteen.ico"});
    EXPECT_EQ(r.out.trimmed(),
              "['clear', (0, 255, 0, 255), (255, 0, 0, 255), (255, 255, 255, 255), "
              "'clear', (0, 255, 0, 255), (255, 0, 0, 255), (255, 255, 255, 255)]")
        << r.err.constData();

    // 32 bits with no alpha at all predate alpha: the mask gives the shape.
    body = QByteArray::fromHex(
               "ff000000"
               "00ff0000")
           + QByteArray::fromHex("40000000");
    const std::optional<IcoFile> noAlpha = IcoFile::parse(oneBitmap(2, 1, 32, 0, body));
    ASSERT_TRUE(noAlpha);
    EXPECT_EQ(noAlpha->image(0).pixel(0, 0), 0xFF0000FFu);
    EXPECT_EQ(qAlpha(noAlpha->image(0).pixel(1, 0)), 0);

    // Without the mask: 32 bits keep their alpha, fewer bits are opaque.
    const std::optional<IcoFile> maskless = IcoFile::parse(oneBitmap(2, 1, 32, 0,
                                                                     QByteArray::fromHex("ff000080"
                                                                                         "00ff0000")));
    ASSERT_TRUE(maskless);
    EXPECT_FALSE(maskless->entries()[0].mask);
    EXPECT_EQ(maskless->image(0).pixel(0, 0), 0x800000FFu);
    const std::optional<IcoFile> indexed = IcoFile::parse(oneBitmap(2, 1, 8, 2,
                                                                    QByteArray::fromHex("ff000000"
                                                                                        "0000ff00"
                                                                                        "0001"
                                                                                        "0000")));
    ASSERT_TRUE(indexed);
    EXPECT_EQ(indexed->image(0).pixel(0, 0), 0xFF0000FFu);
    EXPECT_EQ(indexed->image(0).pixel(1, 0), 0xFFFF0000u);
}

TEST_F(IcoReader, DamageCostsOnlyTheDamagedPicture)
{
    // Three good pictures to damage one way at a time: 16 and 32 as bitmaps, 256 as PNG.
    QVector<ico::IcoImage> images;
    for (int size : {16, 32, 256})
        images.append({banded(size, 256), {}});
    const QByteArray good = ico::WriteIco(images);
    ASSERT_EQ(IcoFile::parse(good)->entries().size(), 3);
    const qsizetype record2 = 6 + 16, record3 = 6 + 32;
    const qsizetype bitmap2 = qsizetype(quint8(good[record2 + 12])) | (qsizetype(quint8(good[record2 + 13])) << 8);
    const qsizetype png3 = qsizetype(quint32(quint8(good[record3 + 12])) | (quint32(quint8(good[record3 + 13])) << 8)
                                     | (quint32(quint8(good[record3 + 14])) << 16));

    struct Case {
        const char* what;
        std::function<void(QByteArray&)> damage;
        int entriesLeft; // -1: nothing is read
    };
    const Case cases[] = {
        {"not an icon", [](QByteArray& b) { b[2] = 7; }, -1},
        {"lists no picture", [](QByteArray& b) { putU16(&b, 4, 0); }, -1},
        {"lists more than the cap", [](QByteArray& b) { putU16(&b, 4, 300); }, -1},
        {"list cut short", [](QByteArray& b) { b.truncate(6 + 16 + 8); }, -1},
        {"cut in the last picture", [](QByteArray& b) { b.chop(100); }, 2},
        {"picture past the end", [](QByteArray& b) { putU32(&b, record2 + 8, 0x7FFFFFF0); }, 2},
        {"offset wraps around",
         [](QByteArray& b) {
             putU32(&b, record2 + 12, 0xFFFFFFF0);
             putU32(&b, record2 + 8, 0x20);
         },
         2},
        {"picture inside the list", [](QByteArray& b) { putU32(&b, record2 + 12, 8); }, 2},
        {"bitmap wider than any icon", [&](QByteArray& b) { putU32(&b, bitmap2 + 4, 100000); }, 2},
        {"bitmap header of no known size", [&](QByteArray& b) { putU32(&b, bitmap2, 7); }, 2},
        {"palette larger than its depth",
         [&](QByteArray& b) {
             putU16(&b, bitmap2 + 14, 8);
             putU32(&b, bitmap2 + 32, 1000);
         },
         2},
        {"compressed bitmap", [&](QByteArray& b) { putU32(&b, bitmap2 + 16, 1); }, 2},
        {"PNG declaring a bomb",
         [&](QByteArray& b) {
             b[png3 + 17] = char(0xC3);
             b[png3 + 21] = char(0xC3);
         },
         2},
    };
    for (const Case& c : cases) {
        QByteArray bytes = good;
        c.damage(bytes);
        QString error;
        const std::optional<IcoFile> file = IcoFile::parse(bytes, &error);
        if (c.entriesLeft < 0) {
            EXPECT_FALSE(file) << c.what;
            EXPECT_FALSE(error.isEmpty()) << c.what;
            continue;
        }
        ASSERT_TRUE(file) << c.what << ": " << error.toStdString();
        EXPECT_EQ(file->entries().size(), c.entriesLeft) << c.what;
        EXPECT_TRUE(error.startsWith("picture ")) << c.what << ": " << error.toStdString();
        for (qsizetype i = 0; i < file->entries().size(); ++i)
            EXPECT_FALSE(file->image(i).isNull()) << c.what << ", picture " << i + 1;
    }

    // A PNG whose data is damaged past its header is listed, does not
    // decode, and is not saved.
    QByteArray broken = good;
    for (qsizetype i = png3 + 60; i < png3 + 200; ++i)
        broken[i] = char(0x55);
    const std::optional<IcoFile> file = IcoFile::parse(broken);
    ASSERT_TRUE(file);
    EXPECT_TRUE(file->image(2).isNull());
    QStringList skipped;
    EXPECT_EQ(ico::PicturesAsPng(*file, &skipped).size(), 2);
    EXPECT_EQ(skipped, QStringList{"picture 3 (256x256-32bit.png) does not decode"});
}

} // namespace
} // namespace pictomat::test
