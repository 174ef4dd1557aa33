// The reading worker's own guarantees, through the real command: a file that
// makes its reader spin, hang, allocate without bound or crash, and a reader
// or a worker killed while it reads, each fail that file with the command's
// message and the cause in the log, within the deadline the tests set and
// with the program itself well under 256 MiB; the next file is read as ever.
// The failures are ordered by the files' first bytes, which the worker obeys
// only with PICTOMAT_READER_TESTS=1 in its environment.
#include "worker/WorkerProtocol.h"

#include "TestEnv.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>

#include <gtest/gtest.h>

namespace pictomat {
namespace {

constexpr qint64 kMemoryKiB = 256 * 1024;

class ReadingWorker : public test::TestEnv {
protected:
    void SetUp() override
    {
        test::TestEnv::SetUp();
        for (const char* key : {"OpenImageFolderForMe", "OpenImageFileForMe"})
            ASSERT_EQ(test::RunPictomat({"defaults", "write", key, "-bool", "false"}).exitCode, 0);
        QImage honest(300, 200, QImage::Format_ARGB32);
        honest.fill(QColor(40, 120, 200, 220));
        ASSERT_TRUE(honest.save(path("honest.png")));
    }
    QString path(const QString& name) const { return work() + "/" + name; }
    void order(const QString& name, const char* word)
    {
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(worker::kTestHead) + word + "\n");
    }
    bool made(const QString& name) const
    {
        return QFileInfo(dataHome() + "/Corvane Software/Pictomat/" + name + ".icns").size() > 0;
    }

    struct Run {
        int exitCode = -1;
        QByteArray err;
        qint64 peakKiB = 0; // the program's own VmHWM, the worker's children apart
        bool timedOut = false;
    };
    // make-media-icon on the files, the worker's deadline 2 s. `kill` names
    // what is killed once the first file's reading child runs: "reader"
    // (that child) or "worker" (the warm worker that forks it).
    Run makeMediaIcons(const QStringList& names, const QString& kill = {})
    {
        QStringList arguments{PICTOMAT_BINARY, path("err.txt"), kill};
        for (const QString& name : names)
            arguments.append(path(name));
        const test::ProcessResult r = test::RunPython(R"(
import os, signal, subprocess, sys, time
def children(pid):
    try:
        with open(f'/proc/{pid}/task/{pid}/children') as f:
            return [int(p) for p in f.read().split()]
    except OSError:
        return []
env = dict(os.environ, PICTOMAT_READER_TESTS='1', PICTOMAT_READER_DEADLINE_MS='2000', PICTOMAT_LOG_STDERR='1')
peak = 0
killed = not sys.argv[3]
with open(sys.argv[2], 'wb') as err:
    child = subprocess.Popen([sys.argv[1], 'run', 'make-media-icon'] + sys.argv[4:], env=env,
                             stdout=subprocess.DEVNULL, stderr=err)
    while child.poll() is None:
        try:
            with open(f'/proc/{child.pid}/status') as f:
                for line in f:
                    if line.startswith('VmHWM:'):
                        peak = max(peak, int(line.split()[1]))
        except OSError:
            pass
        if not killed:
            for worker in children(child.pid):
                readers = children(worker)
                if readers:
                    time.sleep(0.3)
                    os.kill(readers[0] if sys.argv[3] == 'reader' else worker, signal.SIGKILL)
                    killed = True
        time.sleep(0.01)
print(peak)
sys.exit(child.returncode)
)",
                                                      arguments, 30000);
        QFile err(path("err.txt"));
        return Run{r.exitCode, err.open(QIODevice::ReadOnly) ? err.readAll() : QByteArray(),
                   r.out.trimmed().toLongLong(), r.timedOut};
    }
    void expectFailed(const Run& run, const char* cause)
    {
        EXPECT_FALSE(run.timedOut);
        EXPECT_NE(run.exitCode, 0);
        EXPECT_TRUE(run.err.contains("The icon family could not be created.")) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(cause)) << cause << "\n" << run.err.toStdString();
        EXPECT_GT(run.peakKiB, 0);
        EXPECT_LT(run.peakKiB, kMemoryKiB);
    }
};

TEST_F(ReadingWorker, AReaderThatSpinsOrNeverAnswersIsStoppedAtTheDeadlineAndTheNextFileIsRead)
{
    order("spins.png", "spin");
    order("hangs.png", "hang");
    for (const char* name : {"spins.png", "hangs.png"}) {
        const Run run = makeMediaIcons({name, "honest.png"});
        expectFailed(run, "the reading worker was stopped after 2 s");
        EXPECT_FALSE(made(name));
        EXPECT_TRUE(made("honest.png")) << name;
        QFile::remove(dataHome() + "/Corvane Software/Pictomat/honest.png.icns");
    }
}

TEST_F(ReadingWorker, AReaderThatExhaustsItsMemoryOrCrashesCostsTheProgramNothing)
{
    order("allocates.png", "allocate");
    order("crashes.png", "crash");
    const Run allocates = makeMediaIcons({"allocates.png", "honest.png"});
    expectFailed(allocates, "the reading worker ran out of memory");
    EXPECT_TRUE(made("honest.png"));
    const Run crashes = makeMediaIcons({"crashes.png"});
    expectFailed(crashes, "the reading worker crashed (signal 11)");
    EXPECT_FALSE(made("allocates.png"));
    EXPECT_FALSE(made("crashes.png"));
}

TEST_F(ReadingWorker, AReaderOrAWorkerKilledWhileItReadsIsReplacedForTheNextFile)
{
    order("hangs.png", "hang");
    const Run reader = makeMediaIcons({"hangs.png", "honest.png"}, "reader");
    expectFailed(reader, "the reading worker crashed (signal 9)");
    EXPECT_TRUE(made("honest.png"));
    QFile::remove(dataHome() + "/Corvane Software/Pictomat/honest.png.icns");
    const Run worker = makeMediaIcons({"hangs.png", "honest.png"}, "worker");
    expectFailed(worker, "the reading worker did not answer within 2 s and was replaced");
    EXPECT_TRUE(made("honest.png"));
    EXPECT_FALSE(made("hangs.png"));
}

// A reader that tries to read a file beside the one it was handed, write a
// file, open a connection or run a program is refused each of them (were it
// not, it would crash, and the log would say so): it goes on to find no
// picture, and the file fails with the command's message alone.
TEST_F(ReadingWorker, AReaderCanReadNothingButItsFileConnectNowhereAndRunNothing)
{
    QFile secret(path("secret.txt"));
    ASSERT_TRUE(secret.open(QIODevice::WriteOnly));
    secret.write("not for the reader\n");
    secret.close();
    QFile escape(path("escapes.png"));
    ASSERT_TRUE(escape.open(QIODevice::WriteOnly));
    escape.write(QByteArray(worker::kTestHead) + "escape " + QFile::encodeName(path("secret.txt")) + "\n");
    escape.close();
    const Run run = makeMediaIcons({"escapes.png", "honest.png"});
    EXPECT_FALSE(run.timedOut);
    EXPECT_TRUE(run.err.contains("The icon family could not be created.")) << run.err.toStdString();
    EXPECT_FALSE(run.err.contains("the reading worker")) << run.err.toStdString();
    EXPECT_FALSE(made("escapes.png"));
    EXPECT_TRUE(made("honest.png"));
}

} // namespace
} // namespace pictomat
