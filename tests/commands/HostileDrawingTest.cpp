// Small files that cost much: compressed drawings of hundreds of thousands of
// elements on every path that draws one, and a cut interlaced PNG. Each is
// drawn or refused within the drawing budget (the process time-out here is
// far above it), and nothing a library says reaches the terminal.
#include "commands/SiteIcon.h"

#include "TestEnv.h"

#include <QFile>
#include <QImage>

#include <gtest/gtest.h>

namespace pictomat {
namespace {

class HostileDrawing : public test::TestEnv {
protected:
    void SetUp() override
    {
        test::TestEnv::SetUp();
        for (const char* key : {"OpenImageFolderForMe", "OpenImageFileForMe"})
            ASSERT_EQ(test::RunPictomat({"defaults", "write", key, "-bool", "false"}).exitCode, 0);
    }
    // Rectangles covering the whole drawing, each half transparent, so that
    // every one costs the drawn area.
    QByteArray rectangles(const QString& name, int count)
    {
        const QString path = work() + "/" + name;
        const test::ProcessResult r = test::RunPython(R"(
import gzip, sys
rect = '<rect x="0" y="0" width="100" height="100" fill="#336699" opacity="0.5"/>\n'
svg = '<svg xmlns="http://www.w3.org/2000/svg" width="100" height="100">' + rect * int(sys.argv[2]) + '</svg>'
with gzip.open(sys.argv[1], 'wb', 9) as f:
    f.write(svg.encode())
)",
                                                      {path, QString::number(count)});
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        return QFile::encodeName(path);
    }
    test::ProcessResult pictomat(const QStringList& arguments)
    {
        const test::ProcessResult r = test::RunPictomat(arguments, {}, 60000);
        EXPECT_FALSE(r.timedOut) << arguments.join(' ').toStdString();
        return r;
    }
};

TEST_F(HostileDrawing, CompressedDrawingsOfManyElementsAreDrawnOrRefusedOnEveryPath)
{
    const QByteArray big = rectangles("many.svgz", 199000); // about 50 KB, 15 MB inflated
    const QString drawing = QFile::decodeName(big);
    const test::ProcessResult media = pictomat({"run", "make-media-icon", drawing});
    EXPECT_EQ(media.exitCode, 1);
    EXPECT_TRUE(media.err.contains("The icon family could not be created.")) << media.err.toStdString();
    EXPECT_EQ(pictomat({"run", "add-media-icon", drawing}).exitCode, 1);

    // A launcher whose icon is that drawing, through the icon theme's renderer.
    const QString launcher = work() + "/Tool.desktop";
    QFile entry(launcher);
    ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
    entry.write("[Desktop Entry]\nType=Application\nName=Tool\nExec=true\nIcon=" + big + "\n");
    entry.close();
    EXPECT_EQ(pictomat({"run", "make-icon", launcher}).exitCode, 1);

    // A site icon within the web's own size cap.
    QFile site(QFile::decodeName(rectangles("site.svgz", 110000)));
    ASSERT_TRUE(site.open(QIODevice::ReadOnly));
    EXPECT_TRUE(DecodeShortcutIconPicture(site.readAll()).isNull());
}

TEST_F(HostileDrawing, CutInterlacedPngIsReportedWithoutLibraryNoiseOnTheTerminal)
{
    const QString whole = work() + "/whole.png", cut = work() + "/cut.png";
    const test::ProcessResult made = test::RunPython(R"(
import sys
from PIL import Image
Image.effect_noise((300, 200), 60).convert('RGB').save(sys.argv[1], interlace=1)
data = open(sys.argv[1], 'rb').read()
open(sys.argv[2], 'wb').write(data[:len(data) // 2])
)",
                                                     {whole, cut});
    ASSERT_EQ(made.exitCode, 0) << made.err.toStdString();
    const test::ProcessResult r = pictomat({"run", "make-media-icon", cut});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_FALSE(r.err.contains("libpng")) << r.err.toStdString();
    EXPECT_EQ(pictomat({"run", "make-media-icon", whole}).exitCode, 0);
}

} // namespace
} // namespace pictomat
