// "pictomat run" from a shell: the same dispatcher, with the launcher that
// opens folders observed through a recording xdg-open.

#include "TestEnv.h"

#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QThread>

#include <csignal>
#include <unistd.h>

namespace pictomat::test {
namespace {

class RunCommandTest : public TestEnv {
protected:
    void SetUp() override
    {
        TestEnv::SetUp();
        m_environment = {recordingOpenerPath(), "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};
    }
    QStringList m_environment;
};

TEST_F(RunCommandTest, GoToFolderOpensTheOutputFolderWithoutADisplay)
{
    const ProcessResult r = RunPictomat({"run", "go-to-folder"}, m_environment);
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(opened(), QStringList{"file://" + dataHome() + "/Corvane%20Software/Pictomat"});
    EXPECT_TRUE(QFileInfo(dataHome() + "/Corvane Software/Pictomat").isDir());
}

TEST_F(RunCommandTest, UsageErrorsAreStatusTwoAndRunNothing)
{
    for (const QStringList& args :
         {QStringList{"run"}, QStringList{"run", "make-icon"}, QStringList{"run", "export"},
          QStringList{"run", "export", "nosuchformat", "/tmp"}, QStringList{"run", "explode", "x"}}) {
        const ProcessResult r = RunPictomat(args, m_environment);
        EXPECT_EQ(r.exitCode, 2) << args.join(' ').toStdString() << r.err.toStdString();
        EXPECT_FALSE(r.err.isEmpty());
    }
    EXPECT_FALSE(QFile::exists(openedLog()));
    EXPECT_FALSE(QFile::exists(dataHome() + "/Corvane Software"));
}

// Standard error carries the program's own messages only: not the sound
// library's complaints where no sound card is (a sound server named but not
// there makes it try the card), nor Qt's warnings about the session.
TEST_F(RunCommandTest, ACommandThatPlaysASoundSaysNothingElse)
{
    const QString item = QFile::decodeName(writeFile("plain.txt", "text"));
    for (const QString& extra : {QStringLiteral("PULSE_SERVER=unix:/nonexistent"), QStringLiteral("PULSE_SERVER")}) {
        const ProcessResult r =
            RunPictomat({"run", "remove-icon", item}, m_environment + QStringList{extra, "XDG_RUNTIME_DIR"});
        EXPECT_EQ(r.exitCode, 0) << extra.toStdString();
        EXPECT_EQ(r.err, "") << extra.toStdString();
    }
}

// The live processes whose environment holds `token`, among them the
// clipboard servers that copy-icon leaves behind.
QList<pid_t> processesWith(const QByteArray& token, const QString& program = QString())
{
    QList<pid_t> found;
    for (const QString& entry : QDir("/proc").entryList(QDir::Dirs)) {
        const pid_t pid = entry.toInt();
        if (pid <= 0 || pid == ::getpid())
            continue;
        QFile environ("/proc/" + entry + "/environ");
        if (!environ.open(QIODevice::ReadOnly) || !environ.readAll().split('\0').contains(token))
            continue;
        if (program.isEmpty() || QFile::symLinkTarget("/proc/" + entry + "/exe") == program)
            found.append(pid);
    }
    return found;
}

// Each copy is served by a process of its own, as xclip serves its: it ends
// as soon as another program owns the clipboard, also a newer copy.
TEST_F(RunCommandTest, ClipboardServersEndOnceAnotherProgramTakesTheClipboard)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        SERVICE_MISSING() << "needs an X server (scripts/test runs one)";
    const QByteArray token =
        "PICTOMAT_RUN_TEST_TOKEN=" + QByteArray::number(::getpid()) + "-" + root().toUtf8().toHex();
    const QStringList environment = {QString::fromLatin1(token), "QT_QPA_PLATFORM=xcb"};
    const QString item = QFile::decodeName(writeFile("copied.txt", "text"));
    const QString binary = QFileInfo(PICTOMAT_BINARY).canonicalFilePath();
    const auto servers = [&] { return processesWith(token, binary).size(); };
    const auto waitForServers = [&](qsizetype atMost) {
        for (int i = 0; i < 20 && servers() > atMost; ++i)
            QThread::msleep(100);
        return servers();
    };
    for (int i = 0; i < 10; ++i) {
        const ProcessResult r = RunPictomat({"run", "copy-icon", item}, environment);
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    }
    EXPECT_EQ(waitForServers(1), 1);

    const ProcessResult xclip =
        RunProcess("xclip", {"-selection", "clipboard", "-i"}, {QString::fromLatin1(token)}, 30000, "taken over");
    EXPECT_EQ(xclip.exitCode, 0);
    EXPECT_EQ(waitForServers(0), 0);
    for (pid_t pid : processesWith(token))
        ::kill(pid, SIGTERM);
}

} // namespace
} // namespace pictomat::test
