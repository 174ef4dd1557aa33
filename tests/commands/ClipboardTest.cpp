#include "commands/ClipboardCommands.h"
#include "commands/CommandSettings.h"
#include "CustomIconCommandsSupport.h"
#include "platform/CustomIcons.h"
#include "platform/IconProvider.h"
#include "prefs/PreferenceStore.h"
#include "RecordingDesktop.h"
#include "HeadlessWayland.h"
#include "TestEnv.h"

#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QSet>
#include <QThread>
#include <QUuid>

#include <csignal>

using namespace pictomat;

namespace {

const QByteArray kNotFromClipboard = "An image could not be created from the Clipboard.";
const QByteArray kCannotPaste = "The clipboard image could not be copied to the file.";
const QByteArray kNoPngExporter = "The file type for the extension could not be determined.";

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Runs the binary and xclip against the test X server. Every process started
// here carries a token in its environment, so the clipboard servers that
// outlive their commands can be found again, and ended, by their ids.
class ClipboardTest : public test::TestEnv {
protected:
    void SetUp() override
    {
        test::TestEnv::SetUp();
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            SERVICE_MISSING() << "no X server (DISPLAY is not set)";
        if (!CustomIcons::metadataAvailable())
            SERVICE_MISSING() << "no GVfs metadata service on a session bus";
        token = QStringLiteral("PICTOMAT_CLIPBOARD_TEST_TOKEN=") + QUuid::createUuid().toString(QUuid::Id128);
        writePreferences();
        // The first item's icon is a red square with transparent surroundings,
        // the second's a green one: which was copied, and where the
        // background shows, can be read off the pixels.
        const test::ProcessResult pictures = test::RunPython(
            "import sys\n"
            "from PIL import Image\n"
            "for name, colour in (('red', (255, 0, 0, 255)), ('green', (0, 255, 0, 255))):\n"
            "    im = Image.new('RGBA', (64, 64), (0, 0, 0, 0))\n"
            "    im.paste(colour, (16, 16, 48, 48))\n"
            "    im.save(sys.argv[1] + '/' + name + '-icon.png')\n",
            {root()});
        ASSERT_EQ(pictures.exitCode, 0) << pictures.err.toStdString();
        first = writeFile("first.txt", "A");
        second = writeFile("second.txt", "B");
        third = writeFile("third.txt", "C");
        setCustomIconWithGio(first, root() + "/red-icon.png");
        setCustomIconWithGio(second, root() + "/green-icon.png");
    }
    void TearDown() override
    {
        for (pid_t pid : processesWithToken())
            ::kill(pid, SIGTERM);
        test::TestEnv::TearDown();
    }

    void writePreferences()
    {
        const test::ProcessResult r = test::RunPython(
            "import plistlib, sys\n"
            "with open(sys.argv[1], 'wb') as f:\n"
            "    plistlib.dump({'IconSize': 512, 'BackgroundColorRedComponent': 0.0,\n"
            "                   'BackgroundColorGreenComponent': 0.0, 'BackgroundColorBlueComponent': 1.0}, f)\n",
            {configHome() + "/com.corvane.Pictomat.plist"});
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    }

    void setCustomIconWithGio(const QByteArray& item, const QString& picture)
    {
        const test::ProcessResult r =
            test::RunProcess("gio", {"set", "-t", "string", QFile::decodeName(item), "metadata::custom-icon",
                                     QString::fromUtf8(FileRef(QFile::encodeName(picture)).uri())});
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    }

