// What the write side does with the user's files, through the built program:
// a replaced file goes to the Trash only once its replacement is whole, a
// failed write is reported and loses nothing, a killed writer's leftovers go
// away, and operands mean what a shell user means.

#include "MakeIconSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/stat.h>

using namespace pictomat;
using test::FileBytes;
using test::PillowDescribe;

namespace {

class OutputSafety : public test::TestEnv {
protected:
    void SetUp() override
    {
        TestEnv::SetUp();
        for (const QStringList& setting :
             {QStringList{"UseItemsFolder", "-bool", "true"}, QStringList{"OpenImageFolderForMe", "-bool", "false"},
              QStringList{"OpenImageFileForMe", "-bool", "false"}, QStringList{"AddCustomIcon", "-bool", "false"},
              QStringList{"IconSize", "-int", "64"}}) {
            const test::ProcessResult r = test::RunPictomat(QStringList{"defaults", "write"} + setting);
            ASSERT_EQ(r.exitCode, 0) << r.err.constData();
        }
    }

    // pictomat with these arguments, started in `folder` when one is given.
    static test::ProcessResult pictomat(const QStringList& arguments, const QString& folder = {})
    {
        if (folder.isEmpty())
            return test::RunPictomat(arguments);
        return test::RunProcess(QStringLiteral("/bin/sh"),
                                QStringList{"-c", "cd \"$0\" && exec \"$@\"", folder, PICTOMAT_BINARY} + arguments);
    }

    // The Trash entry a file manager restores `path` from: "PATH -> what the
    // trashed file is", or empty when none is there.
    QString trashed(const QString& path) const
    {
        const QString trash = dataHome() + "/Trash";
        const QString name = QFileInfo(path).fileName();
        QFile info(trash + "/info/" + name + ".trashinfo");
        if (!info.open(QIODevice::ReadOnly))
            return {};
        const QString text = QString::fromUtf8(info.readAll());
        const QFileInfo file(trash + "/files/" + name);
        const QString kind = file.isSymLink() ? "link to " + file.symLinkTarget()
                                              : QString::fromLatin1(PillowOrBytes(trash + "/files/" + name));
        return text.contains("\nPath=" + path + "\n") ? path + " -> " + kind : "wrong entry: " + text;
    }

    static QByteArray PillowOrBytes(const QString& path)
    {
        const QByteArray bytes = FileBytes(QFile::encodeName(path));
        return bytes.startsWith("\x89PNG") ? PillowDescribe(QFile::encodeName(path)) : bytes;
    }

