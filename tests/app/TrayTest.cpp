// The tray program as a desktop meets it: its menu read over D-Bus the way a
// tray host reads it (com.canonical.dbusmenu, through gdbus), and the menu a
// file-manager action brings up at the pointer. Each test runs its own bus.

#include "TestEnv.h"

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

bool waitUntil(const std::function<bool()>& condition, int timeoutMs)
{
    for (int waited = 0; waited < timeoutMs; waited += 100) {
        if (condition())
            return true;
        QThread::msleep(100);
    }
    return condition();
}

// A process of the test's own, ended when the test ends.
struct OwnedProcess {
    QProcess process;
    ~OwnedProcess()
    {
        if (process.state() == QProcess::NotRunning)
            return;
        process.terminate();
        if (!process.waitForFinished(3000)) {
            process.kill();
            process.waitForFinished(3000);
        }
    }
};

struct MenuItem {
    int id = 0;
    QString label;  // "---" for a separator
    bool enabled = true;
};

// The items of a GetLayout reply as gdbus prints it, in order.
QVector<MenuItem> parseLayout(const QString& text)
{
    QVector<MenuItem> items;
    static const QRegularExpression itemPattern(QStringLiteral(R"(<\((\d+), \{([^{}]*)\})"));
    static const QRegularExpression labelPattern(QStringLiteral(R"('label': <(['"])(.*?)\1>)"));
    for (auto it = itemPattern.globalMatch(text); it.hasNext();) {
        const auto match = it.next();
        const QString props = match.captured(2);
        MenuItem item;
        item.id = match.captured(1).toInt();
        item.enabled = !props.contains(QLatin1String("'enabled': <false>"));
        if (props.contains(QLatin1String("'type': <'separator'>")))
            item.label = QStringLiteral("---");
        else
            item.label = labelPattern.match(props).captured(2);
        items.append(item);
    }
    return items;
}

class TrayTest : public TestEnv {
protected:
    void SetUp() override
    {
        TestEnv::SetUp();
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            GTEST_SKIP() << "needs an X server (scripts/test runs one)";
        m_bus.process.start(QStringLiteral("dbus-daemon"),
                            {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
        ASSERT_TRUE(m_bus.process.waitForStarted(5000));
        ASSERT_TRUE(waitUntil([&] { return m_bus.process.canReadLine() || m_bus.process.waitForReadyRead(100); }, 5000));
        m_address = QString::fromUtf8(m_bus.process.readLine().trimmed());
        ASSERT_FALSE(m_address.isEmpty());
        m_environment = {QStringLiteral("DBUS_SESSION_BUS_ADDRESS=") + m_address, QStringLiteral("QT_QPA_PLATFORM=xcb"),
                         QStringLiteral("PICTOMAT_SELECTION_SCRIPT")};
        m_files = {writeFile("a.txt", "first\n"), writeFile("b.txt", "second\n")};
    }
    void TearDown() override
    {
        // An instance that a test started through "pictomat menu" is ended by its id.
        if (m_instancePid > 0 && ::kill(m_instancePid, 0) == 0) {
            ::kill(m_instancePid, SIGTERM);
            waitUntil([&] { return ::kill(m_instancePid, 0) != 0; }, 3000);
        }
        TestEnv::TearDown();
    }

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_address);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.remove(QStringLiteral("PICTOMAT_SELECTION_SCRIPT"));
        return env;
    }

    ProcessResult gdbusCall(const QString& destination, const QString& path, const QString& method,
                            const QStringList& arguments = {})
    {
        // "--" so that arguments such as -1 are not read as options.
        QStringList args{QStringLiteral("call"),  QStringLiteral("--session"),     QStringLiteral("--dest"),
                         destination,             QStringLiteral("--object-path"), path,
                         QStringLiteral("--method"), method,                       QStringLiteral("--")};
        return RunProcess(QStringLiteral("gdbus"), args + arguments, m_environment, 15000);
    }
    QString property(const QString& destination, const QString& path, const QString& interface, const QString& name)
    {
        return QString::fromUtf8(gdbusCall(destination, path, QStringLiteral("org.freedesktop.DBus.Properties.Get"),
                                           {interface, name})
                                     .out);
    }
    bool nameHasOwner(const QString& name)
    {
        return gdbusCall(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                         QStringLiteral("org.freedesktop.DBus.NameHasOwner"), {name})
            .out.contains("true");
    }
    void startOwned(OwnedProcess& owned, const QString& program, const QStringList& arguments = {})
    {
        owned.process.setProcessEnvironment(environment());
        owned.process.start(program, arguments);
        ASSERT_TRUE(owned.process.waitForStarted(5000));
    }
    QStringList fileArguments() const
    {
        QStringList args;
        for (const QByteArray& f : m_files)
            args.append(QFile::decodeName(f));
        return args;
    }

