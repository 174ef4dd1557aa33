#include "app/Selection.h"
#include "files/ItemNames.h"
#include "prefs/PreferenceStore.h"
#include "DesktopSession.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryFile>
#include <QThread>

#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

using namespace pictomat;

namespace {

class SelectionTest : public test::TestEnv {
protected:
    void SetUp() override
    {
        test::TestEnv::SetUp();
        if (qEnvironmentVariableIsSet("PICTOMAT_SELECTION_SCRIPT"))
            m_savedScript = qgetenv("PICTOMAT_SELECTION_SCRIPT");
    }
    void TearDown() override
    {
        if (m_savedScript)
            qputenv("PICTOMAT_SELECTION_SCRIPT", *m_savedScript);
        else
            qunsetenv("PICTOMAT_SELECTION_SCRIPT");
        test::TestEnv::TearDown();
    }
    // Makes the selection provider a shell script with the given body.
    void useScript(const QByteArray& body)
    {
        const QByteArray path = writeFile("provider.sh", "#!/bin/sh\n" + body);
        QFile::setPermissions(QFile::decodeName(path), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("PICTOMAT_SELECTION_SCRIPT", path);
    }
    // The script's stdout, written to a file first so any byte survives the shell.
    void useOutput(const QByteArray& output)
    {
        const QByteArray out = writeFile("provider.out", output);
        useScript("cat '" + out + "'\n");
    }

    prefs::PreferenceStore preferences{preferenceFile()};

private:
    std::optional<QByteArray> m_savedScript;
};

bool processGone(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    // "pid (comm) S ...": a zombie is dead too, merely not yet collected.
    const QByteArray line = stat.readAll();
    const qsizetype close = line.lastIndexOf(')');
    return close > 0 && line.mid(close + 2, 1) == "Z";
}

TEST_F(SelectionTest, ItemsComeInTheProvidersOrderAsUrisOrPaths)
{
    const QByteArray a = writeFile("a file.txt", "a");
    const QByteArray b = writeFile("b#?%.png", "b");
    const QByteArray c = writeFile("dir/c", "c");
    // Windows line ends and blank lines, as a clipboard may carry them.
    useOutput(FileRef(c).uri() + "\r\n\r\n" + b + "\n   \n" + FileRef(a).url().toEncoded() + "\r\n");
    const SelectedItems selection = Selection::AcquireFinderSelection(preferences);
    ASSERT_TRUE(selection.hasSelection());
    EXPECT_EQ(selection.count, 3);
    EXPECT_EQ(*selection.items, (QVector<FileRef>{FileRef(c), FileRef(b), FileRef(a)}));
}

TEST_F(SelectionTest, AnEntryThatNamesNothingStaysEmptyButCounts)
{
    const QByteArray a = writeFile("a", "a");
    const QByteArray c = writeFile("c", "c");
    QByteArray dangling = QFile::encodeName(work() + "/dangling");
    ASSERT_EQ(::symlink("/nonexistent/target", dangling.constData()), 0);
    const QList<QByteArray> unresolvable = {
        "not a reference",
        "relative/path",
        "sftp://host/a",
        "file://otherhost/x",
        QFile::encodeName(work() + "/missing"),
        FileRef(QFile::encodeName(work() + "/gone")).uri(),
        a + QByteArray("\0byte", 5), // a file's name, and a NUL byte no name holds
    };
    for (const QByteArray& middle : unresolvable) {
        useOutput(a + "\n" + middle + "\n" + c + "\n");
        const SelectedItems selection = Selection::AcquireFinderSelection(preferences);
        ASSERT_TRUE(selection.items.has_value()) << middle.constData();
        EXPECT_EQ(selection.count, 3) << middle.constData();
        EXPECT_EQ(*selection.items, (QVector<FileRef>{FileRef(a), FileRef(), FileRef(c)})) << middle.constData();
    }
    // A link that points nowhere is still an item the user selected.
    useOutput(dangling + "\n");
    const SelectedItems withLink = Selection::AcquireFinderSelection(preferences);
    ASSERT_TRUE(withLink.hasSelection());
    EXPECT_EQ(withLink.items->first(), FileRef(dangling));
}

TEST_F(SelectionTest, FailingProvidersMeanNoSelection)
{
    const QByteArray a = writeFile("a", "a");
    struct Case {
        const char* what;
        QByteArray script;
    };
    const QList<Case> cases = {
        {"no output", "exit 0\n"},
        {"only blank lines", "printf '\\n\\r\\n  \\n'\n"},
        {"failure with output", "echo '" + a + "'\nexit 3\n"},
        {"killed by a signal", "echo '" + a + "'\nkill -9 $$\n"},
    };
    for (const Case& c : cases) {
        useScript(c.script);
        const SelectedItems selection = Selection::AcquireFinderSelection(preferences);
        EXPECT_FALSE(selection.items.has_value()) << c.what;
        EXPECT_FALSE(selection.hasSelection()) << c.what;
    }
    qputenv("PICTOMAT_SELECTION_SCRIPT", QFile::encodeName(work() + "/no-such-script"));
    EXPECT_FALSE(Selection::AcquireFinderSelection(preferences).items.has_value());
    // A script that may not be run is no provider either.
    useScript("echo '" + a + "'\n");
    QFile::setPermissions(QFile::decodeName(qgetenv("PICTOMAT_SELECTION_SCRIPT")), QFile::ReadOwner);
    EXPECT_FALSE(Selection::AcquireFinderSelection(preferences).items.has_value());
}

TEST_F(SelectionTest, AHangingProviderAndItsChildrenAreStoppedAtTheLimit)
{
    const QString pidFile = work() + "/child.pid";
    useScript("echo '" + writeFile("a", "a") + "'\n"
              "sleep 30 &\necho $! > '" + QFile::encodeName(pidFile) + "'\n"
              "sleep 30\n");
    QElapsedTimer timer;
    timer.start();
    const SelectedItems selection = Selection::AcquireFinderSelection(preferences);
    const qint64 elapsed = timer.elapsed();
    EXPECT_FALSE(selection.items.has_value());
    EXPECT_GE(elapsed, Selection::kScriptTimeLimitMs - 100);
    EXPECT_LE(elapsed, Selection::kScriptTimeLimitMs + 1000);

    QFile f(pidFile);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const qint64 child = f.readAll().trimmed().toLongLong();
    ASSERT_GT(child, 0);
    for (int i = 0; i < 50 && !processGone(child); ++i)
        QThread::msleep(20);
    EXPECT_TRUE(processGone(child)) << "the provider's child outlived it";
}

TEST_F(SelectionTest, AProviderThatLeavesAChildBehindIsNotWaitedFor)
{
    // The background child keeps the output pipe open long after the script ends.
    const QByteArray a = writeFile("a", "a");
    useScript("echo '" + a + "'\n(sleep 30) &\nexit 0\n");
    QElapsedTimer timer;
    timer.start();
    const SelectedItems selection = Selection::AcquireFinderSelection(preferences);
    EXPECT_LT(timer.elapsed(), Selection::kScriptTimeLimitMs);
    ASSERT_TRUE(selection.hasSelection());
    EXPECT_EQ(*selection.items, QVector<FileRef>{FileRef(a)});
}

TEST_F(SelectionTest, HandedOverFilesRoundTripThroughTheShippedScript)
{
    qunsetenv("PICTOMAT_SELECTION_SCRIPT");
    ASSERT_TRUE(QFile::exists(Selection::selectionScriptPath())) << Selection::selectionScriptPath().toStdString();
    // Not UTF-8 and with a line break: QString cannot carry it, so made by bytes.
    const QByteArray latin1 = QFile::encodeName(work()) + "/caf\xe9 \xff\n line.txt";
    {
        FILE* f = ::fopen(latin1.constData(), "w");
        ASSERT_NE(f, nullptr);
        ::fclose(f);
    }
    const QByteArray plain = writeFile("sub/plain.txt", "y");
    const QByteArray cwd = QFile::encodeName(QDir::currentPath());
    ASSERT_EQ(::chdir(QFile::encodeName(work()).constData()), 0);
    QString error;
    const bool recorded = Selection::RecordHandedOverSelection(
        {latin1, "sub/plain.txt", FileRef(plain).uri(), "http://example.com/x"}, &error);
    ASSERT_EQ(::chdir(cwd.constData()), 0);
    ASSERT_TRUE(recorded) << error.toStdString();
    EXPECT_TRUE(Selection::handedOverSelectionFile().startsWith(runtimeDir()));

    const SelectedItems selection = Selection::AcquireFinderSelection(preferences);
    ASSERT_TRUE(selection.hasSelection());
    // What names no file that exists is left out.
    EXPECT_EQ(selection.count, 3);
    EXPECT_EQ(*selection.items, (QVector<FileRef>{FileRef(latin1), FileRef(plain), FileRef(plain)}));
    EXPECT_EQ(GetItemName(FileRef(latin1)), QByteArray("caf\xe9 \xff\n line.txt"));

    // Handing over nothing ends the earlier hand-over.
    ASSERT_TRUE(Selection::RecordHandedOverSelection({}));
    EXPECT_FALSE(Selection::AcquireFinderSelection(preferences).items.has_value());
}

// The shipped script reports the newer of the hand-over and the files copied
// to the clipboard (xclip offers them as text/uri-list, as file managers do),
// keeps only handed-over files that exist, and lets a hand-over expire.
TEST_F(SelectionTest, TheNewerOfHandOverAndCopiedFilesWinsAndAStaleHandOverEnds)
{
    qunsetenv("PICTOMAT_SELECTION_SCRIPT");
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        SERVICE_MISSING() << "needs an X server for the clipboard";
    const QByteArray handed = writeFile("handed.txt", "a");
    const QByteArray other = writeFile("other.txt", "a");
    const QByteArray copied = writeFile("copied.txt", "b");
    const QByteArray uriList = writeFile("copied.uris", FileRef(copied).uri() + "\r\n");
    test::OwnedProcess xclip;
    xclip.process.start("xclip", {"-selection", "clipboard", "-t", "text/uri-list", "-quiet", uriList});
    ASSERT_TRUE(xclip.process.waitForStarted(5000));
    const auto firstItem = [this](qint64 clipboardNs) {
        const SelectedItems s = Selection::AcquireFinderSelection(preferences, clipboardNs);
        return s.hasSelection() ? s.items->first().path() : QByteArray("none");
    };
    ASSERT_TRUE(test::waitUntil([&] { return firstItem(0) == copied; }, 5000));

    const qint64 before = QDateTime::currentMSecsSinceEpoch() * 1000000;
    const QString missing = work() + "/missing.txt";
    ASSERT_TRUE(Selection::RecordHandedOverSelection({QFile::encodeName(missing), handed, other}));
    const qint64 after = QDateTime::currentMSecsSinceEpoch() * 1000000 + 1000000;
    // Files copied before the hand-over lose, files copied after it win; a
    // handed-over file that is gone is left out.
    const SelectedItems current = Selection::AcquireFinderSelection(preferences, before);
    ASSERT_TRUE(current.hasSelection());
    EXPECT_EQ(*current.items, (QVector<FileRef>{FileRef(handed), FileRef(other)}));
    EXPECT_EQ(firstItem(after), copied);

    // When every handed-over file is gone, the hand-over is over.
    ASSERT_TRUE(QFile::remove(QFile::decodeName(handed)) && QFile::remove(QFile::decodeName(other)));
    EXPECT_EQ(firstItem(before), "none");
    EXPECT_EQ(firstItem(after), copied);

    // A hand-over older than its lifetime (ten minutes unless set) is over
    // too, whenever the clipboard changed.
    const QByteArray kept = writeFile("kept.txt", "c");
    ASSERT_TRUE(Selection::RecordHandedOverSelection({kept}));
    const auto age = [&](const char* ago) {
        ASSERT_EQ(test::RunProcess("touch", {"-d", ago, Selection::handedOverSelectionFile()}).exitCode, 0);
    };
    age("9 minutes ago");
    EXPECT_EQ(firstItem(0), kept);
    age("11 minutes ago");
    EXPECT_EQ(firstItem(0), copied);
    ASSERT_TRUE(preferences.setValue(Selection::kExpiryKey, 0));
    ASSERT_TRUE(preferences.synchronize());
    EXPECT_EQ(firstItem(0), kept);
    ASSERT_TRUE(preferences.setValue(Selection::kExpiryKey, 30));
    ASSERT_TRUE(preferences.synchronize());
    age("1 minute ago");
    EXPECT_EQ(firstItem(0), copied);

    // "select --clear" ends it, and files copied before the clear stay hidden.
    ASSERT_TRUE(Selection::RecordHandedOverSelection({kept}));
    const test::ProcessResult clear = test::RunPictomat({"select", "--clear"});
    ASSERT_EQ(clear.exitCode, 0) << clear.err.toStdString();
    EXPECT_EQ(firstItem(before), "none");
    EXPECT_EQ(firstItem(QDateTime::currentMSecsSinceEpoch() * 1000000 + 1000000), copied);
}

// A compositor can keep wl-paste waiting past the script's limit: the
// clipboard then holds no copied files, and a fresh hand-over stands.
TEST_F(SelectionTest, AClipboardThatDoesNotAnswerLeavesTheHandOverStanding)
{
    qunsetenv("PICTOMAT_SELECTION_SCRIPT");
    const QString bin = root() + "/bin";
    QDir().mkpath(bin);
    const QByteArray hanging = writeFile(bin + "/wl-paste", "#!/bin/sh\nexec sleep 30\n");
    QFile::setPermissions(QFile::decodeName(hanging), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QByteArray path = qgetenv("PATH");
    const QByteArray wayland = qgetenv("WAYLAND_DISPLAY");
    qputenv("PATH", QFile::encodeName(bin) + ":" + path);
    qputenv("WAYLAND_DISPLAY", "wayland-hanging");
    const QByteArray handed = writeFile("handed.txt", "a");
    ASSERT_TRUE(Selection::RecordHandedOverSelection({handed}));
    // The clipboard changed after the hand-over, so it is asked; a script
    // still waiting at its limit would mean no selection at all.
    const SelectedItems s =
        Selection::AcquireFinderSelection(preferences, QDateTime::currentMSecsSinceEpoch() * 1000000 + 1000000);
    qputenv("PATH", path);
    qputenv("WAYLAND_DISPLAY", wayland);
    ASSERT_TRUE(s.hasSelection());
    EXPECT_EQ(*s.items, QVector<FileRef>{FileRef(handed)});
}

// A whole photo library handed over is a selection, read within the
// script's limit, and a file deleted since is left out of it.
TEST_F(SelectionTest, AWholePhotoLibraryHandedOverIsASelection)
{
    qunsetenv("PICTOMAT_SELECTION_SCRIPT");
    const QString library = work() + "/library";
    ASSERT_TRUE(QDir().mkpath(library));
    QList<QByteArray> photos;
    for (int i = 0; i < 30000; ++i) {
        photos.append(QFile::encodeName(library) + "/IMG_" + QByteArray::number(i) + (i % 2 ? " it's.jpg" : ".heic"));
        const int fd = ::open(photos.last().constData(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
        ASSERT_GE(fd, 0);
        ::close(fd);
    }
    ASSERT_TRUE(Selection::RecordHandedOverSelection(photos));
    ASSERT_EQ(::unlink(photos.at(1).constData()), 0);
    const SelectedItems selection = Selection::AcquireFinderSelection(preferences);
    ASSERT_TRUE(selection.hasSelection());
    EXPECT_EQ(selection.count, 29999);
    EXPECT_EQ(selection.items->at(0), FileRef(photos.at(0)));
    EXPECT_EQ(selection.items->at(1), FileRef(photos.at(2)));
    EXPECT_EQ(selection.items->last(), FileRef(photos.last()));
}

TEST_F(SelectionTest, AHugeHandOverIsCutWithALogLine)
{
    QList<QByteArray> entries;
    for (int i = 0; i <= Selection::kMaxHandedOverItems; ++i)
        entries.append("/no/such/file" + QByteArray::number(i));
    // The log line is copied to standard error, here a file.
    qputenv("PICTOMAT_LOG_STDERR", "1");
    std::fflush(stderr);
    const int saved = ::dup(2);
    QTemporaryFile log;
    ASSERT_TRUE(log.open());
    ::dup2(log.handle(), 2);
    const bool recorded = Selection::RecordHandedOverSelection(entries);
    std::fflush(stderr);
    ::dup2(saved, 2);
    ::close(saved);
    qunsetenv("PICTOMAT_LOG_STDERR");
    ASSERT_TRUE(recorded);
    QFile file(Selection::handedOverSelectionFile());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().count('\n'), Selection::kMaxHandedOverItems);
    QFile written(log.fileName());
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_TRUE(written.readAll().contains("100001 items was cut to its first 100000"));
}

TEST_F(SelectionTest, NamesOfItems)
{
    const QByteArray file = writeFile("Report.final.pdf", "%PDF");
    EXPECT_EQ(GetItemName(FileRef(file)), QByteArray("Report.final.pdf"));
    EXPECT_EQ(DisplayName(FileRef(file)), QString("Report.final.pdf"));
    const QByteArray latin1 = QFile::encodeName(work()) + "/caf\xe9";
    ASSERT_EQ(::mkdir(latin1.constData(), 0700), 0);
    EXPECT_EQ(GetItemName(FileRef(latin1)), QByteArray("caf\xe9"));
    ASSERT_TRUE(DisplayName(FileRef(latin1)).has_value());
    EXPECT_TRUE(DisplayName(FileRef(latin1))->startsWith("caf"));

    for (const FileRef& nothing : {FileRef(), FileRef(QFile::encodeName(work() + "/missing"))}) {
        EXPECT_FALSE(GetItemName(nothing).has_value());
        EXPECT_FALSE(DisplayName(nothing).has_value());
    }
}

} // namespace
