// "pictomat icns" from a shell: .iconset folders to .icns and back as Pillow
// and icnsutils read them, and outputs that never go through what already
// has their name.

#include "TestEnv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace pictomat::test {
namespace {

const char* const kIconsetNames[] = {
    "icon_16x16.png",      "icon_16x16@2x.png", "icon_32x32.png",      "icon_32x32@2x.png", "icon_128x128.png",
    "icon_128x128@2x.png", "icon_256x256.png",  "icon_256x256@2x.png", "icon_512x512.png",  "icon_512x512@2x.png",
};

// Gradients, noise and every kind of alpha, different for every seed; the
// colour under clear pixels is kept too, so a lossy path would show.
QImage picture(int size, int seed)
{
    QImage image(size, size, QImage::Format_ARGB32);
    quint32 noise = 2654435761u * quint32(seed + 1);
    for (int y = 0; y < size; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < size; ++x) {
            noise = noise * 1664525u + 1013904223u;
            const int alpha = y < size / 4 ? 0 : y < size / 2 ? x * 255 / size : 255;
            line[x] = y % 7 == 3 ? qRgba(noise >> 24, noise >> 16, noise >> 8, alpha)
                                 : qRgba(x * 255 / size, y * 255 / size, seed * 23 & 0xFF, alpha);
        }
    }
    return image;
}

QByteArray bytesOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

class IcnsCommand : public TestEnv {
protected:
    void SetUp() override
    {
        TestEnv::SetUp();
        QDir().mkpath(work() + "/App.iconset");
        int seed = 0;
        for (const char* name : kIconsetNames) {
            const QString n = QString::fromLatin1(name);
            const int edge = n.mid(5, n.indexOf('x') - 5).toInt() * (n.contains("@2x") ? 2 : 1);
            ASSERT_TRUE(picture(edge, ++seed).save(iconset(name)));
        }
        writeFile("App.iconset/Contents.json", "{}"); // anything else there is left alone
    }
    QString iconset(const char* name) const { return work() + "/App.iconset/" + QLatin1String(name); }
};

// Pillow opens the .icns, lists sizes and compares each with the PNG of the
// same name in the iconset folder, pixel for pixel.
const char kPillowCompare[] = R"(
import sys
from PIL import Image
icns, folder = sys.argv[1], sys.argv[2]
sizes = sorted(Image.open(icns).info['sizes'])
print(' '.join('%d@%d' % (s[0], s[2]) for s in sizes))
for w, h, scale in sizes:
    im = Image.open(icns)
    im.size = (w, h, scale)
    im.load()
    name = 'icon_%dx%d%s.png' % (w, h, '@2x' if scale == 2 else '')
    src = Image.open('%s/%s' % (folder, name)).convert('RGBA')
    if im.convert('RGBA').tobytes() != src.tobytes():
        print('MISMATCH', name)
)";

// Two folders' iconset pictures compared by Pillow.
const char kPillowSameFolders[] = R"(
import sys, os
from PIL import Image
a, b = sys.argv[1], sys.argv[2]
for name in sorted(n for n in os.listdir(a) if n.endswith('.png')):
    x = Image.open(os.path.join(a, name)).convert('RGBA')
    y = Image.open(os.path.join(b, name)).convert('RGBA')
    print(name, 'same' if x.size == y.size and x.tobytes() == y.tobytes() else 'DIFFERENT')
)";

