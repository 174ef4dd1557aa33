// Pictomat as a user meets it: the file-manager action added by
// "pictomat integrate", run the way Nautilus runs its scripts, brings the menu
// up at the pointer; choosing a command from the menu the tray exports writes
// the icon file; a setting changed from a shell shows at the next opening.

#include "DesktopSession.h"

#include <QFileInfo>

namespace pictomat::test {
namespace {

using EndToEndTest = DesktopSession;

int idOf(const QVector<MenuItem>& items, const QString& label)
{
    for (const MenuItem& i : items)
        if (i.label == label)
            return i.id;
    return -1;
}

TEST_F(EndToEndTest, FileManagerActionMenuAndMakeIconForFile)
{
    for (const char* key : {"OpenImageFolderForMe", "OpenImageFileForMe"})
        ASSERT_EQ(RunPictomat({"defaults", "write", key, "-bool", "false"}, m_environment).exitCode, 0);
    const ProcessResult integrate = RunPictomat({"integrate"}, m_environment);
    ASSERT_EQ(integrate.exitCode, 0) << integrate.err.toStdString();
    const QString script = dataHome() + "/nautilus/scripts/Pictomat/Pictomat Menu...";
    ASSERT_TRUE(QFileInfo(script).isExecutable());

    OwnedProcess watcher;
    startOwned(watcher, QStringLiteral(WATCHER_STANDIN));
    ASSERT_TRUE(watcher.process.waitForReadyRead(10000));
    OwnedProcess pointer;
    startOwned(pointer, QStringLiteral("xdotool"), {"mousemove", "300", "280", "sleep", "60"});
    ASSERT_TRUE(waitUntil(
        [] { return RunProcess(QStringLiteral("xdotool"), {"getmouselocation"}).out.startsWith("x:300 y:280"); },
        5000));

    // Nautilus runs a script in the selection's folder, with the selected
    // files as arguments and listed in its variable.
    const QString selected = QFile::decodeName(m_files.first());
    QProcess nautilus;
    QProcessEnvironment env = environment();
    env.insert(QStringLiteral("NAUTILUS_SCRIPT_SELECTED_FILE_PATHS"), selected + "\n");
    nautilus.setProcessEnvironment(env);
    nautilus.setWorkingDirectory(work());
    nautilus.start(script, {selected});
    ASSERT_TRUE(nautilus.waitForFinished(30000));
    ASSERT_EQ(nautilus.exitCode(), 0) << nautilus.readAllStandardError().toStdString();

    m_instancePid = pictomatInstancePid();
    const QString pid = QString::number(m_instancePid);
    ASSERT_GT(m_instancePid, 0);
    // The menu opens at the pointer.
    EXPECT_TRUE(waitUntil(
        [&] {
            const ProcessResult found =
                RunProcess(QStringLiteral("xdotool"), {"search", "--onlyvisible", "--pid", pid, "--class", "."});
            for (const QByteArray& w : found.out.split('\n')) {
                if (w.isEmpty())
                    continue;
                const QByteArray g =
                    RunProcess(QStringLiteral("xdotool"), {"getwindowgeometry", "--shell", QString::fromLatin1(w)}).out;
                const int x =
                    QRegularExpression(QStringLiteral("X=(-?\\d+)")).match(QString::fromLatin1(g)).captured(1).toInt();
                const int y =
                    QRegularExpression(QStringLiteral("Y=(-?\\d+)")).match(QString::fromLatin1(g)).captured(1).toInt();
                if (std::abs(x - 300) <= 12 && std::abs(y - 280) <= 12)
                    return true;
            }
            return false;
        },
        10000));
    const QString artifacts = qEnvironmentVariable("PICTOMAT_ARTIFACTS");
    if (!artifacts.isEmpty()) {
        QDir().mkpath(artifacts);
        RunProcess(QStringLiteral("import"), {"-window", "root", artifacts + "/file-manager-action-menu.png"});
    }

    // The same menu, as the tray exports it: "Make Icon for File".
    QString item;
    QString menuPath;
    ASSERT_TRUE(findTrayMenu(item, menuPath));
    QByteArray raw;
    QVector<MenuItem> items = readTrayMenu(item, menuPath, &raw);
    const int makeIcon = idOf(items, QStringLiteral("Make Icon for File"));
    ASSERT_GE(makeIcon, 0) << raw.toStdString();
    ASSERT_EQ(clickTrayMenuItem(item, menuPath, makeIcon), 0);
    const QString output = dataHome() + "/Corvane Software/Pictomat/" + QFileInfo(selected).fileName() + ".icns";
    ASSERT_TRUE(waitUntil([&] { return QFileInfo(output).size() > 0; }, 20000)) << output.toStdString();
    const ProcessResult sizes =
        RunPython("import sys\nfrom PIL import Image\nprint(sorted(Image.open(sys.argv[1]).info['sizes']))", {output});
    EXPECT_EQ(sizes.exitCode, 0) << sizes.err.toStdString();
    EXPECT_TRUE(sizes.out.contains("(512, 512, 2)")) << sizes.out.toStdString();

    // A setting written by another process shows at the next opening.
    ASSERT_EQ(RunPictomat({"defaults", "write", "IncludeMakeIcons", "-bool", "false"}, m_environment).exitCode, 0);
    items = readTrayMenu(item, menuPath, &raw);
    EXPECT_EQ(idOf(items, QStringLiteral("Make Icon for File")), -1) << raw.toStdString();
    EXPECT_GE(idOf(items, QStringLiteral("Copy Icon for File")), 0) << raw.toStdString();

    gdbusCall(QStringLiteral("com.corvane.Pictomat"), QStringLiteral("/com/corvane/Pictomat"),
              QStringLiteral("com.corvane.Pictomat.Quit"));
    EXPECT_TRUE(waitUntil([&] { return !nameHasOwner(QStringLiteral("com.corvane.Pictomat")); }, 10000));
}

} // namespace
} // namespace pictomat::test
