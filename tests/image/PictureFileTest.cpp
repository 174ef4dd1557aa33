#include "files/FileIO.h"
#include "read/PictureFile.h"

#include "TestEnv.h"

#include <QFile>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace pictomat {
namespace {

class PictureFile : public test::TestEnv {
protected:
    // Runs a Pillow script with the work folder as its first argument.
    void pillow(const QString& script)
    {
        const test::ProcessResult r = test::RunPython(script, {work()}, 120000);
        ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    }
    QByteArray path(const QString& name) const { return QFile::encodeName(work() + "/" + name); }
};

QRgb middleOf(const QImage& image, double fx, double fy)
{
    return image.pixel(int(fx * image.width()), int(fy * image.height()));
}

TEST_F(PictureFile, PicturesOfTwoHundredMegapixelsAreDecodedAtTheSizeAskedFor)
{
    // Red left half, blue right half with a transparent bottom-right quarter
    // (a palette with a transparent entry); PNG is decoded row by row, so
    // neither memory nor Qt's limit follows the picture.
    writeFile(".keep", "");
    pillow(R"(
import sys
from PIL import Image
w, h = 16000, 12500
im = Image.new('P', (w, h), 0)
im.putpalette([255, 0, 0, 0, 0, 255, 0, 0, 0])
im.paste(1, (w // 2, 0, w, h))
im.paste(2, (w // 2, h // 2, w, h))
im.save(sys.argv[1] + '/huge.png', transparency=2, compress_level=1)
im.save(sys.argv[1] + '/huge.tif', compression='packbits')
)");
    const PictureResult png = ReadPictureFile(FileRef(path("huge.png")), FitWithin(512));
    ASSERT_TRUE(png.ok());
    EXPECT_EQ(png.decoded.natural, QSize(16000, 12500));
    EXPECT_EQ(png.decoded.picture.size(), QSize(512, 400));
    EXPECT_EQ(middleOf(png.decoded.picture, 0.25, 0.5), qRgba(255, 0, 0, 255));
    EXPECT_EQ(middleOf(png.decoded.picture, 0.75, 0.25), qRgba(0, 0, 255, 255));
    EXPECT_EQ(qAlpha(middleOf(png.decoded.picture, 0.75, 0.75)), 0);

    // TIFF a band of rows at a time (a palette picture; its third colour is black).
    const PictureResult tiff = ReadPictureFile(FileRef(path("huge.tif")), FitWithin(512));
    ASSERT_TRUE(tiff.ok());
    EXPECT_EQ(tiff.decoded.picture.size(), QSize(512, 400));
    EXPECT_EQ(middleOf(tiff.decoded.picture, 0.25, 0.5), qRgb(255, 0, 0));
    EXPECT_EQ(middleOf(tiff.decoded.picture, 0.75, 0.25), qRgb(0, 0, 255));
    EXPECT_EQ(middleOf(tiff.decoded.picture, 0.75, 0.75), qRgb(0, 0, 0));
}

TEST_F(PictureFile, BombsAndSpecialFilesAreRefusedAtOnce)
{
    writeFile(".keep", "");
    // A PNG promising 100000 x 100000 pixels from a few hundred bytes, a JPEG
    // header promising 60000 x 60000 from a kilobyte, and one past the pixel limit.
    pillow(R"(
import struct, sys, zlib
def chunk(kind, data):
    return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))
ihdr = struct.pack('>IIBBBBB', 100000, 100000, 8, 2, 0, 0, 0)
idat = zlib.compress(b'\0' * 300001, 9)
open(sys.argv[1] + '/bomb.png', 'wb').write(b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', ihdr) + chunk(b'IDAT', idat) + chunk(b'IEND', b''))
from PIL import Image
import io
buf = io.BytesIO()
Image.new('RGB', (16, 16), (9, 9, 9)).save(buf, 'JPEG')
data = bytearray(buf.getvalue())
sof = data.find(b'\xff\xc0')
data[sof + 5:sof + 9] = struct.pack('>HH', 60000, 60000)
open(sys.argv[1] + '/bomb.jpg', 'wb').write(bytes(data))
)");
    EXPECT_EQ(ReadPictureFile(FileRef(path("bomb.png")), FitWithin(512)).status, PictureStatus::TooLarge);
    EXPECT_EQ(ReadPictureFile(FileRef(path("bomb.jpg")), FitWithin(512)).status, PictureStatus::TooLarge);
    PictureStatus status = PictureStatus::Decoded;
    EXPECT_TRUE(ReadImageFile(FileRef(path("bomb.png")), 1024, &status).isNull());
    EXPECT_EQ(status, PictureStatus::TooLarge);

    // A FIFO is never opened for its contents, so nothing waits for a writer.
    ASSERT_EQ(::mkfifo(path("pipe.png").constData(), 0600), 0);
    EXPECT_FALSE(OpenFileForReading(FileRef(path("pipe.png"))));
    EXPECT_FALSE(ReadRegularFile(path("pipe.png"), 1024));
    EXPECT_EQ(ReadPictureFile(FileRef(path("pipe.png")), FitWithin(64)).status, PictureStatus::NotAPicture);
    EXPECT_TRUE(OpenFileForReading(FileRef(QFile::encodeName(work())), ReadableKind::RegularFileOrFolder));
    EXPECT_FALSE(OpenFileForReading(FileRef(QFile::encodeName(work()))));
}

TEST_F(PictureFile, ContentDecidesAndCompressedDrawingsAreCapped)
{
    const QByteArray png = path("really-a-png.icns");
    QImage red(40, 20, QImage::Format_ARGB32);
    red.fill(Qt::red);
    ASSERT_TRUE(red.save(QFile::decodeName(png), "PNG"));
    EXPECT_EQ(SniffPictureFormat(QByteArray("icns\0\0\0\x08", 8), "x.png"), QByteArray());
    const PictureResult misnamed = ReadPictureFile(FileRef(png), FitWithin(16));
    ASSERT_TRUE(misnamed.ok());
    EXPECT_EQ(misnamed.decoded.picture.size(), QSize(16, 8));

    // An SVGZ that inflates far past any icon: refused without expanding it all.
    writeFile(".keep", "");
    pillow(R"(
import gzip, sys
body = b'<svg xmlns="http://www.w3.org/2000/svg" width="16" height="16">' + b' ' * (40 << 20) + b'</svg>'
open(sys.argv[1] + '/bomb.svgz', 'wb').write(gzip.compress(body, 9))
small = b'<svg xmlns="http://www.w3.org/2000/svg" width="16" height="16"><rect width="16" height="16" fill="#00f"/></svg>'
open(sys.argv[1] + '/small.svgz', 'wb').write(gzip.compress(small))
)");
    EXPECT_FALSE(ReadSvgDocument(path("bomb.svgz")));
    EXPECT_EQ(ReadPictureFile(FileRef(path("bomb.svgz")), FitWithin(64)).status, PictureStatus::TooLarge);
    const PictureResult drawing = ReadPictureFile(FileRef(path("small.svgz")), FitWithin(64));
    ASSERT_TRUE(drawing.ok());
    EXPECT_EQ(drawing.decoded.picture.pixel(8, 8), qRgb(0, 0, 255));
}

} // namespace
} // namespace pictomat