    OwnedProcess m_bus;
    QString m_address;
    QStringList m_environment;
    QList<QByteArray> m_files;
    qint64 m_instancePid = 0;
};

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
    ASSERT_TRUE(waitUntil(
        [&] {
            const QString items = property(QStringLiteral("org.kde.StatusNotifierWatcher"), QStringLiteral("/StatusNotifierWatcher"),
                                           QStringLiteral("org.kde.StatusNotifierWatcher"),
                                           QStringLiteral("RegisteredStatusNotifierItems"));
            item = QRegularExpression(QStringLiteral("'([^']+)'")).match(items).captured(1);
            return !item.isEmpty();
        },
        10000));
    const QString menuPath = QRegularExpression(QStringLiteral("objectpath '([^']+)'"))
                                 .match(property(item, QStringLiteral("/StatusNotifierItem"),
                                                 QStringLiteral("org.kde.StatusNotifierItem"), QStringLiteral("Menu")))
                                 .captured(1);
    ASSERT_FALSE(menuPath.isEmpty());

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

    ASSERT_EQ(gdbusCall(item, menuPath, QStringLiteral("com.canonical.dbusmenu.AboutToShow"), {QStringLiteral("0")}).exitCode, 0);
    const ProcessResult layout = gdbusCall(item, menuPath, QStringLiteral("com.canonical.dbusmenu.GetLayout"),
                                           {QStringLiteral("0"), QStringLiteral("-1"), QStringLiteral("[]")});
    ASSERT_EQ(layout.exitCode, 0) << layout.err.toStdString();
    const QVector<MenuItem> items = parseLayout(QString::fromUtf8(layout.out));
    QStringList labels;
    for (const MenuItem& i : items)
        labels.append(i.label);

    const QStringList head = {"View in Corvane Website...", "View in Mac App Store...", "---"};
    const QStringList commands = {"---", "Make Icon for File", "Make Icon for Media", "---", "Copy Icon for File", "---",
                                  "Add Shortcut Icon", "---", "Add Custom Icon from Clipboard", "---",
                                  "Add Custom Icon to Media", "---", "Remove Custom Icon", "---",
                                  "Multiple Selection (2 items)"};
    const QStringList tail = {"---", "Go to Pictomat folder...", "Preferences...", "---", "Quit"};
    ASSERT_GT(labels.size(), head.size() + 1 + commands.size() + tail.size()) << layout.out.toStdString();
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
    const auto click = [&](int id) {
        return gdbusCall(item, menuPath, QStringLiteral("com.canonical.dbusmenu.Event"),
                         {QString::number(id), QStringLiteral("clicked"), QStringLiteral("<0>"), QStringLiteral("0")})
            .exitCode;
    };
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

    const QString pid = QRegularExpression(QStringLiteral("uint32 (\\d+)"))
                            .match(QString::fromUtf8(gdbusCall(QStringLiteral("org.freedesktop.DBus"),
                                                               QStringLiteral("/org/freedesktop/DBus"),
                                                               QStringLiteral("org.freedesktop.DBus.GetConnectionUnixProcessID"),
                                                               {QStringLiteral("com.corvane.Pictomat")})
                                                         .out))
                            .captured(1);
    m_instancePid = pid.toLongLong();
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
    EXPECT_EQ(RunPictomat({"formats"}, {"PICTOMAT_NO_EXPORTERS=1"}).out, QByteArray());
}

} // namespace
} // namespace pictomat::test
