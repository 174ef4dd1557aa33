// "pictomat ico", "iconset" and "hicolor" from a shell, as a build script
// uses them: icons of chosen PNGs or of one picture, read back by icotool,
// Pillow and icns2png, and outputs that never replace what is there
// unless --force says so.

#include "TestEnv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>

namespace pictomat::test {
namespace {

QImage picture(int size, QColor colour)
{
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(colour);
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(QRectF(size * 0.1, size * 0.1, size * 0.8, size * 0.8));
    return image;
}

QByteArray bytesOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

class IcoCommand : public TestEnv {
protected:
    QString at(const QString& name) const { return work() + "/" + name; }
    QString png(int size, QColor colour = QColor(200, 40, 90))
    {
        const QString path = at(QStringLiteral("p%1.png").arg(size));
        EXPECT_TRUE(picture(size, colour).save(path));
        return path;
    }
};

TEST_F(IcoCommand, ChosenPngsBecomeTheIconAndComeBackOut)
{
    QDir().mkpath(work());
    const QString ico = at("App.ico");
    ProcessResult r = RunPictomat({"ico", "create", ico, png(16), png(32), png(48), png(512)});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();

    r = RunProcess("icotool", {"-l", ico});
    if (r.exitCode < 0)
        SERVICE_MISSING() << "icotool (icoutils) is missing";
    EXPECT_EQ(r.out,
              "--icon --index=1 --width=16 --height=16 --bit-depth=32 --palette-size=0\n"
              "--icon --index=2 --width=32 --height=32 --bit-depth=32 --palette-size=0\n"
              "--icon --index=3 --width=48 --height=48 --bit-depth=32 --palette-size=0\n"
              "--icon --index=4 --width=512 --height=512 --bit-depth=32 --palette-size=0\n")
        << r.err.constData();
    r = RunPictomat({"ico", "list", ico});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_TRUE(r.out.contains("  4  512x512   32-bit  PNG")) << r.out.constData();
    EXPECT_TRUE(r.out.contains("  1  16x16     32-bit  bitmap + mask")) << r.out.constData();

    // Out again: the PNG as given, the bitmaps with every pixel as given.
    r = RunPictomat({"ico", "extract", ico, at("out")});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(QDir(at("out")).entryList(QDir::Files),
              (QStringList{"16x16-32bit.png", "32x32-32bit.png", "48x48-32bit.png", "512x512-32bit.png"}));
    EXPECT_EQ(bytesOf(at("out/512x512-32bit.png")), bytesOf(at("p512.png")));
    EXPECT_EQ(QImage(at("out/32x32-32bit.png")).convertToFormat(QImage::Format_ARGB32),
              QImage(at("p32.png")).convertToFormat(QImage::Format_ARGB32));

    // Nothing that exists is replaced without --force; with it, the name is.
    const QByteArray before = bytesOf(ico);
    r = RunPictomat({"ico", "create", ico, png(16, Qt::blue), png(256, Qt::blue)});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("App.ico: already exists; not replaced (--force replaces it)")) << r.err.constData();
    EXPECT_EQ(bytesOf(ico), before);
    r = RunPictomat({"ico", "create", "--force", ico, at("p16.png"), at("p256.png")});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(RunProcess("icotool", {"-l", ico}).out.count('\n'), 2);

    // Inputs that make no icon say which and why.
    writeFile("notes.txt", "words");
    for (const auto& [args, message] : std::initializer_list<std::pair<QStringList, QByteArray>>{
             {{"ico", "create", at("x.ico"), at("p16.png"), at("notes.txt")}, "notes.txt: not a PNG picture"},
             {{"ico", "create", at("x.ico"), at("p16.png"), at("p16.png")}, "are both 16x16 pixels"},
             {{"ico", "create", at("x.ico"), at("notes.txt")}, "notes.txt: not a picture, movie or icon file"},
             {{"ico", "list", at("p16.png")}, "p16.png: not a Windows icon file"},
         }) {
        r = RunPictomat(args);
        EXPECT_EQ(r.exitCode, 1) << args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains(message)) << r.err.constData();
    }
    EXPECT_FALSE(QFileInfo::exists(at("x.ico")));
    for (const QStringList& args :
         {QStringList{"ico", "create", ico}, QStringList{"ico", "list", ico, "--force"},
          QStringList{"ico", "extract", "--iconset", ico, work()}, QStringList{"iconset", "create", at("A.iconset")},
          QStringList{"hicolor", "create", "--name", "bad name", work(), at("p16.png")}})
        EXPECT_EQ(RunPictomat(args).exitCode, 2) << args.join(' ').toStdString();
}

TEST_F(IcoCommand, OnePictureBecomesAnIconAnIconsetAndAThemeFolder)
{
    QDir().mkpath(work());
    const QString master = png(1024, QColor(20, 160, 90));

    ProcessResult r = RunPictomat({"ico", "create", at("App.ico"), master});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    r = RunPython("import sys\nfrom PIL import Image\nprint(sorted(Image.open(sys.argv[1]).info['sizes']))",
                  {at("App.ico")});
    EXPECT_EQ(r.out,
              "[(16, 16), (20, 20), (24, 24), (32, 32), (40, 40), (48, 48), (64, 64), (96, 96), "
              "(128, 128), (256, 256)]\n")
        << r.err.constData();

    // The ten iconset pictures, each as large as its name says; a Mac build
    // takes the folder as it is.
    r = RunPictomat({"iconset", "create", at("App.iconset"), master});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(r.out.count('\n'), 10);
    r = RunPython(R"(
import os, re, sys
from PIL import Image
for name in sorted(os.listdir(sys.argv[1])):
    points, scale = re.fullmatch(r'icon_(\d+)x\d+(@2x)?\.png', name).groups()
    size = Image.open(os.path.join(sys.argv[1], name)).size
    print(name, 'right' if size == (int(points) * (2 if scale else 1),) * 2 else size)
)",
                  {at("App.iconset")});
    EXPECT_EQ(r.out.count("right"), 10) << r.out.constData() << r.err.constData();
    r = RunPictomat({"icns", "create", at("App.icns"), at("App.iconset")});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    r = RunProcess("icns2png", {"-l", at("App.icns")});
    EXPECT_TRUE(r.out.contains("'ic10' 1024x1024 32-bit")) << r.out.constData();

    // A theme's files made straight in a hicolor folder, under the name
    // asked for; what is there already is left alone unless --force.
    writeFile("hicolor/index.theme", "[Icon Theme]\n");
    const QStringList hicolor = {"hicolor", "create", "--name", "org.example.App", at("hicolor"), master};
    r = RunPictomat(hicolor);
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(r.out.count('\n'), 10);
    EXPECT_TRUE(QFileInfo::exists(at("hicolor/512x512/apps/org.example.App.png")));
    EXPECT_FALSE(QFileInfo::exists(at("hicolor/scalable"))); // not drawn from an SVG
    EXPECT_EQ(bytesOf(at("hicolor/index.theme")), "[Icon Theme]\n");
    r = RunPictomat(hicolor);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err.count("already exists; not replaced"), 10) << r.err.constData();
    r = RunPictomat(QStringList{"hicolor", "create", "--force"} + hicolor.mid(2));
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
}

} // namespace
} // namespace pictomat::test
