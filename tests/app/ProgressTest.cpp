// Long commands show progress and can be stopped after the item in hand:
// through the tray's real progress window on the X server, through the Stop
// button of an alert, and with Ctrl-C in a terminal.

#include "app/AppController.h"
#include "commands/Command.h"
#include "files/FileRef.h"
#include "platform/IconProvider.h"
#include "prefs/PreferenceStore.h"
#include "prefs/Preferences.h"
#include "RecordingDesktop.h"
#include "TestEnv.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProgressDialog>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTcpServer>
#include <QTest>
#include <QTimer>

namespace pictomat::test {
namespace {

class ProgressTest : public TestEnv {
protected:
    void SetUp() override
    {
        TestEnv::SetUp();
        auto& store = preferences;
        store.setValue(QString::fromLatin1(prefs::key::UseItemsFolder), true);
        store.setValue(QString::fromLatin1(prefs::key::OpenImageFolderForMe), false);
        store.setValue(QString::fromLatin1(prefs::key::OpenImageFileForMe), false);
        ASSERT_TRUE(store.synchronize());
    }
    // Items that each show an icon of their own, a large picture: a command
    // renders every distinct icon once, so only distinct icons keep it busy
    // long enough for its progress window to show.
    SelectedItems itemsWithOwnIcons(int count)
    {
        QImage noise(1024, 1024, QImage::Format_RGB32);
        quint32 seed = 1;
        for (int y = 0; y < noise.height(); ++y) {
            auto* row = reinterpret_cast<QRgb*>(noise.scanLine(y));
            for (int x = 0; x < noise.width(); ++x) {
                seed = seed * 1664525u + 1013904223u;
                row[x] = 0xff000000u | (seed >> 8);
            }
        }
        QDir().mkpath(work() + "/icons");
        const QString first = work() + "/icons/00.png";
        noise.save(first, "PNG");
        SelectedItems items;
        items.items.emplace();
        for (int i = 0; i < count; ++i) {
            const QString number = QStringLiteral("%1").arg(i, 2, 10, QLatin1Char('0'));
            const QString icon = work() + "/icons/" + number + ".png";
            if (i > 0)
                QFile::copy(first, icon);
            items.items->append(FileRef(
                writeFile("items/" + number + ".desktop",
                          "[Desktop Entry]\nType=Application\nName=I\nIcon=" + QFile::encodeName(icon) + "\n")));
        }
        items.count = count;
        return items;
    }
    CommandRequest makeIcon(const SelectedItems& items)
    {
        CommandRequest request;
        request.command = FindCommand(CommandId::MakeIconForFile);
        request.items = items;
        return request;
    }

    prefs::PreferenceStore preferences{preferenceFile()};
    IconProvider icons;
};

TEST_F(ProgressTest, TheTrayWindowShowsTheCommandAndStopLeavesExactlyTheFinishedOutputs)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        SERVICE_MISSING() << "needs the X server (scripts/test runs one)";
    RecordingDesktop desktop;
    AppController controller(desktop, preferences, icons);
    QString label;
    int finished = -1;
    bool stopped = false;
    QTimer watcher;
    watcher.setInterval(10);
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QProgressDialog*>(QApplication::activeModalWidget());
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->objectName() == QLatin1String("pictomatProgress") && w->isVisible())
                dialog = qobject_cast<QProgressDialog*>(w);
        }
        if (!dialog || stopped || dialog->value() < 3)
            return;
        label = dialog->labelText();
        finished = dialog->value();
        if (const QString folder = qEnvironmentVariable("PICTOMAT_ARTIFACTS"); !folder.isEmpty())
            dialog->grab().save(folder + "/progress-window.png");
        QPushButton* stop = dialog->findChild<QPushButton*>();
        ASSERT_NE(stop, nullptr);
        EXPECT_EQ(stop->text(), "Stop");
        QTest::mouseClick(stop, Qt::LeftButton);
        stopped = true;
    });
    watcher.start();
    controller.runCommand(makeIcon(itemsWithOwnIcons(50)));
    watcher.stop();

    ASSERT_TRUE(stopped) << "the progress window never showed";
    ASSERT_GE(finished, 3);
    EXPECT_TRUE(label.startsWith(
        QStringLiteral("Make Icon for File\n%1 of 50\n%2").arg(finished + 1).arg(finished, 2, 10, QLatin1Char('0'))))
        << label.toStdString();
    // The finished outputs, whole, and nothing else: no empty or temporary
    // file for the item the Stop came before.
    QStringList expected;
    for (int i = 0; i < finished; ++i)
        expected << QStringLiteral("%1.desktop.icns").arg(i, 2, 10, QLatin1Char('0'));
    const QStringList names = QDir(work() + "/items").entryList({"*.icns"}, QDir::Files | QDir::Hidden);
    EXPECT_EQ(names.join(' ').toStdString(), expected.join(' ').toStdString());
    EXPECT_EQ(QDir(work() + "/items").entryList(QDir::Files | QDir::Hidden).size(), 50 + finished);
    for (const QString& name : names)
        EXPECT_GT(QFileInfo(work() + "/items/" + name).size(), 1000) << name.toStdString();
    EXPECT_TRUE(desktop.alerts.isEmpty());
}