    test::ProcessResult pictomat(const QStringList& arguments, const QStringList& extra = {})
    {
        return test::RunPictomat(QStringList{"run"} + arguments,
                                 QStringList{"QT_QPA_PLATFORM=xcb", "PICTOMAT_LOG_STDERR=1", token} + extra);
    }
    void putOnClipboard(const QByteArray& data, const QString& type = QStringLiteral("UTF8_STRING"))
    {
        const test::ProcessResult r =
            test::RunProcess("xclip", {"-selection", "clipboard", "-t", type, "-i"}, {token}, 30000, data);
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    }
    QByteArray clipboard(const QString& type)
    {
        return test::RunProcess("xclip", {"-selection", "clipboard", "-t", type, "-o"}).out;
    }
    QSet<QString> targets()
    {
        QSet<QString> r;
        for (const QByteArray& line : clipboard("TARGETS").split('\n'))
            if (!line.trimmed().isEmpty())
                r.insert(QString::fromLatin1(line.trimmed()));
        return r;
    }
    // Live processes (zombies have no environment left) started by this test.
    QList<pid_t> processesWithToken(bool pictomatOnly = false) const
    {
        QList<pid_t> found;
        const QByteArray needle = '\0' + token.toLatin1() + '\0';
        const QString binary = QFileInfo(QStringLiteral(PICTOMAT_BINARY)).canonicalFilePath();
        for (const QString& entry : QDir("/proc").entryList(QDir::Dirs)) {
            bool numeric = false;
            const pid_t pid = entry.toInt(&numeric);
            if (!numeric || pid == ::getpid())
                continue;
            if (!('\0' + readAll("/proc/" + entry + "/environ")).contains(needle))
                continue;
            if (pictomatOnly && QFileInfo("/proc/" + entry + "/exe").canonicalFilePath() != binary)
                continue;
            found.append(pid);
        }
        return found;
    }
    bool waitUntilNoServer(int ms)
    {
        QElapsedTimer timer;
        timer.start();
        while (!processesWithToken(true).isEmpty()) {
            if (timer.elapsed() > ms)
                return false;
            QThread::msleep(50);
        }
        return true;
    }
    // Pillow's reading of PNG bytes: "FORMAT W H corner centre", pixels as RGBA.
    QByteArray describePng(const QByteArray& png)
    {
        const QString path = root() + "/clip.png";
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(png) != png.size())
            return "cannot save";
        f.close();
        const test::ProcessResult r = test::RunPython(
            "import sys\n"
            "from PIL import Image\n"
            "im = Image.open(sys.argv[1]); rgba = im.convert('RGBA'); w, h = im.size\n"
            "print(im.format, w, h, rgba.getpixel((0, 0)), rgba.getpixel((w // 2, h // 2)))\n",
            {path});
        return r.exitCode == 0 ? r.out.trimmed() : "Pillow: " + r.err;
    }
    QByteArray iconOf(const QByteArray& item) { return test::GioCustomIcon(item, dataHome()); }
    QString arg(const QByteArray& path) const { return QFile::decodeName(path); }

    QString token;
    QByteArray first, second, third;
};

TEST_F(ClipboardTest, CopyLeavesOnlyTheFirstItemsIconAsPngOverTheBackground)
{
    putOnClipboard("earlier text");
    const test::ProcessResult r = pictomat({"copy-icon", arg(first), arg(second), arg(third)});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.err.count("Pictomat[log]: "), 1) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("Pictomat[log]: Copying icon for path \"" + first + "\"\n")) << r.err.toStdString();
    EXPECT_FALSE(r.err.contains("pictomat: ")) << r.err.toStdString(); // no alert

    const QSet<QString> offered = targets();
    EXPECT_TRUE(offered.contains("image/png"));
    const QSet<QString> allowed{"image/png", "TARGETS", "MULTIPLE", "TIMESTAMP", "SAVE_TARGETS"};
    EXPECT_TRUE((offered - allowed).isEmpty()) << QStringList((offered - allowed).values()).join(' ').toStdString();
    EXPECT_EQ(describePng(clipboard("image/png")), "PNG 512 512 (0, 0, 255, 255) (255, 0, 0, 255)");

    // The copy is served by a process of its own until another program takes
    // the clipboard over.
    ASSERT_EQ(processesWithToken(true).size(), 1);
    putOnClipboard("taken over");
    EXPECT_TRUE(waitUntilNoServer(10000));
    EXPECT_EQ(clipboard("UTF8_STRING"), "taken over");
}

TEST_F(ClipboardTest, PasteTakesImageDataOrOneImageFileAndRefusesTheRest)
{
    const QByteArray target = writeFile("target.txt", "T");
    auto refused = [&](const char* what) {
        const test::ProcessResult r = pictomat({"paste-icon", arg(target)});
        EXPECT_EQ(r.exitCode, 1) << what;
        EXPECT_EQ(r.err, "pictomat: " + kNotFromClipboard + " (the clipboard holds no picture)\n") << what;
        EXPECT_TRUE(iconOf(target).isEmpty()) << what;
        EXPECT_FALSE(QFileInfo::exists(dataHome() + "/pictomat/icons")) << what;
    };
    putOnClipboard("just some words");
    refused("text");
    EXPECT_EQ(clipboard("UTF8_STRING"), "just some words");
    const QByteArray twoFiles =
        FileRef(first).uri() + "\r\n" + FileRef(QFile::encodeName(root() + "/red-icon.png")).uri() + "\r\n";
    putOnClipboard(twoFiles, "text/uri-list");
    refused("two copied files");
    putOnClipboard(FileRef(first).uri() + "\r\n", "text/uri-list");
    refused("one copied text file");

    // Offered as a picture but not decodable: the other message, also once.
    putOnClipboard("not really a PNG", "image/png");
    test::ProcessResult r = pictomat({"paste-icon", arg(target)});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "pictomat: An image could not be created from the clipboard. (the file is damaged)\n");
    EXPECT_TRUE(iconOf(target).isEmpty());

    // Image data of another format than PNG, as other programs offer it.
    ASSERT_TRUE(test::WritePillowPictures(work()));
    putOnClipboard(readAll(work() + "/quadrants.bmp"), "image/bmp");
    r = pictomat({"paste-icon", arg(target)});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(test::PillowCompare(iconOf(target), QFile::encodeName(work() + "/quadrants.bmp")), "PNG same");

    // One copied picture file.
    putOnClipboard(FileRef(QFile::encodeName(work() + "/left-red.png")).uri() + "\r\n", "text/uri-list");
    r = pictomat({"paste-icon", arg(target)});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(test::PillowCompare(iconOf(target), QFile::encodeName(work() + "/left-red.png")), "PNG same");
}

