// What a failed file operation tells its caller: the reason in words, for
// the alert or the log, and the system's cause, which callers act on (a name
// taken meanwhile is looked at again, not reported).

#include "files/FileIO.h"
#include "files/OutputFile.h"

#include "TestEnv.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>

using namespace pictomat;

namespace {

class FileErrors : public test::TestEnv { };

TEST_F(FileErrors, CarryTheSystemsCauseAndLeaveWhatHasTheNameAlone)
{
    const QString missingWords = QString::fromLocal8Bit(std::strerror(ENOENT));
    const FileRef inMissingFolder(QFile::encodeName(work() + "/no-such-folder/out.png"));

    Error error;
    EXPECT_FALSE(WriteFileAtomically(inMissingFolder, "bytes", &error));
    EXPECT_EQ(error.code, ENOENT);
    EXPECT_TRUE(error.message.contains(work() + "/no-such-folder")) << error.message.toStdString();
    EXPECT_TRUE(error.message.endsWith(missingWords)) << error.message.toStdString();

    OutputFile output;
    error = {};
    EXPECT_EQ(output.begin(inMissingFolder, true, &error), OutputFile::Begin::Failed);
    EXPECT_EQ(error.code, ENOENT) << error.message.toStdString();

    // A name that is taken: the new file's caller hears EEXIST, and the file
    // there keeps its bytes.
    const QByteArray taken = writeFile("taken.png", "the user's");
    bool existed = false;
    error = {};
    EXPECT_FALSE(WriteNewFileAtomically(FileRef(taken), "ours", &error, &existed));
    EXPECT_TRUE(existed);
    EXPECT_EQ(error.code, EEXIST);
    QFile kept(QFile::decodeName(taken));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "the user's");
    EXPECT_EQ(QDir(work()).entryList(QDir::Files | QDir::Hidden), QStringList{"taken.png"});

    // A reason without a system call behind it has no code.
    error = {};
    EXPECT_FALSE(ReadRegularFile(QFile::encodeName(work()), 1024, &error));
    EXPECT_EQ(error.code, 0);
    EXPECT_EQ(error.message, "no such regular file");
}

} // namespace
