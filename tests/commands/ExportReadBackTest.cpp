// Every exporter writes a file its own reader opens, at every size, with the
// background where the format has no transparency; checked by the format's
// reader, Pillow and ImageMagick.
#include "MakeIconSupport.h"

#include "image/Encoders.h"
#include "platform/CustomIcons.h"
#include "prefs/Preferences.h"

#include <QImageReader>

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

} // namespace
} // namespace pictomat