TEST_F(ClipboardTest, A48MegapixelPhotoPastesAsFileAndAsImageData)
{
    // Past what Qt's readers decode whole: decoded at the custom icon's size instead.
    const QString photo = work() + "/photo.jpg";
    const test::ProcessResult made = test::RunPython(
        "import sys\nfrom PIL import Image\n"
        "im = Image.new('RGB', (8000, 6000), (200, 30, 30))\nim.paste((30, 30, 200), (4000, 0, 8000, 6000))\n"
        "im.save(sys.argv[1], quality=80)\n",
        {photo});
    ASSERT_EQ(made.exitCode, 0) << made.err.toStdString();
    const auto pillowSize = [](const QByteArray& icon) {
        return test::RunPython(
                   "import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1])\n"
                   "print(im.format, '%dx%d' % im.size)\n",
                   {QFile::decodeName(icon)})
            .out.trimmed();
    };
    const QByteArray target = writeFile("target.txt", "T");
    putOnClipboard(FileRef(QFile::encodeName(photo)).uri() + "\r\n", "text/uri-list");
    test::ProcessResult r = pictomat({"paste-icon", arg(target)});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(pillowSize(iconOf(target)), "PNG 1024x768");

    const QByteArray other = writeFile("other.txt", "O");
    putOnClipboard(readAll(photo), "image/jpeg");
    r = pictomat({"paste-icon", arg(other)});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(pillowSize(iconOf(other)), "PNG 1024x768");
}

