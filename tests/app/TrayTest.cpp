// The tray program as a desktop meets it: its menu read over D-Bus the way a
// tray host reads it (com.canonical.dbusmenu, through gdbus), and the menu a
// file-manager action brings up at the pointer. Each test runs its own bus.

#include "DesktopSession.h"

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
    const ProcessResult select = RunProcess(
        QStringLiteral("/bin/sh"),
        {"-c", "exec \"$0\" select \"$1/$(printf 'a\\377.txt')\" \"$1/b.txt\"", QStringLiteral(PICTOMAT_BINARY), work()},
        m_environment);
    ASSERT_EQ(select.exitCode, 0) << select.err.toStdString();

    QByteArray raw;
    const QVector<MenuItem> items = readTrayMenu(item, menuPath, &raw);
    QStringList labels;
    for (const MenuItem& i : items)
        labels.append(i.label);

    const QStringList head = {"View in Corvane Website...", "View in Mac App Store...", "---"};
    const QStringList commands = {"---", "Make Icon for File", "Make Icon for Media", "---", "Copy Icon for File", "---",
                                  "Add Shortcut Icon", "---", "Add Custom Icon from Clipboard", "---",
                                  "Add Custom Icon to Media", "---", "Remove Custom Icon", "---",
                                  "Multiple Selection (2 items)"};
    const QStringList tail = {"---", "Go to Pictomat folder...", "Preferences...", "---", "Quit"};
    ASSERT_GT(labels.size(), head.size() + 1 + commands.size() + tail.size()) << raw.toStdString();
    EXPECT_EQ(labels.mid(0, 3), head);
    EXPECT_TRUE(labels.at(3).startsWith("2 Items, First item: a"))
        << labels.at(3).toStdString();
    EXPECT_FALSE(items.at(3).enabled);
    EXPECT_EQ(labels.mid(4, commands.size()), commands);
    const QStringList exporters = labels.mid(4 + commands.size(), labels.size() - 4 - commands.size() - tail.size());
    EXPECT_FALSE(exporters.isEmpty());
    EXPECT_TRUE(exporters.contains(".png (PNG)")) << exporters.join(", ").toStdString();
    for (const QString& e : exporters)
        EXPECT_TRUE(QRegularExpression(QStringLiteral(R"(^\.\S+ \(.+\)$)")).match(e).hasMatch()) << e.toStdString();
    EXPECT_EQ(labels.mid(labels.size() - tail.size()), tail);

    // "Preferences..." brings the preferences window up; "Quit" ends the program.
    const auto click = [&](int id) { return clickTrayMenuItem(item, menuPath, id); };
    ASSERT_EQ(click(items.at(items.size() - 3).id), 0);
    EXPECT_TRUE(waitUntil(
        [] {
            return !RunProcess(QStringLiteral("xdotool"), {"search", "--onlyvisible", "--name", "Pictomat Preferences"})
                        .out.isEmpty();
        },
        10000));
    ASSERT_EQ(click(items.last().id), 0);
    ASSERT_TRUE(tray.process.waitForFinished(10000));
    EXPECT_EQ(tray.process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(tray.process.exitCode(), 0);
}

TEST_F(TrayTest, MenuActionWithoutTrayStartsPictomatAndShowsTheMenuAtThePointer)
{
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
        10000));
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
    // once at start and once for this opening.
    QFile log(runtimeDir() + QStringLiteral("/pictomat/instance.log"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QByteArray logText = log.readAll();
    EXPECT_TRUE(logText.contains("pictomat menu")) << logText.toStdString();
    EXPECT_EQ(logText.count("Pictomat: Quicktime exporters successfully loaded.\n"), 2) << logText.toStdString();

    ASSERT_EQ(gdbusCall(QStringLiteral("com.corvane.Pictomat"), QStringLiteral("/com/corvane/Pictomat"),
                        QStringLiteral("com.corvane.Pictomat.Quit"))
                  .exitCode,
              0);
    EXPECT_TRUE(waitUntil([&] { return !nameHasOwner(QStringLiteral("com.corvane.Pictomat")); }, 10000));
}

// The command line's own forms, which need neither a bus nor a display.
class CommandLineFormsTest : public TestEnv {};

TEST_F(CommandLineFormsTest, UsageErrorsExitWithTwoAndShowTheUsage)
{
    for (const QStringList& args : {QStringList{"frobnicate"}, QStringList{"select"}, QStringList{"formats", "-alpha"},
                                    QStringList{"formats", "extra"}}) {
        const ProcessResult r = RunPictomat(args);
        EXPECT_EQ(r.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains("Usage: pictomat")) << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty());
    }
    const ProcessResult help = RunPictomat({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains("menu [FILE...]"));
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
