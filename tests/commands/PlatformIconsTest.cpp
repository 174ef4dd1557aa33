// "Make Windows Icon for Media" and "Make Linux Icon Set for Media" through
// the built program, read back by the tools of those platforms' users:
// Pillow and icotool for the .ico; gtk-update-icon-cache, xdg-icon-resource
// and GTK's own icon lookup for the icon set; and the Trash for what the
// outputs replace.

#include "MakeIconSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QRegularExpression>
#include <QTemporaryDir>

using namespace pictomat;
using test::FileBytes;

namespace {

class PlatformIcons : public test::TestEnv {
protected:
    void SetUp() override
    {
        TestEnv::SetUp();
        for (const char* key : {"OpenImageFileForMe", "OpenImageFolderForMe", "AddCustomIcon"})
            setting(key, {"-bool", "false"});
    }
    void setting(const char* key, const QStringList& value)
    {
        const test::ProcessResult r = test::RunPictomat(QStringList{"defaults", "write", key} + value);
        ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    }
    QString outputFolder() const { return dataHome() + "/Corvane Software/Pictomat"; }

    // Every file under a folder, by its path inside it, sorted.
    static QStringList filesUnder(const QString& folder)
    {
        QStringList files;
        QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext())
            files << it.next().mid(folder.size() + 1);
        files.sort();
        return files;
    }
    static QStringList leftovers(const QString& folder)
    {
        return QDir(folder).entryList({".pictomat-*"}, QDir::AllEntries | QDir::Hidden | QDir::System);
    }
};

const QStringList kSetSizes = {"16", "22", "24", "32", "48", "64", "96", "128", "256", "512"};

// A wide picture with a solid middle, so the fitting shows in every size.
QImage widePicture()
{
    QImage image(600, 400, QImage::Format_RGB32);
    image.fill(QColor(30, 120, 200));
    QPainter(&image).fillRect(200, 100, 200, 200, QColor(250, 200, 20));
    return image;
}

