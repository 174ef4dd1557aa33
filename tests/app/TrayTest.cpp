// The tray program as a desktop meets it: its menu read over D-Bus the way a
// tray host reads it (com.canonical.dbusmenu, through gdbus), and the menu a
// file-manager action brings up at the pointer. Each test runs its own bus.

#include "DesktopSession.h"
#include "files/FileRef.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>

#include <cstdio>
#include <functional>
#include <optional>

#include <memory>

#include <signal.h>
#include <unistd.h>

namespace pictomat::test {
namespace {

using TrayTest = DesktopSession;

TEST_F(TrayTest, TrayHostReadsTheMenuAroundTheHandedOverSelectionAndQuitEndsTheProgram)
{
    OwnedProcess watcher;
    startOwned(watcher, QStringLiteral(WATCHER_STANDIN));
    ASSERT_TRUE(watcher.process.waitForReadyRead(10000));
    ASSERT_TRUE(watcher.process.readAll().contains("ready"));

    OwnedProcess tray;
    startOwned(tray, QStringLiteral(PICTOMAT_BINARY));
    ASSERT_TRUE(waitUntil([&] { return nameHasOwner(QStringLiteral("com.corvane.Pictomat")); }, 15000));

    // The item registers with the host; its Menu property leads to the menu.
    QString item;
    QString menuPath;
    ASSERT_TRUE(findTrayMenu(item, menuPath));

    // A second start finds the first and leaves quietly.
    const ProcessResult second = RunPictomat({}, m_environment, 20000);
    EXPECT_EQ(second.exitCode, 0);
    EXPECT_TRUE(second.err.contains("already running")) << second.err.toStdString();

    // The first file's name is not UTF-8: it must reach the running program
    // intact, or the menu loses its header.
    const QByteArray oddName = QFile::encodeName(work()) + "/a\xff.txt";
    // The temporary folder's clean-up cannot name this file, so it goes here.
    const std::unique_ptr<const char, void (*)(const char*)> removeOdd(oddName.constData(),
                                                                       [](const char* p) { ::unlink(p); });
    {
        std::FILE* f = std::fopen(oddName.constData(), "w");
        ASSERT_NE(f, nullptr);
        std::fclose(f);
    }
    const ProcessResult select = RunProcess(QStringLiteral("/bin/sh"),
                                            {"-c", "exec \"$0\" select \"$1/$(printf 'a\\377.txt')\" \"$1/b.txt\"",
                                             QStringLiteral(PICTOMAT_BINARY), work()},
                                            m_environment);
    ASSERT_EQ(select.exitCode, 0) << select.err.toStdString();

    QByteArray raw;
    const QVector<MenuItem> items = readTrayMenu(item, menuPath, &raw);
    QStringList labels;
    for (const MenuItem& i : items)
        labels.append(i.label);

    const QStringList head = {"View in Corvane Website...", "View in Mac App Store...", "---"};
    const QStringList commands = {"---",
                                  "Make Icon for File",
                                  "Make Icon for Media",
                                  "---",
                                  "Copy Icon for File",
                                  "---",
                                  "Add Shortcut Icon",
                                  "---",
                                  "Add Custom Icon from Clipboard",
                                  "---",
                                  "Add Custom Icon to Media",
                                  "---",
                                  "Remove Custom Icon",
                                  "---",
                                  "Multiple Selection (2 items)"};
    const QStringList tail = {"---", "Go to Pictomat folder...", "Preferences...", "---", "Quit"};
    ASSERT_GT(labels.size(), head.size() + 1 + commands.size() + tail.size()) << raw.toStdString();
    EXPECT_EQ(labels.mid(0, 3), head);
    EXPECT_TRUE(labels.at(3).startsWith("2 Items, First item: a")) << labels.at(3).toStdString();
    EXPECT_FALSE(items.at(3).enabled);
    EXPECT_EQ(labels.mid(4, commands.size()), commands);
    const QStringList exporters = labels.mid(4 + commands.size(), labels.size() - 4 - commands.size() - tail.size());
    EXPECT_FALSE(exporters.isEmpty());
    EXPECT_TRUE(exporters.contains(".png (PNG)")) << exporters.join(", ").toStdString();
    for (const QString& e : exporters)
        EXPECT_TRUE(QRegularExpression(QStringLiteral(R"(^\.\S+ \(.+\)$)")).match(e).hasMatch()) << e.toStdString();
    EXPECT_EQ(labels.mid(labels.size() - tail.size()), tail);

    // Files copied after the hand-over are the newer selection; a clear ends
    // both, until something is copied again.
    const auto header = [&] {
        const QVector<MenuItem> now = readTrayMenu(item, menuPath);
        return now.size() > 3 ? now.at(3).label : QString();
    };
    OwnedProcess xclip;
    startOwned(xclip, QStringLiteral("xclip"),
               {"-selection", "clipboard", "-t", "text/uri-list", "-quiet",
                QFile::decodeName(writeFile("copied.uris", FileRef(m_files.at(1)).uri()))});
    EXPECT_TRUE(waitUntil([&] { return header() == "1 Item, First item: b.txt"; }, 10000)) << header().toStdString();
    ASSERT_EQ(RunPictomat({"select", "--clear"}, m_environment).exitCode, 0);
    // The hand-over rebuilds the menu once its burst is over; the items
    // clicked below are the ones built after that.
    QThread::msleep(300);
    EXPECT_EQ(header(), "The Finder has no active selection");
    // A clipboard manager keeps what was copied when its owner quits: the
    // same files again are no new copy.
    xclip.process.kill();
    xclip.process.waitForFinished(3000);
    OwnedProcess manager;
    startOwned(manager, QStringLiteral("xclip"),
               {"-selection", "clipboard", "-t", "text/uri-list", "-quiet",
                QFile::decodeName(writeFile("kept.uris", FileRef(m_files.at(1)).uri()))});
    QThread::msleep(1000);
    EXPECT_EQ(header(), "The Finder has no active selection");

    // "Preferences..." brings the preferences window up; "Quit" ends the program.
    const auto click = [&](int id) { return clickTrayMenuItem(item, menuPath, id); };
    const QVector<MenuItem> cleared = readTrayMenu(item, menuPath);
    ASSERT_EQ(click(cleared.at(cleared.size() - 3).id), 0);
    EXPECT_TRUE(waitUntil(
        [] {
            return !RunProcess(QStringLiteral("xdotool"), {"search", "--onlyvisible", "--name", "Pictomat Preferences"})
                        .out.isEmpty();
        },
        10000));
    ASSERT_EQ(click(cleared.last().id), 0);
    ASSERT_TRUE(tray.process.waitForFinished(10000));
    EXPECT_EQ(tray.process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(tray.process.exitCode(), 0);
}

// How a tray host following dbusmenu's rule shows a label: "__" is one
// underscore, any other '_' marks the next character as the mnemonic.
QString hostShows(const QString& label)
{
    QString shown;
    for (qsizetype i = 0; i < label.size(); ++i) {
        if (label.at(i) == '_' && i + 1 < label.size())
            ++i;
        shown += label.at(i);
    }
    return shown;
}

// At login the panel often starts after Pictomat: the item appears once the
// host does. Its menu shows a file's name as it is, the same in the header
// and in the export items, whatever characters it holds.
TEST_F(TrayTest, ATrayHostStartingLaterGetsTheItemAndShowsNamesAsTheyAre)
{
    OwnedProcess tray;
    startOwned(tray, QStringLiteral(PICTOMAT_BINARY));
    ASSERT_TRUE(waitUntil([&] { return nameHasOwner(QStringLiteral("com.corvane.Pictomat")); }, 15000));
    QByteArray said;
    ASSERT_TRUE(waitUntil(
        [&] {
            tray.process.waitForReadyRead(100);
            said += tray.process.readAllStandardError();
            return said.contains("no system tray");
        },
        10000));

    OwnedProcess watcher;
    startOwned(watcher, QStringLiteral(WATCHER_STANDIN));
    ASSERT_TRUE(watcher.process.waitForReadyRead(10000));
    QString item;
    QString menuPath;
    ASSERT_TRUE(findTrayMenu(item, menuPath));

    const QByteArray name = QFile::encodeName(work()) + "/my_f&i&le\tx\xff.txt";
    const std::unique_ptr<const char, void (*)(const char*)> removeName(name.constData(),
                                                                        [](const char* p) { ::unlink(p); });
    std::FILE* f = std::fopen(name.constData(), "w");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    const ProcessResult select = RunProcess(
        QStringLiteral("/bin/sh"),
        {"-c", "exec \"$0\" select \"$1/$(printf 'my_f&i&le\\tx\\377.txt')\"", QStringLiteral(PICTOMAT_BINARY), work()},
        m_environment);
    ASSERT_EQ(select.exitCode, 0) << select.err.toStdString();

    const QString shown = QStringLiteral("my_f&i&le x\uFFFD.txt");
    QByteArray raw;
    const QVector<MenuItem> items = readTrayMenu(item, menuPath, &raw);
    ASSERT_GT(items.size(), 4) << raw.toStdString();
    EXPECT_EQ(hostShows(items.at(3).label), "1 Item, First item: " + shown) << raw.toStdString();
    bool png = false;
    for (const MenuItem& i : items)
        png = png || hostShows(i.label) == shown + ".png (PNG)";
    EXPECT_TRUE(png) << raw.toStdString();
}

// A flood of requests from other programs is taken in as one: the last
// hand-over counts and the menu is built once for the burst.
TEST_F(TrayTest, ABurstOfRequestsIsAnsweredOnce)
{
    const std::function<int()> builds = countSelectionRuns();
    OwnedProcess tray;
    startOwned(tray, QStringLiteral(PICTOMAT_BINARY));
    ASSERT_TRUE(waitUntil([&] { return nameHasOwner(QStringLiteral("com.corvane.Pictomat")); }, 15000));
    QDBusConnection bus = QDBusConnection::connectToBus(m_address, QStringLiteral("burst"));
    ASSERT_TRUE(bus.isConnected());
    const auto call = [](const char* method) {
        return QDBusMessage::createMethodCall("com.corvane.Pictomat", "/com/corvane/Pictomat", "com.corvane.Pictomat",
                                              method);
    };
    for (int i = 0; i < 300; ++i) {
        QDBusMessage m = call(i % 10 ? "ShowMenu" : "SetSelection");
        if (!(i % 10))
            m << QStringList{QString::fromLatin1(FileRef(m_files.at(i / 10 % 2)).uri())};
        ASSERT_TRUE(bus.send(m));
    }
    QDBusMessage last = call("SetSelection");
    last << QStringList{QString::fromLatin1(FileRef(m_files.at(1)).uri())};
    ASSERT_TRUE(bus.send(last));
    QDBusConnection::disconnectFromBus(QStringLiteral("burst"));

    const auto handedOver = [&] {
        QFile handed(runtimeDir() + "/pictomat/selection");
        return handed.open(QIODevice::ReadOnly) ? handed.readAll() : QByteArray();
    };
    EXPECT_TRUE(waitUntil([&] { return handedOver() == "e '" + m_files.at(1) + "'\n"; }, 10000))
        << handedOver().toStdString();
    // Built at start and once for the burst's opening: no more.
    QThread::msleep(1500);
    EXPECT_EQ(builds(), 2);
}

// The tray programs running now on the session bus at `address`: nothing
// on their command line, the bus in their environment.
int trayPrograms(const QString& address)
{
    int count = 0;
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
        QFile environ(QStringLiteral("/proc/%1/environ").arg(pid));
        if (cmdline.open(QIODevice::ReadOnly) && cmdline.readAll() == QByteArray(PICTOMAT_BINARY) + '\0'
            && environ.open(QIODevice::ReadOnly)
            && environ.readAll().split('\0').contains("DBUS_SESSION_BUS_ADDRESS=" + address.toUtf8()))
            ++count;
    }
    return count;
}

// File-manager entries fired together with no tray running: one of them
// starts the tray program, the others wait for it, and every command runs
// there, each on its own file.
TEST_F(TrayTest, EntriesFiredTogetherStartOneTrayAndAllRunThere)
{
    for (const QStringList& setting :
         {QStringList{"UseItemsFolder", "-bool", "true"}, QStringList{"OpenImageFolderForMe", "-bool", "false"},
          QStringList{"OpenImageFileForMe", "-bool", "false"}, QStringList{"AddCustomIcon", "-bool", "false"}})
        ASSERT_EQ(RunPictomat(QStringList{"defaults", "write"} + setting, m_environment).exitCode, 0);
    std::vector<std::unique_ptr<QProcess>> entries;
    QStringList files;
    for (int i = 0; i < 12; ++i) {
        files.append(QFile::decodeName(writeFile(QStringLiteral("entry %1.txt").arg(i), "text\n")));
        auto entry = std::make_unique<QProcess>();
        entry->setProcessEnvironment(environment());
        entry->start(QStringLiteral(PICTOMAT_BINARY), {"run", "--tray", "make-icon", "--", files.last()});
        entries.push_back(std::move(entry));
    }
    for (size_t i = 0; i < entries.size(); ++i) {
        ASSERT_TRUE(entries[i]->waitForFinished(60000)) << i;
        EXPECT_EQ(entries[i]->exitCode(), 0) << i << entries[i]->readAllStandardError().toStdString();
        EXPECT_GT(QFileInfo(files.at(int(i)) + ".icns").size(), 0) << i;
    }
    m_instancePid = pictomatInstancePid();
    EXPECT_GT(m_instancePid, 0);
    EXPECT_EQ(trayPrograms(m_address), 1);
    QFile log(runtimeDir() + QStringLiteral("/pictomat/instance.log"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_FALSE(log.readAll().contains("already running"));
}

TEST_F(TrayTest, MenuActionWithoutTrayStartsPictomatAndShowsTheMenuAtThePointer)
{
    const std::function<int()> builds = countSelectionRuns();
    // The X server puts the pointer back in the middle when its last client
    // leaves, so the client that moves it stays until the test ends.
    OwnedProcess pointer;
    startOwned(pointer, QStringLiteral("xdotool"), {"mousemove", "240", "260", "sleep", "60"});
    ASSERT_TRUE(waitUntil(
        [] { return RunProcess(QStringLiteral("xdotool"), {"getmouselocation"}).out.startsWith("x:240 y:260"); },
        5000));
    const ProcessResult menu = RunPictomat(QStringList{QStringLiteral("menu")} + fileArguments(), m_environment, 30000);
    ASSERT_EQ(menu.exitCode, 0) << menu.err.toStdString();

    m_instancePid = pictomatInstancePid();
    const QString pid = QString::number(m_instancePid);
    ASSERT_GT(m_instancePid, 0);

    // The menu's window opens where the pointer is.
    QString geometry;
    ASSERT_TRUE(waitUntil(
        [&] {
            const ProcessResult found =
                RunProcess(QStringLiteral("xdotool"), {"search", "--onlyvisible", "--pid", pid, "--class", "."});
            const QStringList windows = QString::fromUtf8(found.out).split('\n', Qt::SkipEmptyParts);
            for (const QString& w : windows) {
                const ProcessResult g = RunProcess(QStringLiteral("xdotool"), {"getwindowgeometry", "--shell", w});
                if (g.out.contains("X=") && !g.out.contains("WIDTH=1\n"))
                    geometry = QString::fromUtf8(g.out);
            }
            return !geometry.isEmpty();
        },
        // A fresh home builds its font cache at the first menu, which on a
        // busy machine takes seconds.
        30000));
    const int x = QRegularExpression(QStringLiteral("X=(-?\\d+)")).match(geometry).captured(1).toInt();
    const int y = QRegularExpression(QStringLiteral("Y=(-?\\d+)")).match(geometry).captured(1).toInt();
    EXPECT_NEAR(x, 240, 12) << geometry.toStdString();
    EXPECT_NEAR(y, 260, 12) << geometry.toStdString();

    const QString artifacts = qEnvironmentVariable("PICTOMAT_ARTIFACTS");
    if (!artifacts.isEmpty()) {
        QDir().mkpath(artifacts);
        const QString shot = artifacts + QStringLiteral("/menu-at-pointer.png");
        EXPECT_EQ(RunProcess(QStringLiteral("import"), {"-window", "root", shot}).exitCode, 0);
        EXPECT_TRUE(QFile::exists(shot));
    }

    // Without a tray the program says where its menu is; the menu was built
    // once at start and once for this opening, and the exporters listed once.
    QFile log(runtimeDir() + QStringLiteral("/pictomat/instance.log"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QByteArray logText = log.readAll();
    EXPECT_TRUE(logText.contains("pictomat menu")) << logText.toStdString();
    EXPECT_EQ(logText.count("Pictomat: Quicktime exporters successfully loaded.\n"), 1) << logText.toStdString();
    EXPECT_EQ(builds(), 2);

    ASSERT_EQ(gdbusCall(QStringLiteral("com.corvane.Pictomat"), QStringLiteral("/com/corvane/Pictomat"),
                        QStringLiteral("com.corvane.Pictomat.Quit"))
                  .exitCode,
              0);
    EXPECT_TRUE(waitUntil([&] { return !nameHasOwner(QStringLiteral("com.corvane.Pictomat")); }, 10000));
}

// The command line's own forms, which need neither a bus nor a display.
class CommandLineFormsTest : public TestEnv { };

TEST_F(CommandLineFormsTest, UsageErrorsExitWithTwoAndSayWhereTheUsageIs)
{
    for (const QStringList& args : {QStringList{"frobnicate"}, QStringList{"select"}, QStringList{"formats", "-alpha"},
                                    QStringList{"formats", "extra"}}) {
        const ProcessResult r = RunPictomat(args);
        EXPECT_EQ(r.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(r.err.endsWith("\nTry 'pictomat --help'.\n")) << r.err.toStdString();
        EXPECT_EQ(r.err.count('\n'), 2) << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty());
    }
    const ProcessResult help = RunPictomat({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains("menu [FILE...]"));
}

// Over SSH there is no display: one line says so and where to turn instead.
TEST_F(CommandLineFormsTest, TheTrayWithoutADisplaySaysSoInOneLine)
{
    for (const QStringList& env : {QStringList{"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"},
                                   QStringList{"DISPLAY=:987", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}}) {
        const ProcessResult r = RunPictomat({}, env);
        EXPECT_EQ(r.exitCode, 1) << env.join(' ').toStdString();
        EXPECT_EQ(r.err.count('\n'), 1) << r.err.toStdString();
        EXPECT_TRUE(r.err.startsWith("pictomat: the tray needs a graphical session")) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains("pictomat run COMMAND FILE...")) << r.err.toStdString();
    }
}

TEST_F(CommandLineFormsTest, FormatsListsOneExporterPerLineWithAlphaAnywhere)
{
    const ProcessResult r = RunPictomat({"-alpha", "0.5", "formats"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QList<QByteArray> lines = r.out.split('\n');
    ASSERT_GT(lines.size(), 2);
    EXPECT_TRUE(lines.contains("png\tPNG\timage/png\tPNGf")) << r.out.toStdString();
    EXPECT_TRUE(lines.last().isEmpty());
    for (const QByteArray& line : lines.mid(0, lines.size() - 1)) {
        const QList<QByteArray> fields = line.split('\t');
        ASSERT_EQ(fields.size(), 4) << line.toStdString();
        EXPECT_EQ(fields.at(3).size(), 4) << line.toStdString();
    }
    // The loading diagnostics belong to the menu, not to this listing.
    EXPECT_FALSE(r.out.contains("Quicktime"));
}

} // namespace
} // namespace pictomat::test
