// Every exporter writes a file its own reader opens, at every size, with the
// background where the format has no transparency; checked by the format's
// reader, Pillow and ImageMagick.
#include "MakeIconSupport.h"

#include "image/Encoders.h"
#include "platform/CustomIcons.h"
#include "prefs/Preferences.h"

#include <QImageReader>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace pictomat {
namespace {

using test::PillowDescribe;

class ExportReadBack : public test::MakeIconFixture { };

TEST_F(ExportReadBack, EveryExporterWritesWhatItsReaderReadsAtEverySize)
{
    // A red square in the middle, transparent around it, over a blue
    // background that is itself transparent: formats without alpha show blue.
    const QByteArray item = itemShowing("Tool.desktop", test::TransparentCornersImage(64, QColor(250, 0, 0)));
    set(prefs::key::BackgroundColorRedComponent, 0.0);
    set(prefs::key::BackgroundColorGreenComponent, 0.0);
    set(prefs::key::BackgroundColorBlueComponent, 1.0);
    set("alpha", 0.0);
    select({item});
    ASSERT_FALSE(exporters.isEmpty());
    for (int size : {16, 37, 128, 256}) {
        set(prefs::key::IconSize, qint64(size));
        for (const ExporterInfo& exporter : exporters) {
            const std::string what = exporter.writerFormat.toStdString() + " at " + std::to_string(size);
            runExport(exporter);
            if (exporter.writerFormat == "icns" && size == 37) { // no such slot: a failure, never a bad file
                EXPECT_FALSE(desktop.logLines.filter("an icon file holds only pictures of 16").isEmpty());
                continue;
            }
            QImageReader reader(QFile::decodeName(out("Tool.desktop." + exporter.extensionString)),
                                exporter.writerFormat);
            const QImage read = reader.read();
            ASSERT_EQ(read.size(), QSize(size, size)) << what << ": " << reader.errorString().toStdString();
            const QColor middle = read.pixelColor(size / 2, size / 2);
            const QColor corner = read.pixelColor(0, 0);
            if (read.depth() == 1 || read.isGrayscale())
                continue; // one-bit and grey formats keep only the brightness
            EXPECT_GT(middle.red(), 200) << what;
            EXPECT_LT(middle.blue(), 60) << what;
            if (FormatKeepsAlpha(exporter.writerFormat))
                EXPECT_EQ(corner.alpha(), 0) << what;
            else
                EXPECT_TRUE(corner.blue() > 200 && corner.red() < 60 && corner.alpha() == 255) << what;
        }
    }
    EXPECT_TRUE(desktop.alerts.isEmpty()) << desktop.alertMessages().join('\n').toStdString();

    // Readers written elsewhere agree: ImageMagick for WBMP (whose width here
    // is a multiple of 128), Pillow for JPEG, whose top quality keeps every
    // colour sample (4:4:4).
    const test::ProcessResult identify =
        test::RunProcess("identify", {"-format", "%m %wx%h", QFile::decodeName(out("Tool.desktop.wbmp"))}, {}, 30000);
    EXPECT_EQ(identify.out.trimmed(), "WBMP 256x256") << identify.err.toStdString();
    const test::ProcessResult sampling = test::RunPython(R"(
import sys
from PIL import Image, JpegImagePlugin
im = Image.open(sys.argv[1])
print(JpegImagePlugin.get_sampling(im), 'icc' if im.info.get('icc_profile') else 'untagged')
)",
                                                         {QFile::decodeName(out("Tool.desktop.jpg"))});
    EXPECT_EQ(sampling.out.trimmed(), "0 icc") << sampling.err.toStdString();
}

TEST_F(ExportReadBack, ExportedIconFilesAndWbmpPicturesGetTheirOwnCustomIcon)
{
    if (!CustomIcons::metadataAvailable())
        GTEST_SKIP() << "no GVfs metadata service";
    const QByteArray item = itemShowing("Tool.desktop", test::SolidImage(64, QColor(0, 160, 0)));
    set(prefs::key::AddCustomIcon, true);
    select({item});
    for (const QString& extension : {QStringLiteral("icns"), QStringLiteral("wbmp")}) {
        const std::optional<ExporterInfo> exporter = exporterFor(extension);
        ASSERT_TRUE(exporter) << extension.toStdString();
        runExport(*exporter);
        const QByteArray icon = test::GioCustomIcon(out("Tool.desktop." + extension));
        EXPECT_TRUE(PillowDescribe(icon).startsWith("PNG 64x64"))
            << extension.toStdString() << ": " << icon.constData();
    }
    EXPECT_TRUE(desktop.alerts.isEmpty()) << desktop.alertMessages().join('\n').toStdString();
}

// A page of light grey lines on white, as a text file's icon shows, comes
// out in the one-bit formats as lines, not as a white square: WBMP is
// dithered as Qt dithers PBM, pixel for pixel, read back by ImageMagick and
// Pillow.
TEST_F(ExportReadBack, OneBitFormatsShowALightPageAlike)
{
    QImage page(128, 128, QImage::Format_ARGB32);
    page.fill(Qt::white);
    for (int y = 20; y < 110; y += 6)
        for (int x = 20; x < 108; ++x)
            page.setPixelColor(x, y, QColor(190, 190, 190));
    const QByteArray item = itemShowing("notes.desktop", page);
    set(prefs::key::IconSize, qint64(128));
    select({item});
    QMap<QString, QString> bits;
    for (const QString& extension : {QStringLiteral("wbmp"), QStringLiteral("pbm")}) {
        const std::optional<ExporterInfo> exporter = exporterFor(extension);
        if (!exporter)
            GTEST_SKIP() << "no " << extension.toStdString() << " exporter";
        runExport(*exporter);
        // Plain PBM text from ImageMagick for WBMP, Pillow's reading for PBM.
        const QString path = QFile::decodeName(out("notes.desktop." + extension));
        const test::ProcessResult r =
            extension == "wbmp" ? test::RunProcess("convert", {path, "-compress", "none", "pbm:-"}, {}, 30000)
                                : test::RunPython(
                                    "import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1]).convert('1')\n"
                                    "print(''.join('1' if v == 0 else '0' for v in im.getdata()))",
                                    {path});
        ASSERT_EQ(r.exitCode, 0) << r.err.constData();
        QString text = QString::fromLatin1(r.out);
        if (extension == "wbmp")
            text.remove(QRegularExpression("^P1\\s+(#[^\\n]*\\n\\s*)*\\d+\\s+\\d+"));
        text.remove(QRegularExpression("[^01]"));
        ASSERT_EQ(text.size(), 128 * 128) << extension.toStdString();
        bits.insert(extension, text);
    }
    EXPECT_GT(bits["wbmp"].count('1'), 200) << "the page's lines are gone";
    EXPECT_EQ(bits["wbmp"], bits["pbm"]);
    EXPECT_TRUE(desktop.alerts.isEmpty()) << desktop.alertMessages().join('\n').toStdString();
}

} // namespace
} // namespace pictomat