    static QStringList leftovers(const QString& folder)
    {
        return QDir(folder).entryList({".pictomat-*"}, QDir::Files | QDir::Hidden | QDir::System);
    }
};

TEST_F(OutputSafety, ReplacedFilesGoToTheTrashOnlyOnceTheirReplacementIsWhole)
{
    // A folder's export next to it, where the user's own big picture has the name.
    ASSERT_TRUE(QDir().mkpath(work() + "/vacation"));
    ASSERT_TRUE(QImage(test::SolidImage(1000, Qt::darkGreen)).save(work() + "/vacation.png", "PNG"));
    test::ProcessResult r = pictomat({"run", "export", "png", work() + "/vacation"});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(PillowDescribe(QFile::encodeName(work() + "/vacation.png")), "PNG 64x64");
    EXPECT_EQ(trashed(work() + "/vacation.png"), work() + "/vacation.png -> PNG 1000x1000");

    // A link in the output's place goes to the Trash as a link; what it
    // points at is neither followed nor touched.
    writeFile("precious.txt", "the user's words");
    writeFile("notes.txt", "plain text");
    ASSERT_TRUE(QFile::link(work() + "/precious.txt", work() + "/notes.txt.icns"));
    r = pictomat({"run", "make-icon", work() + "/notes.txt"});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_FALSE(QFileInfo(work() + "/notes.txt.icns").isSymLink());
    EXPECT_TRUE(test::PillowIcnsSizes(QFile::encodeName(work() + "/notes.txt.icns")).startsWith("16x16@1"));
    EXPECT_EQ(FileBytes(QFile::encodeName(work() + "/precious.txt")), "the user's words");
    EXPECT_EQ(trashed(work() + "/notes.txt.icns"), work() + "/notes.txt.icns -> link to " + work() + "/precious.txt");

    // When the new output cannot be made, the good one stays as it was.
    ASSERT_TRUE(QImage(test::SolidImage(64, Qt::red)).save(work() + "/clip.png", "PNG"));
    r = pictomat({"run", "make-media-icon", work() + "/clip.png"});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    const QByteArray good = FileBytes(QFile::encodeName(work() + "/clip.png.icns"));
    ASSERT_FALSE(good.isEmpty());
    writeFile("clip.png", "no longer a picture");
    r = pictomat({"run", "make-media-icon", work() + "/clip.png"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "pictomat: " + QFile::encodeName(work())
                         + "/clip.png: The icon family could not be created. (not a picture, movie or icon file "
                           "that Pictomat reads)\n");
    EXPECT_EQ(FileBytes(QFile::encodeName(work() + "/clip.png.icns")), good);
    EXPECT_TRUE(trashed(work() + "/clip.png.icns").isEmpty());
    EXPECT_EQ(leftovers(work()), QStringList{});
}

TEST_F(OutputSafety, OurOwnOutputsAreReplacedWithoutTheTrashEvenByConcurrentRuns)
{
    // Re-runs replace the earlier output in one step.
    writeFile("notes.txt", "plain text");
    const QString icns = work() + "/notes.txt.icns";
    for (int run = 0; run < 3; ++run) {
        const test::ProcessResult r = pictomat({"run", "make-icon", work() + "/notes.txt"});
        EXPECT_EQ(r.exitCode, 0) << run << r.err.constData();
    }
    EXPECT_EQ(test::FolderEntries(dataHome() + "/Trash/files"), QStringList{});

    // Eight runs on one item at once: each succeeds, one whole output is left.
    QList<QProcess*> runs;
    for (int i = 0; i < 8; ++i) {
        runs.append(new QProcess);
        runs.last()->start(PICTOMAT_BINARY, {"run", "make-icon", work() + "/notes.txt"});
    }
    for (QProcess* run : runs) {
        EXPECT_TRUE(run->waitForFinished(60000));
        EXPECT_EQ(run->exitCode(), 0) << run->readAllStandardError().constData();
        delete run;
    }
    EXPECT_TRUE(test::PillowIcnsSizes(QFile::encodeName(icns)).startsWith("16x16@1"));
    EXPECT_EQ(test::FolderEntries(dataHome() + "/Trash/files"), QStringList{});
    EXPECT_EQ(leftovers(work()), QStringList{});

    // Once the user changed it, it is theirs and goes to the Trash.
    QFile edited(icns);
    ASSERT_TRUE(edited.open(QIODevice::Append));
    edited.write("the user's addition");
    edited.close();
    const test::ProcessResult r = pictomat({"run", "make-icon", work() + "/notes.txt"});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_TRUE(trashed(icns).startsWith(icns + " -> ")) << trashed(icns).toStdString();
}

TEST_F(OutputSafety, AFileThatCannotGoToTheTrashIsKeptAndTheAlertSaysSo)
{
    // A Trash that takes nothing: its folder for files is no folder (a
    // read-only one would not stop the root user the tests may run as).
    writeFile(dataHome() + "/Trash/files", "not a folder");
    writeFile("notes.txt", "plain text");
    writeFile("notes.txt.icns", "the user's own icon file");
    const test::ProcessResult r = pictomat({"run", "make-icon", work() + "/notes.txt"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("The output file could not be created.")) << r.err.constData();
    EXPECT_TRUE(r.err.contains("could not be moved to the Trash")) << r.err.constData();
    EXPECT_FALSE(r.err.contains("Check that a file by the same name")) << r.err.constData();
    EXPECT_EQ(FileBytes(QFile::encodeName(work() + "/notes.txt.icns")), "the user's own icon file");
    EXPECT_EQ(leftovers(work()), QStringList{});
}

TEST_F(OutputSafety, TheRootFolderIsNamedOrFailsWithTheCommandsMessage)
{
    // Beside the item, the root folder has no folder to write into.
    test::ProcessResult r = pictomat({"run", "make-icon", "/"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("The output file could not be created.")) << r.err.constData();
    // In the output folder, it is named by its volume's label or "Root".
    ASSERT_EQ(test::RunPictomat({"defaults", "write", "UseItemsFolder", "-bool", "false"}).exitCode, 0);
    r = pictomat({"run", "make-icon", "/"});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    const QString folder = dataHome() + "/Corvane Software/Pictomat";
    const QStringList made = test::FolderEntries(folder);
    ASSERT_EQ(made.size(), 1);
    EXPECT_TRUE(made.first().endsWith(".icns") && made.first().size() > 5) << made.first().toStdString();
    EXPECT_TRUE(test::PillowIcnsSizes(QFile::encodeName(folder + "/" + made.first())).startsWith("16x16@1"));
}

TEST_F(OutputSafety, WithoutATrashOnlyOurOwnUnchangedOutputsAreReplaced)
{
    // GIO keeps no Trash on tmpfs, and /dev/shm is one everywhere we run.
    QTemporaryDir shm(QStringLiteral("/dev/shm/pictomat-test-XXXXXX"));
    if (!shm.isValid())
        SERVICE_MISSING() << "no /dev/shm to stand for a file system without a Trash";
    const QString folder = shm.path();
    writeFile(folder + "/notes.txt", "plain text");
    writeFile(folder + "/notes.txt.png", "the user's own picture");
    test::ProcessResult r = pictomat({"run", "export", "png", folder + "/notes.txt"});
    EXPECT_EQ(r.exitCode, 1);
    // Replacing is on: the alert says why it did not happen, not to switch it on.
    EXPECT_TRUE(r.err.contains("The file already exists. (there is no Trash on its drive)")) << r.err.constData();
    EXPECT_FALSE(r.err.contains("Select the option to overwrite files by same name"));
    EXPECT_EQ(FileBytes(QFile::encodeName(folder + "/notes.txt.png")), "the user's own picture");

    // Our own output is replaced as long as nobody changed it since.
    for (int run = 0; run < 2; ++run) {
        r = pictomat({"run", "make-icon", folder + "/notes.txt"});
        EXPECT_EQ(r.exitCode, 0) << run << r.err.constData();
    }
    EXPECT_TRUE(test::PillowIcnsSizes(QFile::encodeName(folder + "/notes.txt.icns")).startsWith("16x16@1"));
    QFile edited(folder + "/notes.txt.icns");
    ASSERT_TRUE(edited.open(QIODevice::Append));
    edited.write("the user's addition");
    edited.close();
    const QByteArray before = FileBytes(QFile::encodeName(folder + "/notes.txt.icns"));
    r = pictomat({"run", "make-icon", folder + "/notes.txt"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("The file already exists.")) << r.err.constData();
    EXPECT_EQ(FileBytes(QFile::encodeName(folder + "/notes.txt.icns")), before);
    EXPECT_EQ(leftovers(folder), QStringList{});
}

TEST_F(OutputSafety, WritesThatFailAreReportedAndLongNamesWork)
{
    // Past the file-size limit the write fails: the process lives, the
    // output is named as failed and nothing takes its name.
    writeFile("notes.txt", "plain text");
    test::ProcessResult r =
        test::RunProcess(QStringLiteral("/bin/bash"), {"-c", "ulimit -f 1 && exec \"$@\"", "bash", PICTOMAT_BINARY,
                                                       "run", "make-icon", work() + "/notes.txt"});
    EXPECT_EQ(r.exitCode, 1) << r.err.constData();
    EXPECT_TRUE(r.err.contains(QFile::encodeName(work() + "/notes.txt.icns could not be written: File too large")))
        << r.err.constData();
    EXPECT_FALSE(QFileInfo::exists(work() + "/notes.txt.icns"));
    EXPECT_EQ(leftovers(work()), QStringList{});

    // Names up to the file system's limit with the extension; past it, a clear failure.
    const QString fits = QString(250, QLatin1Char('n'));
    const QString tooLong = QString(251, QLatin1Char('n'));
    writeFile(fits, "x");
    writeFile(tooLong, "x");
    r = pictomat({"run", "make-icon", work() + "/" + fits});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_TRUE(test::PillowIcnsSizes(QFile::encodeName(work() + "/" + fits + ".icns")).startsWith("16x16@1"));
    r = pictomat({"run", "make-icon", work() + "/" + tooLong});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("The output file could not be created.")) << r.err.constData();
}

TEST_F(OutputSafety, AFailedItemLeavesNothingUnderItsName)
{
    // A damaged picture gives no icon, and no empty icon file that a file
    // manager would show as a broken one beside it.
    const QByteArray png = test::PngBytes(test::SolidImage(256, Qt::blue));
    writeFile("damaged.png", png.left(png.size() / 2));
    for (const QString verb : {"make-media-icon", "make-media-ico"}) {
        const test::ProcessResult r = pictomat({"run", verb, work() + "/damaged.png"});
        EXPECT_EQ(r.exitCode, 1) << verb.toStdString();
        EXPECT_TRUE(
            r.err.endsWith("damaged.png: "
                           + QByteArray(verb == "make-media-icon" ? "The icon family could not be created."
                                                                  : "The icon could not be obtained from the file.")
                           + " (the file is damaged)\n"))
            << r.err.constData();
        EXPECT_EQ(r.err.count('\n'), 1) << r.err.constData();
    }
    EXPECT_EQ(test::FolderEntries(work()), QStringList{"damaged.png"});

    // A full disk: a small file system of its own, in a mount namespace of
    // this test's own (as any user may make one), filled to its last block
    // around a good picture. The listing is taken inside, before the file
    // system goes with the namespace.
    const QString disk = work() + "/disk";
    ASSERT_TRUE(QDir().mkpath(disk));
    writeFile("photo.png", png);
    const QString script =
        "mount -t tmpfs -o size=256k pictomat-full \"$1\" || exit 77\n"
        "cp \"$2\" \"$1/photo.png\" || exit 77\n"
        "dd if=/dev/zero of=\"$1/filler\" bs=4096 2>/dev/null\n"
        "for verb in make-media-icon make-media-ico; do\n"
        "  \"$3\" run $verb \"$1/photo.png\"; echo \"$verb $?\"\n"
        "done\n"
        "ls -A \"$1\"\n";
    const test::ProcessResult r =
        test::RunProcess(QStringLiteral("unshare"), {"--map-root-user", "--mount", "/bin/sh", "-c", script, "sh", disk,
                                                     work() + "/photo.png", PICTOMAT_BINARY});
    if (r.exitCode == 77 || r.exitCode < 0)
        SERVICE_MISSING() << "no private mount namespace with a tmpfs: " << r.err.constData();
    EXPECT_EQ(r.out, "make-media-icon 1\nmake-media-ico 1\nfiller\nphoto.png\n") << r.err.constData();
    for (const char* name : {"/photo.png.icns", "/photo.png.ico"})
        EXPECT_TRUE(r.err.contains(QFile::encodeName(disk + name) + " could not be written: No space left on device"))
            << r.err.constData();
}

TEST_F(OutputSafety, WhatAKilledWriterLeftGoesAwayAndLiveWritersKeepTheirs)
{
    // Two writers, each holding the lock on its temporary file as Pictomat
    // does; one is killed mid-write.
    const QString holder =
        "import fcntl, sys, time\n"
        "f = open(sys.argv[1], 'wb')\n"
        "fcntl.flock(f, fcntl.LOCK_EX)\n"
        "f.write(b'x' * 1000000)\n"
        "f.flush()\n"
        "print('ready', flush=True)\n"
        "time.sleep(60)\n";
    QProcess killed, live;
    for (auto [process, name] :
         {std::pair{&killed, "/.pictomat-Dead01.tmp"}, std::pair{&live, "/.pictomat-Live01.tmp"}}) {
        process->start("/usr/bin/python3", {"-c", holder, work() + name});
        ASSERT_TRUE(process->waitForReadyRead(10000));
    }
    killed.kill();
    killed.waitForFinished();
    writeFile("notes.txt", "plain text");
    const test::ProcessResult r = pictomat({"run", "make-icon", work() + "/notes.txt"});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(leftovers(work()), QStringList{".pictomat-Live01.tmp"});
    live.kill();
    live.waitForFinished();
}

TEST_F(OutputSafety, OperandsAreFilesAfterDashDashAndDotsNameTheirFolders)
{
    // "." and ".." are the folders by their own names.
    ASSERT_TRUE(QDir().mkpath(work() + "/trip/day one"));
    test::ProcessResult r = pictomat({"run", "make-icon", "."}, work() + "/trip");
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    r = pictomat({"run", "export", "png", ".."}, work() + "/trip/day one");
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_TRUE(test::PillowIcnsSizes(QFile::encodeName(work() + "/trip.icns")).startsWith("16x16@1"));
    EXPECT_EQ(PillowDescribe(QFile::encodeName(work() + "/trip.png")), "PNG 64x64");
    EXPECT_EQ(test::FolderEntries(work() + "/trip"), QStringList{"day one"});

    // After "--" a file may be named like an option, ours or Qt's.
    writeFile("-alpha", "text");
    writeFile("-platform", "text");
    r = pictomat({"run", "make-icon", "--", "-alpha", "-platform"}, work());
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_TRUE(QFileInfo(work() + "/-alpha.icns").size() > 0);
    EXPECT_TRUE(QFileInfo(work() + "/-platform.icns").size() > 0);
    r = pictomat({"select", "--", "-alpha", "trip/day one/.."}, work());
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(FileBytes(QFile::encodeName(runtimeDir() + "/pictomat/selection")),
              "e '" + QFile::encodeName(work() + "/-alpha") + "'\ne '" + QFile::encodeName(work() + "/trip") + "'\n");
}

} // namespace
