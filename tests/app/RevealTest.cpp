#include "commands/Command.h"
#include "commands/Dispatcher.h"
#include "image/Exporters.h"
#include "platform/IconProvider.h"
#include "prefs/PreferenceStore.h"
#include "RecordingDesktop.h"
#include "platform/Reveal.h"
#include "TestEnv.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

#include <fcntl.h>
#include <unistd.h>

using namespace pictomat;

namespace {

// Runs the stand-in file manager on the test's session bus.
class StandInFileManager {
public:
    // `program`: the stand-in under another name, as its process is named.
    explicit StandInFileManager(const QString& log, const QString& program = QStringLiteral(FILE_MANAGER_STANDIN))
        : m_log(log)
    {
        m_process.start(program, {log});
        m_process.waitForReadyRead(10000);
        m_ready = m_process.readAllStandardOutput().contains("ready");
    }
    ~StandInFileManager()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
        // Wait until the bus has forgotten the name, for the next test.
        for (int i = 0; i < 50
                        && QDBusConnection::sessionBus().interface()->isServiceRegistered(
                            QStringLiteral("org.freedesktop.FileManager1"));
             ++i)
            QThread::msleep(20);
    }
    bool ready() const { return m_ready; }
    QStringList shown() const
    {
        QFile f(m_log);
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
    }

private:
    QString m_log;
    QProcess m_process;
    bool m_ready = false;
};

class RevealTest : public test::TestEnv {
protected:
    void SetUp() override
    {
        test::TestEnv::SetUp();
        if (!QDBusConnection::sessionBus().isConnected())
            SERVICE_MISSING() << "no session bus";
        auto& store = preferences;
        store.setValue(QStringLiteral("OpenImageFileForMe"), false);
        store.setValue(QStringLiteral("UseItemsFolder"), true);
        ASSERT_TRUE(store.synchronize());
    }
    void makeIconFor(const QList<QByteArray>& paths)
    {
        QVector<FileRef> items;
        for (const QByteArray& p : paths)
            items.append(FileRef(p));
        CommandRequest request;
        request.command = FindCommand(CommandId::MakeIconForFile);
        request.items.count = qint32(items.size());
        request.items.items = items;
        Dispatch(context, request);
    }

    test::RecordingDesktop desktop;
    prefs::PreferenceStore preferences{preferenceFile()};
    IconProvider icons;
    CommandContext context{desktop, preferences, icons};
};

TEST_F(RevealTest, TheLastOutputIsShownByUriWhateverItsNameHolds)
{
    StandInFileManager fm(root() + "/shown.log");
    ASSERT_TRUE(fm.ready());
    const QByteArray quoted = writeFile("say \"hi\".txt", "x");
    const QByteArray latin1 = QFile::encodeName(work()) + "/caf\xe9\nnew.txt";
    {
        const int fd = ::open(latin1.constData(), O_CREAT | O_WRONLY, 0644);
        ASSERT_GE(fd, 0);
        ::close(fd);
    }
    makeIconFor({quoted});
    makeIconFor({writeFile("first.txt", "x"), latin1});
    const QStringList shown = fm.shown();
    ASSERT_EQ(shown.size(), 2) << shown.join('|').toStdString();
    EXPECT_EQ(FileRef::fromUri(shown.at(0).toLatin1()).path(), quoted + ".icns");
    EXPECT_EQ(FileRef::fromUri(shown.at(1).toLatin1()).path(), latin1 + ".icns");
    EXPECT_TRUE(QFile::exists(QString::fromUtf8(quoted) + ".icns"));
    // The reveal is the one window: no folder opened on its own beside it.
    EXPECT_TRUE(desktop.opened.isEmpty()) << desktop.events.join('|').toStdString();

    // With nothing written there is nothing to reveal: the folder opens instead.
    makeIconFor({QFile::encodeName(work() + "/missing.txt")});
    EXPECT_EQ(fm.shown().size(), 2);
    EXPECT_EQ(desktop.opened.size(), 1);
}

// Thunar opens a new window at every reveal: where one of its windows shows
// the folder already, that window is brought forward instead.
TEST_F(RevealTest, ThunarShowsTheFolderInTheWindowThatShowsItAlready)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        SERVICE_MISSING() << "needs an X server";
    const QString thunar = root() + "/bin/thunar";
    QDir().mkpath(root() + "/bin");
    ASSERT_TRUE(QFile::copy(QStringLiteral(FILE_MANAGER_STANDIN), thunar));
    StandInFileManager fm(root() + "/shown.log", thunar);
    ASSERT_TRUE(fm.ready());
    makeIconFor({writeFile("first.txt", "x")});
    EXPECT_EQ(fm.shown().size(), 1);

    // A window of Thunar's showing the outputs' folder, by its class and title.
    QProcess window;
    window.start(QStringLiteral("xmessage"),
                 {"-name", "thunar", "-title", QFileInfo(work()).fileName() + " - Thunar", "the folder's window"});
    ASSERT_TRUE(window.waitForStarted(5000));
    const auto mapped = [] {
        return test::RunProcess(QStringLiteral("xdotool"), {"search", "--onlyvisible", "--classname", "thunar"})
                   .exitCode
               == 0;
    };
    for (int i = 0; i < 100 && !mapped(); ++i)
        QThread::msleep(50);
    makeIconFor({writeFile("second.txt", "x")});
    makeIconFor({writeFile("third.txt", "x")});
    EXPECT_EQ(fm.shown().size(), 1) << fm.shown().join('|').toStdString();
    EXPECT_TRUE(QFile::exists(work() + "/third.txt.icns"));
    EXPECT_TRUE(desktop.opened.isEmpty());
    window.terminate();
    window.waitForFinished(3000);

    // Without it, the next reveal opens one again.
    makeIconFor({writeFile("fourth.txt", "x")});
    EXPECT_EQ(fm.shown().size(), 2);
}

TEST_F(RevealTest, WithoutAFileManagerServiceTheContainingFolderOpensOnce)
{
    ASSERT_FALSE(
        QDBusConnection::sessionBus().interface()->isServiceRegistered(QStringLiteral("org.freedesktop.FileManager1")));
    const QByteArray item = writeFile("sub/dir/thing.txt", "x");
    makeIconFor({item});
    EXPECT_TRUE(QFile::exists(QFile::decodeName(item) + ".icns"));
    EXPECT_EQ(desktop.opened, QVector<QUrl>{FileRef(item).parent().url()});
}

} // namespace