TEST_F(ClipboardTest, CopiedIconPastesOntoEveryItemAndAFailureStaysWithItsItem)
{
    ASSERT_EQ(pictomat({"copy-icon", arg(first)}).exitCode, 0);
    const QString copied = root() + "/copied.png";
    {
        QFile f(copied);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(clipboard("image/png"));
    }
    const QByteArray x = writeFile("x.txt", "X");
    const QByteArray y = writeFile("y.txt", "Y");
    test::ProcessResult r = pictomat({"paste-icon", arg(x), arg(y)});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QByteArray icon = iconOf(x);
    EXPECT_EQ(iconOf(y), icon);
    EXPECT_EQ(test::PillowCompare(icon, QFile::encodeName(copied)), "PNG same");

    const QByteArray z = writeFile("z.txt", "Z");
    r = pictomat({"paste-icon", arg(z), work() + "/missing.txt"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err.count("pictomat: "), 1) << r.err.toStdString();
    EXPECT_EQ(r.err.count("pictomat: " + QFile::encodeName(work()) + "/missing.txt: " + kCannotPaste
                          + " (there is no such file or folder)\n"),
              1)
        << r.err.toStdString();
    EXPECT_EQ(r.err.count("Pictomat[log]: " + kCannotPaste + "\n"), 1) << r.err.toStdString();
    EXPECT_EQ(iconOf(z), icon);
    EXPECT_FALSE(QFileInfo::exists(work() + "/missing.txt"));
}

// In a Wayland session the compositor's clipboard is the one users paste
// from, and a program without keyboard focus may not set it through its own
// connection: what the commands leave there is read back with wl-paste.
class WaylandClipboardTest : public ClipboardTest {
protected:
    void SetUp() override
    {
        ClipboardTest::SetUp();
        if (HasFatalFailure() || IsSkipped())
            return;
        QString why;
        if (!m_compositor.start(root(), &why))
            SERVICE_MISSING() << why.toStdString();
        m_wayland = "WAYLAND_DISPLAY=" + m_compositor.socket();
    }
    test::ProcessResult wlClipboard(const QString& tool, const QStringList& arguments, const QByteArray& input = {})
    {
        return test::RunProcess(tool, arguments, {m_wayland, token}, 10000, input);
    }
    test::HeadlessWayland m_compositor;
    QString m_wayland;
};

TEST_F(WaylandClipboardTest, CopyAndPasteReachTheCompositorsClipboardOrSaySo)
{
    ASSERT_EQ(wlClipboard("wl-copy", {"earlier text"}).exitCode, 0);
    // Through XWayland (Qt on the X server, as the tray runs there) the
    // picture still lands on the Wayland clipboard, and only the picture.
    test::ProcessResult r = pictomat({"copy-icon", arg(first)}, {m_wayland});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(wlClipboard("wl-paste", {"--list-types"}).out, "image/png\n");
    EXPECT_EQ(describePng(wlClipboard("wl-paste", {"--type", "image/png"}).out),
              "PNG 512 512 (0, 0, 255, 255) (255, 0, 0, 255)");

    // What another program copied pastes as the custom icon.
    ASSERT_TRUE(test::WritePillowPictures(work()));
    ASSERT_EQ(wlClipboard("wl-copy", {"--type", "image/bmp"}, readAll(work() + "/quadrants.bmp")).exitCode, 0);
    const QByteArray target = writeFile("target.txt", "T");
    r = pictomat({"paste-icon", arg(target)}, {m_wayland});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(test::PillowCompare(iconOf(target), QFile::encodeName(work() + "/quadrants.bmp")), "PNG same");

    // Without wl-clipboard, Qt's own Wayland connection is refused in silence
    // for want of focus: the command fails, and the clipboard stays as it was.
    ASSERT_EQ(wlClipboard("wl-copy", {"still here"}).exitCode, 0);
    const QString bin = root() + "/bin";
    QDir().mkpath(bin);
    r = test::RunPictomat({"run", "copy-icon", arg(first)},
                          {m_wayland, "QT_QPA_PLATFORM=wayland", "DISPLAY", "PATH=" + bin + ":/nonexistent", token});
    EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
    EXPECT_TRUE(
        r.err.startsWith("pictomat: " + arg(first).toUtf8() + ": The icon could not be put on the clipboard. ("))
        << r.err.toStdString();
    EXPECT_EQ(wlClipboard("wl-paste", {"--no-newline"}).out, "still here");
}

// In process, on the offscreen platform's clipboard, with the desktop recorded.
class CopyIconInProcessTest : public test::TestEnv {
protected:
    void SetUp() override
    {
        test::TestEnv::SetUp();
        desktop = test::RecordingDesktop();
    }
    void select(const QVector<FileRef>& items)
    {
        request.items.count = qint32(items.size());
        request.items.items = items;
    }
    void copy() { CopyIconForFile(context, request, CommandSettings::Read(preferences, {})); }
    test::RecordingDesktop desktop;
    prefs::PreferenceStore preferences{preferenceFile()};
    IconProvider icons;
    CommandContext context{desktop, preferences, icons};
    CommandRequest request;
};

TEST_F(CopyIconInProcessTest, LogsThenPingsOnceWithOnePngEntry)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    ASSERT_NE(clipboard, nullptr);
    clipboard->setText(QStringLiteral("earlier"));
    const QByteArray a = writeFile("a.txt", "A");
    select({FileRef(a), FileRef(writeFile("b.png", "B")), FileRef()});

    copy();
    EXPECT_EQ(desktop.events, QStringList({"log:Copying icon for path \"" + QString::fromUtf8(a) + "\"", "sound:Ping"}))
        << desktop.events.join('\n').toStdString();
    const QMimeData* mime = clipboard->mimeData();
    ASSERT_NE(mime, nullptr);
    EXPECT_EQ(mime->formats(), QStringList{QStringLiteral("image/png")});
    const QImage copied = QImage::fromData(mime->data(QStringLiteral("image/png")), "PNG");
    EXPECT_EQ(copied.size(), QSize(128, 128));

    // No icon for the first item: the alert, no sound, the clipboard as it was.
    desktop = test::RecordingDesktop();
    clipboard->setText(QStringLiteral("still here"));
    select({FileRef(QFile::encodeName(work() + "/gone.txt")), FileRef(a)});
    copy();
    ASSERT_EQ(desktop.alertMessages(), QStringList{QStringLiteral("The file's icon could not be found.")});
    EXPECT_TRUE(desktop.sounds.isEmpty());
    EXPECT_EQ(clipboard->text(), QStringLiteral("still here"));

    // An image layer without a PNG writer: the alert comes first, nothing is
    // logged and the clipboard stays as it was.
    desktop = test::RecordingDesktop();
    context.graphics.writerMimeTypes = [] { return QList<QByteArray>{"image/jpeg"}; };
    select({FileRef(a)});
    copy();
    EXPECT_EQ(desktop.events, QStringList{"alert:" + kNoPngExporter});
    EXPECT_EQ(clipboard->text(), QStringLiteral("still here"));
}

} // namespace