TEST_F(PlatformIcons, WindowsIconHasEverySizeAsWindowsStoresThem)
{
    ASSERT_TRUE(widePicture().save(work() + "/Photo.jpg", "JPEG", 95));
    test::ProcessResult r = test::RunPictomat({"run", "make-media-ico", work() + "/Photo.jpg"});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_TRUE(r.err.isEmpty()) << r.err.constData();
    const QString ico = outputFolder() + "/Photo.jpg.ico";

    // Pillow loads every size; each is the picture fitted by its width,
    // clear above and below it.
    r = test::RunPython(R"(
import sys, struct
from PIL import Image
path = sys.argv[1]
for size in sorted(Image.open(path).info['sizes']):
    im = Image.open(path)
    im.size = size
    im.load()
    im = im.convert('RGBA')
    w, h = im.size
    print('%dx%d top=%d middle=%s' % (w, h, im.getpixel((w // 2, 0))[3], im.getpixel((w // 2, h // 2))))
# How each picture is stored: a bitmap with its AND mask, or PNG.
data = open(path, 'rb').read()
for i in range(struct.unpack('<H', data[4:6])[0]):
    w, h, _, _, planes, depth, size, offset = struct.unpack('<BBBBHHII', data[6 + 16 * i:22 + 16 * i])
    w, h = w or 256, h or 256
    if data[offset:offset + 4] == b'\x89PNG':
        print('PNG', w)
    elif size == 40 + w * h * 4 + (w + 31) // 32 * 4 * h:
        print('bitmap+mask', w, depth)
)",
                        {ico});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    QStringList expected;
    for (int edge : {16, 20, 24, 32, 40, 48, 64, 96, 128, 256})
        expected << QStringLiteral("%1x%1 top=0 middle=(250, 200, 20, 255)").arg(edge);
    for (int edge : {16, 20, 24, 32, 40, 48, 64, 96, 128})
        expected << QStringLiteral("bitmap+mask %1 32").arg(edge);
    expected << "PNG 256";
    // JPEG's colours are near, not exact, at the smallest sizes: compare the middle loosely there.
    QStringList lines = QString::fromUtf8(r.out).trimmed().split('\n');
    for (QString& line : lines)
        line.replace(QRegularExpression(R"(\((2[45]\d), (19\d|20\d), (1\d|2\d), 255\))"), "(250, 200, 20, 255)");
    EXPECT_EQ(lines, expected) << r.out.constData();

    // icotool lists every picture at its size, in 32 bits.
    r = test::RunProcess("icotool", {"-l", ico});
    if (r.exitCode < 0)
        SERVICE_MISSING() << "icotool (icoutils) is missing";
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    for (int edge : {16, 20, 24, 32, 40, 48, 64, 96, 128, 256})
        EXPECT_TRUE(r.out.contains(QStringLiteral("--width=%1 --height=%1 --bit-depth=32 ").arg(edge).toUtf8()))
            << edge << "\n"
            << r.out.constData();
    EXPECT_EQ(r.out.count('\n'), 10);

    // Made again, the earlier icon is replaced without a Trash entry; once
    // the user changed it, it goes to the Trash. What is no medium gets the
    // alert, and nothing takes its output's name, as with "Make Icon for
    // Media".
    r = test::RunPictomat({"run", "make-media-ico", work() + "/Photo.jpg"});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_FALSE(QFileInfo::exists(dataHome() + "/Trash/files/Photo.jpg.ico"));
    QFile edited(ico);
    ASSERT_TRUE(edited.open(QIODevice::Append));
    edited.write("edited");
    edited.close();
    const QByteArray first = FileBytes(QFile::encodeName(ico));
    r = test::RunPictomat({"run", "make-media-ico", work() + "/Photo.jpg"});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(FileBytes(QFile::encodeName(dataHome() + "/Trash/files/Photo.jpg.ico")), first);
    writeFile("notes.txt", "plain words");
    r = test::RunPictomat({"run", "make-media-ico", work() + "/notes.txt"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("The icon could not be obtained from the file.")) << r.err.constData();
    EXPECT_FALSE(QFileInfo::exists(outputFolder() + "/notes.txt.ico"));
    EXPECT_EQ(QDir(outputFolder()).entryList({".pictomat-*"}, QDir::Files | QDir::Hidden), QStringList{});
}

TEST_F(PlatformIcons, LinuxIconSetInstallsAsItIsAndGtkFindsEverySize)
{
    const QByteArray svg = R"(<svg xmlns="http://www.w3.org/2000/svg" width="1024" height="1024" viewBox="0 0 64 64">)"
                           R"(<rect x="4" y="4" width="56" height="56" rx="12" fill="#3a7"/></svg>)";
    writeFile("My Logo.svg", svg);
    test::ProcessResult r = test::RunPictomat({"run", "make-media-icon-set", work() + "/My Logo.svg"});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    const QString set = outputFolder() + "/My Logo.svg-icons";
    QStringList expected;
    for (const QString& size : kSetSizes)
        expected << size + "x" + size + "/apps/My-Logo.png";
    expected << "scalable/apps/My-Logo.svg";
    expected.sort();
    EXPECT_EQ(filesUnder(set), expected);
    EXPECT_EQ(FileBytes(QFile::encodeName(set + "/scalable/apps/My-Logo.svg")), svg);
    for (const QString& size : kSetSizes)
        EXPECT_EQ(test::PillowDescribe(QFile::encodeName(set + "/" + size + "x" + size + "/apps/My-Logo.png")),
                  QStringLiteral("PNG %1x%1").arg(size).toUtf8());
    EXPECT_EQ(leftovers(outputFolder()), QStringList{});

    // The cache builder takes the folder as a theme folder, as it is.
    const QString copy = root() + "/cache-check";
    ASSERT_EQ(test::RunProcess("cp", {"-r", set, copy}).exitCode, 0);
    r = test::RunProcess("gtk-update-icon-cache", {"-f", "-t", copy});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_TRUE(QFileInfo::exists(copy + "/icon-theme.cache"));

    // Installed two ways into private data folders: by xdg-icon-resource
    // size by size, and by copying the folder into hicolor.
    const QString byTool = root() + "/by-tool", byCopy = root() + "/by-copy";
    for (const QString& size : kSetSizes) {
        r = test::RunProcess("xdg-icon-resource",
                             {"install", "--mode", "user", "--novendor", "--noupdate", "--size", size,
                              set + "/" + size + "x" + size + "/apps/My-Logo.png", "My-Logo"},
                             {"XDG_DATA_HOME=" + byTool});
        ASSERT_EQ(r.exitCode, 0) << size.toStdString() << r.err.constData();
    }
    ASSERT_TRUE(QDir().mkpath(byCopy + "/icons/hicolor"));
    ASSERT_EQ(test::RunProcess("cp", {"-r", set + "/.", byCopy + "/icons/hicolor"}).exitCode, 0);
    ASSERT_EQ(test::RunProcess("gtk-update-icon-cache", {"-f", "-t", byCopy + "/icons/hicolor"}).exitCode, 0);

    // GTK's icon theme finds each size there, and the copied drawing at a
    // size between them.
    for (const QString& data : {byTool, byCopy}) {
        r = test::RunPython(R"(
import sys, gi
gi.require_version('Gtk', '3.0')
from gi.repository import Gtk
theme = Gtk.IconTheme.new()
theme.set_search_path([sys.argv[1] + '/icons', '/usr/share/icons'])
theme.set_custom_theme('hicolor')
for size in sys.argv[2:]:
    print(size, theme.lookup_icon('My-Logo', int(size), Gtk.IconLookupFlags.NO_SVG).get_filename())
if sys.argv[1].endswith('copy'):
    print('svg', theme.lookup_icon('My-Logo', 100, 0).get_filename())
)",
                            QStringList{data} + kSetSizes);
        if (r.err.contains("No module named 'gi'") || r.err.contains("Namespace Gtk not available"))
            SERVICE_MISSING() << "GTK's Python bindings are missing";
        ASSERT_EQ(r.exitCode, 0) << r.err.constData();
        QString found;
        for (const QString& size : kSetSizes)
            found += QStringLiteral("%1 %2/icons/hicolor/%1x%1/apps/My-Logo.png\n").arg(size, data);
        // xdg-icon-resource installs bitmaps only.
        if (data == byCopy)
            found += "svg " + data + "/icons/hicolor/scalable/apps/My-Logo.svg\n";
        EXPECT_EQ(QString::fromUtf8(r.out).toStdString(), found.toStdString());
    }

    // Made again, the earlier folder is swapped for the new one without a
    // Trash entry; once the user changed it, it goes to the Trash whole, as
    // one item.
    r = test::RunPictomat({"run", "make-media-icon-set", work() + "/My Logo.svg"});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_FALSE(QFileInfo::exists(dataHome() + "/Trash/files/My Logo.svg-icons"));
    EXPECT_EQ(filesUnder(set), expected);
    QFile edited(set + "/" + expected.first());
    ASSERT_TRUE(edited.open(QIODevice::Append));
    edited.write("edited");
    edited.close();
    r = test::RunPictomat({"run", "make-media-icon-set", work() + "/My Logo.svg"});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(filesUnder(dataHome() + "/Trash/files/My Logo.svg-icons"), expected);
    EXPECT_EQ(filesUnder(set), expected);
    EXPECT_EQ(QDir(dataHome() + "/Trash/info").entryList(QDir::Files), QStringList{"My Logo.svg-icons.trashinfo"});
}

// "Make App Icons for Media": every platform's set in one folder beside the
// others' outputs, the macOS icon shaped when the preference says so, the
// preferences' background where no transparency may be.
TEST_F(PlatformIcons, AppIconsForEveryPlatformAreOneFolderFollowingThePreferences)
{
    ASSERT_TRUE(widePicture().save(work() + "/Photo.jpg", "JPEG", 95));
    setting("AppIconsMacOSShape", {"-bool", "true"});
    setting("BackgroundColorRedComponent", {"-float", "0"});
    setting("BackgroundColorGreenComponent", {"-float", "0"});
    setting("BackgroundColorBlueComponent", {"-float", "0"});
    test::ProcessResult r = test::RunPictomat({"run", "make-media-app-icons", work() + "/Photo.jpg"});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    const QString set = outputFolder() + "/Photo.jpg-app-icons";
    QStringList top = QDir(set).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    EXPECT_EQ(top, (QStringList{"android", "ios", "linux", "macos", "web", "windows"}));
    EXPECT_EQ(filesUnder(set).size(), 11 + 1 + 10 + 2 + 3 + 5 * 4 + 6) << filesUnder(set).join('\n').toStdString();
    EXPECT_EQ(leftovers(outputFolder()), QStringList{});
    // Shaped: the corners are clear; the iOS icon has the wide picture over
    // black above and below it, opaque.
    const QImage mac(set + "/macos/Photo.iconset/icon_512x512@2x.png");
    EXPECT_EQ(mac.pixelColor(0, 0).alpha(), 0);
    const QColor middle = mac.pixelColor(512, 512);
    EXPECT_TRUE(std::abs(middle.red() - 250) < 8 && std::abs(middle.green() - 200) < 8 && middle.blue() < 30)
        << middle.name().toStdString();
    const QImage ios(set + "/ios/AppIcon.appiconset/AppIcon.png");
    EXPECT_FALSE(ios.hasAlphaChannel());
    EXPECT_EQ(ios.pixelColor(512, 2), QColor(0, 0, 0));
}

TEST_F(PlatformIcons, WithoutATrashOnlyOurOwnUnchangedIconSetIsReplaced)
{
    // GIO keeps no Trash on tmpfs.
    QTemporaryDir shm(QStringLiteral("/dev/shm/pictomat-test-XXXXXX"));
    if (!shm.isValid())
        SERVICE_MISSING() << "no /dev/shm to stand for a file system without a Trash";
    setting("UseItemsFolder", {"-bool", "true"});
    const QString folder = shm.path(), set = shm.path() + "/pic.png-icons";
    ASSERT_TRUE(widePicture().save(folder + "/pic.png"));
    writeFile(set + "/notes.txt", "the user's own folder");
    const QStringList run = {"run", "make-media-icon-set", folder + "/pic.png"};
    test::ProcessResult r = test::RunPictomat(run);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("The file already exists.")) << r.err.constData();
    EXPECT_EQ(filesUnder(set), QStringList{"notes.txt"});

    ASSERT_TRUE(QDir(set).removeRecursively());
    for (int time = 0; time < 2; ++time) {
        r = test::RunPictomat(run);
        EXPECT_EQ(r.exitCode, 0) << time << r.err.constData();
    }
    EXPECT_EQ(filesUnder(set).size(), 10);
    // Changed since, it is the user's: it stays as it is.
    QFile edited(set + "/48x48/apps/pic.png");
    ASSERT_TRUE(edited.open(QIODevice::Append));
    edited.write("edited");
    edited.close();
    r = test::RunPictomat(run);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("The file already exists.")) << r.err.constData();
    EXPECT_TRUE(FileBytes(QFile::encodeName(set + "/48x48/apps/pic.png")).endsWith("edited"));
    EXPECT_EQ(leftovers(folder), QStringList{});
}

} // namespace