TEST_F(IcnsCommand, IconsetRoundTripIsExactForEveryReader)
{
    const QString icns = work() + "/App.icns";
    ProcessResult r = RunPictomat({"icns", "create", icns, work() + "/App.iconset"});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();

    r = RunPython(QLatin1String(kPillowCompare), {icns, work() + "/App.iconset"});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(r.out, "16@1 16@2 32@1 32@2 128@1 128@2 256@1 256@2 512@1 512@2\n");

    r = RunProcess("icns2png", {"-l", icns});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    for (const char* line : {"'is32' 16x16 32-bit", "'s8mk' 16x16 8-bit mask", "'il32' 32x32 32-bit",
                             "'ic08' 256x256 32-bit", "'ic09' 512x512 32-bit", "'ic10' 1024x1024 32-bit"})
        EXPECT_TRUE(r.out.contains(line)) << line << "\n" << r.out.constData();

    const QString back = work() + "/Back.iconset";
    r = RunPictomat({"icns", "extract", "--iconset", icns, back});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(QDir(back).entryList(QDir::Files).size(), 10);
    r = RunPython(QLatin1String(kPillowSameFolders), {work() + "/App.iconset", back});
    EXPECT_EQ(r.out.count("same"), 10) << r.out.constData() << r.err.constData();
    // PNG slots hold the given files themselves.
    for (const char* name : {"icon_16x16@2x.png", "icon_128x128.png", "icon_512x512@2x.png"})
        EXPECT_EQ(bytesOf(back + "/" + name), bytesOf(iconset(name))) << name;

    // An existing output is refused and left as it was.
    const QByteArray before = bytesOf(icns);
    r = RunPictomat({"icns", "create", icns, iconset("icon_16x16.png")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("App.icns: already exists; not replaced (--force replaces it)")) << r.err.constData();
    EXPECT_EQ(bytesOf(icns), before);
}

TEST_F(IcnsCommand, OutputsNeverGoThroughWhatHasTheirName)
{
    const QString icns = work() + "/Loose.icns";
    ProcessResult r = RunPictomat({"icns", "create", icns, iconset("icon_16x16.png"), iconset("icon_128x128.png")});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();

    const QString out = work() + "/out";
    const QString victim = work() + "/precious.txt";
    writeFile("precious.txt", "keep me");
    writeFile("out/ic07-128x128.png", "older picture");
    ASSERT_EQ(::symlink(QFile::encodeName(victim).constData(), QFile::encodeName(out + "/is32-16x16.png").constData()),
              0);
    ASSERT_EQ(::symlink("nowhere", QFile::encodeName(work() + "/out/nothing").constData()), 0);

    r = RunPictomat({"icns", "extract", icns, out});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("is32-16x16.png: already exists")) << r.err.constData();
    EXPECT_TRUE(r.err.contains("ic07-128x128.png: already exists")) << r.err.constData();
    EXPECT_EQ(bytesOf(victim), "keep me");
    EXPECT_EQ(bytesOf(out + "/ic07-128x128.png"), "older picture");
    EXPECT_EQ(QDir(out).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot).size(), 3);

    // A dangling link is a name that exists too: nothing is created at its end.
    r = RunPictomat({"icns", "create", work() + "/out/nothing", iconset("icon_16x16.png")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_FALSE(QFileInfo::exists(work() + "/out/nowhere"));

    r = RunPictomat({"icns", "extract", "--force", icns, out});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(bytesOf(victim), "keep me");
    EXPECT_FALSE(QFileInfo(out + "/is32-16x16.png").isSymLink());
    EXPECT_EQ(QImage(out + "/is32-16x16.png").convertToFormat(QImage::Format_ARGB32),
              QImage(iconset("icon_16x16.png")).convertToFormat(QImage::Format_ARGB32));
    EXPECT_EQ(bytesOf(out + "/ic07-128x128.png"), bytesOf(iconset("icon_128x128.png")));
}

// --force replaces files and links, never a FIFO, a device node or a folder
// (as root, against /dev/null, it once replaced the machine's).
TEST_F(IcnsCommand, ForceReplacesNoFifoDeviceOrFolder)
{
    const QByteArray fifo = QFile::encodeName(work() + "/fifo.icns");
    const QByteArray device = QFile::encodeName(work() + "/null.icns");
    ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
    // A node like /dev/null (character device 1:3), made where only root may.
    const bool haveDevice = ::mknod(device.constData(), S_IFCHR | 0600, makedev(1, 3)) == 0;
    QDir().mkpath(work() + "/folder.icns");
    QStringList targets{QFile::decodeName(fifo), work() + "/folder.icns"};
    if (haveDevice)
        targets << QFile::decodeName(device);
    for (const QString& target : targets) {
        const ProcessResult r = RunPictomat({"icns", "create", "--force", target, work() + "/App.iconset"});
        EXPECT_EQ(r.exitCode, 1) << target.toStdString();
        EXPECT_TRUE(r.err.contains("a folder or special file has that name")) << r.err.constData();
    }
    struct stat st;
    ASSERT_EQ(::lstat(fifo.constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_TRUE(QFileInfo(work() + "/folder.icns").isDir());
    if (haveDevice) {
        ASSERT_EQ(::lstat(device.constData(), &st), 0);
        EXPECT_TRUE(S_ISCHR(st.st_mode));
        EXPECT_EQ(st.st_rdev, makedev(1, 3));
    }

    // extract --force into a folder where one picture's name is a FIFO: the
    // others are written, that one is refused by name.
    const QString icns = work() + "/App.icns";
    ASSERT_EQ(RunPictomat({"icns", "create", icns, work() + "/App.iconset"}).exitCode, 0);
    const QString out = work() + "/out";
    QDir().mkpath(out);
    ASSERT_EQ(::mkfifo(QFile::encodeName(out + "/icon_16x16.png").constData(), 0600), 0);
    const ProcessResult r = RunPictomat({"icns", "extract", "--iconset", "--force", icns, out});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("icon_16x16.png: cannot replace")) << r.err.constData();
    ASSERT_EQ(::lstat(QFile::encodeName(out + "/icon_16x16.png").constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_EQ(bytesOf(out + "/icon_128x128.png"), bytesOf(iconset("icon_128x128.png")));
}

TEST_F(IcnsCommand, BadInputsSayWhichFileAndWhy)
{
    ASSERT_TRUE(QFile::rename(iconset("icon_16x16.png"), work() + "/small.png"));
    ASSERT_TRUE(picture(16, 3).save(iconset("icon_32x32.png")));
    const QString icns = work() + "/App.icns";
    ProcessResult r = RunPictomat({"icns", "create", icns, work() + "/App.iconset"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("App.iconset: icon_32x32.png: 16x16 pixels, but its name asks for 32x32"))
        << r.err.constData();
    EXPECT_FALSE(QFileInfo::exists(icns));

    ASSERT_TRUE(picture(48, 1).save(work() + "/odd.png"));
    r = RunPictomat({"icns", "create", icns, work() + "/small.png", work() + "/odd.png"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("odd.png: 48x48 pixels is not an icon size")) << r.err.constData();

    // A FIFO named like an icon file is refused at once, not waited on.
    const QString fifo = work() + "/pipe.icns";
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    r = RunPictomat({"icns", "list", fifo}, {}, 10000);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("pipe.icns: cannot read: no such regular file")) << r.err.constData();

    for (const QStringList& args : {QStringList{"icns", "create", icns}, QStringList{"icns", "list", icns, "--force"},
                                    QStringList{"icns", "extract", "--iconsets", icns, work()}}) {
        EXPECT_EQ(RunPictomat(args).exitCode, 2) << args.join(' ').toStdString();
    }
}

} // namespace
} // namespace pictomat::test