// One web location whose site never answers: the window shows while it
// waits, and Stop ends the download at once instead of at its deadline.
TEST_F(ProgressTest, StopInTheWindowEndsADownloadAtOnce)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        SERVICE_MISSING() << "needs the X server (scripts/test runs one)";
    QTcpServer silent; // takes connections and never answers
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    SelectedItems items;
    items.items = QVector<FileRef>{FileRef(writeFile(
        "Silent.url",
        QStringLiteral("[InternetShortcut]\r\nURL=http://127.0.0.1:%1/\r\n").arg(silent.serverPort()).toUtf8()))};
    items.count = 1;
    CommandRequest request;
    request.command = FindCommand(CommandId::AddShortcutIcon);
    request.items = items;
    qputenv("PICTOMAT_HTTP_TIMEOUT_MS", "60000");
    RecordingDesktop desktop;
    AppController controller(desktop, preferences, icons);
    QString label;
    QTimer watcher;
    watcher.setInterval(10);
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<QProgressDialog*>(w);
            if (!dialog || w->objectName() != QLatin1String("pictomatProgress") || !w->isVisible() || !label.isEmpty())
                continue;
            label = dialog->labelText();
            QTest::mouseClick(dialog->findChild<QPushButton*>(), Qt::LeftButton);
        }
    });
    watcher.start();
    QElapsedTimer clock;
    clock.start();
    controller.runCommand(request);
    const qint64 took = clock.elapsed();
    watcher.stop();
    qunsetenv("PICTOMAT_HTTP_TIMEOUT_MS");

    EXPECT_EQ(label, "Add Shortcut Icon\n1 of 1\nSilent.url");
    EXPECT_LT(took, 10000);
    EXPECT_TRUE(desktop.alerts.isEmpty()) << desktop.alertMessages().join('|').toStdString();
}

TEST_F(ProgressTest, AlertsOfferStopWhileItemsRemainAndStopEndsTheCommand)
{
    // Every item fails: OK goes on through all of them, and every alert but
    // the last offers to stop.
    SelectedItems missing;
    missing.items = QVector<FileRef>(5);
    missing.count = 5;
    RecordingDesktop desktop;
    AppController controller(desktop, preferences, icons);
    controller.runCommand(makeIcon(missing));
    EXPECT_EQ(desktop.alerts.size(), 5);
    EXPECT_EQ(desktop.stopOffers, 4);

    desktop = RecordingDesktop();
    desktop.answerStop = true;
    controller.runCommand(makeIcon(missing));
    EXPECT_EQ(desktop.alertMessages(), QStringList{"An icon for the file could not be found."});
}

TEST_F(ProgressTest, TheTerminalShowsALineAndCtrlCStopsAfterTheItemInHand)
{
    const SelectedItems items = itemsWithOwnIcons(30);
    for (const char* setting :
         {"UseItemsFolder -bool true", "OpenImageFolderForMe -bool false", "OpenImageFileForMe -bool false"})
        ASSERT_EQ(RunPictomat(QStringList{"defaults", "write"} + QString::fromLatin1(setting).split(' ')).exitCode, 0);
    QStringList arguments{QStringLiteral(PICTOMAT_BINARY), "run", "make-icon"};
    for (const FileRef& item : *items.items)
        arguments << QString::fromUtf8(item.path());
    // Standard error on a pseudo-terminal; Ctrl-C once the fifth item shows.
    const ProcessResult r = RunPython(QStringLiteral(R"(
import os, pty, signal, sys
pid, fd = pty.fork()
if pid == 0:
    os.environ['QT_QPA_PLATFORM'] = 'offscreen'
    os.execv(sys.argv[1], sys.argv[1:])
out = b''
while b'5 of 30' not in out:
    chunk = os.read(fd, 4096)
    if not chunk:
        break
    out += chunk
os.kill(pid, signal.SIGINT)
while True:
    try:
        chunk = os.read(fd, 4096)
    except OSError:
        break
    if not chunk:
        break
    out += chunk
_, status = os.waitpid(pid, 0)
sys.stdout.write('%d\n' % os.waitstatus_to_exitcode(status))
sys.stdout.write(out.decode('utf-8', 'replace'))
)"),
                                      arguments, 60000);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QString out = QString::fromUtf8(r.out);
    EXPECT_TRUE(out.startsWith("130\n")) << out.toStdString();
    // Each output's path takes the progress line's place, and the next item's
    // line follows.
    EXPECT_TRUE(out.contains("\r\033[K1 of 30  00.desktop\r\033[K" + work()
                             + "/items/00.desktop.icns\r\n\r\033[K2 of 30  01.desktop"))
        << out.toStdString();
    const QStringList outputs = QDir(work() + "/items").entryList({"*.icns"}, QDir::Files);
    EXPECT_GE(outputs.size(), 4);
    EXPECT_LE(outputs.size(), 5);
    EXPECT_EQ(QDir(work() + "/items").entryList(QDir::Files | QDir::Hidden).size(), 30 + outputs.size());

    // Without a terminal nothing is drawn.
    const ProcessResult quiet = RunPictomat({"run", "make-icon", arguments.at(3), arguments.at(4)});
    EXPECT_EQ(quiet.exitCode, 0);
    EXPECT_FALSE(quiet.err.contains("of 2")) << quiet.err.toStdString();
}

} // namespace
} // namespace pictomat::test
