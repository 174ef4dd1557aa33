// Photos and pages of a few hundred bytes that kept libheif or poppler busy
// for seconds to minutes, or asked for gigabytes: each is refused from its
// structure before the library sees it, through the command (with its
// message, well within 256 MiB and the process time-out) and through the
// reader. Their honest twins, written the same way, still make their icons.
#include "read/PictureFile.h"

#include "TestEnv.h"

#include <QFile>

#include <gtest/gtest.h>

#include <sys/resource.h>

namespace pictomat {
namespace {

constexpr qint64 kMemoryKiB = 256 * 1024;

class HostilePicture : public test::TestEnv {
protected:
    void SetUp() override
    {
        test::TestEnv::SetUp();
        for (const char* key : {"OpenImageFolderForMe", "OpenImageFileForMe"})
            ASSERT_EQ(test::RunPictomat({"defaults", "write", key, "-bool", "false"}).exitCode, 0);
    }
    QString path(const QString& name) const { return work() + "/" + name; }
    void run(const QString& program, const QStringList& arguments)
    {
        const test::ProcessResult r = test::RunProcess(program, arguments, {}, 120000);
        ASSERT_EQ(r.exitCode, 0) << program.toStdString() << ": " << r.err.toStdString();
    }
    void write(const QStringList& arguments)
    {
        run("/usr/bin/python3", QStringList{PICTOMAT_SOURCE_DIR "/tests/checks/containers.py"} + arguments);
    }
    // A noisy picture of the given size, encoded by heif-enc.
    void heic(const QString& name, int size, const QStringList& options = {})
    {
        const test::ProcessResult r = test::RunPython(
            "import sys\nfrom PIL import Image\n"
            "Image.effect_noise((int(sys.argv[2]),) * 2, 50).convert('RGB').save(sys.argv[1])",
            {path(name + ".png"), QString::number(size)});
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        run("heif-enc", options + QStringList{"-q", "60", path(name + ".png"), "-o", path(name)});
    }

    struct Made {
        int exitCode = -1;
        QByteArray err;
        qint64 peakKiB = 0;
    };
    // make-media-icon on one file, under a parent that reports the peak
    // memory the kernel counted for it.
    Made makeMediaIcon(const QString& name)
    {
        const test::ProcessResult r = test::RunPython(R"(
import os, subprocess, sys
with open(sys.argv[2], 'wb') as err:
    child = subprocess.Popen([sys.argv[1], 'run', 'make-media-icon', sys.argv[3]],
                             stdout=subprocess.DEVNULL, stderr=err)
    _, status, usage = os.wait4(child.pid, 0)
print(usage.ru_maxrss)
sys.exit(os.waitstatus_to_exitcode(status))
)",
                                                      {PICTOMAT_BINARY, path("err.txt"), path(name)}, 60000);
        EXPECT_FALSE(r.timedOut) << name.toStdString();
        QFile err(path("err.txt"));
        return Made{r.exitCode, err.open(QIODevice::ReadOnly) ? err.readAll() : QByteArray(),
                    r.out.trimmed().toLongLong()};
    }
    void expectRefused(const QString& name)
    {
        const Made made = makeMediaIcon(name);
        EXPECT_EQ(made.exitCode, 1) << name.toStdString();
        EXPECT_TRUE(made.err.contains("The icon family could not be created.")) << made.err.toStdString();
        EXPECT_GT(made.peakKiB, 0);
        EXPECT_LT(made.peakKiB, kMemoryKiB) << name.toStdString();
        const PictureResult read = ReadPictureFile(FileRef(QFile::encodeName(path(name))), FitWithin(64));
        EXPECT_EQ(read.status, PictureStatus::TooLarge) << name.toStdString();
    }
    void expectMade(const QString& name)
    {
        const Made made = makeMediaIcon(name);
        EXPECT_EQ(made.exitCode, 0) << name.toStdString() << ": " << made.err.toStdString();
        EXPECT_GT(QFileInfo(dataHome() + "/Corvane Software/Pictomat/" + name + ".icns").size(), 0)
            << name.toStdString();
    }
    // This process's own peak, after every reader call above.
    static qint64 ownPeakKiB()
    {
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        return usage.ru_maxrss;
    }
};

TEST_F(HostilePicture, PhotosWhoseBoxesPromiseMoreThanTheyHoldAreRefusedBeforeLibheifReadsThem)
{
    heic("photo.heic", 48, {"-t", "16"});
    heic("tile.heic", 64);
    // A photo of a kilobyte whose stream declares 32768 x 32768 pixels (the
    // picture fuzzer's find: 4.2 GB and 14 s); grids of 15,625 and of 2,500
    // tiles that all point at one 64-pixel tile; one such tile standing for
    // a canvas of 8000 x 8000.
    write({"heif-resize", path("photo.heic"), path("declares.heic"), "32768", "32768"});
    write({"heif-grid", path("tile.heic"), path("tiles.heic"), "125", "125", "8000", "8000", "same-data"});
    write({"heif-grid", path("tile.heic"), path("fewer-tiles.heic"), "50", "50", "3200", "3200", "same-data"});
    write({"heif-grid", path("tile.heic"), path("stretched.heic"), "1", "1", "8000", "8000"});
    for (const char* name : {"declares.heic", "tiles.heic", "fewer-tiles.heic", "stretched.heic"})
        expectRefused(name);

    write({"heif-grid", path("tile.heic"), path("grid.heic"), "2", "2", "128", "128"});
    for (const char* name : {"photo.heic", "grid.heic"})
        expectMade(name);
    EXPECT_LT(ownPeakKiB(), kMemoryKiB);
}

TEST_F(HostilePicture, PagesThatCostMoreThanTheyHoldAreRefusedBeforePopplerOpensThem)
{
    // An image that claims 60000 x 60000 pixels (10 to 60 s in one drawing
    // instruction), a page tree 100,000 levels deep (3 to 23 s), drawing
    // instructions that inflate to 256 MiB of blanks (5 to 9 s).
    write({"pdf", "image", path("image.pdf"), "60000,60000,3000"});
    write({"pdf", "deep", path("deep.pdf"), "100000"});
    write({"pdf", "blanks", path("blanks.pdf"), "256"});
    for (const char* name : {"image.pdf", "deep.pdf", "blanks.pdf"})
        expectRefused(name);

    write({"pdf", "art", path("art.pdf"), "objstm", "form"});
    write({"pdf", "deep", path("tall.pdf"), "50"});
    for (const char* name : {"art.pdf", "tall.pdf"})
        expectMade(name);
    EXPECT_LT(ownPeakKiB(), kMemoryKiB);
}

} // namespace
} // namespace pictomat
