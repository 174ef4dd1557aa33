#include "files/Paths.h"
#include "platform/IconProvider.h"
#include "platform/IconTheme.h"
#include "TestEnv.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPixmap>

#include <gio/gio.h>

#include <sys/stat.h>

using namespace pictomat;

namespace {

QByteArray pngOf(int edge, QColor colour)
{
    QImage image(edge, edge, QImage::Format_ARGB32);
    image.fill(colour);
    return test::PngBytes(image);
}

int visiblePixels(const QImage& image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += qAlpha(image.pixel(x, y)) > 0 ? 1 : 0;
    return count;
}

class IconProviderTest : public test::TestEnv {
protected:
    void SetUp() override
    {
        test::TestEnv::SetUp();
        for (const char* name : {"XDG_DATA_DIRS", "XDG_CURRENT_DESKTOP", "XDG_CACHE_HOME"}) {
            m_saved.append({name, qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt});
        }
        qunsetenv("XDG_CURRENT_DESKTOP");
    }
    void TearDown() override
    {
        for (const auto& [name, value] : m_saved) {
            if (value)
                qputenv(name, *value);
            else
                qunsetenv(name);
        }
        test::TestEnv::TearDown();
    }
    IconProvider::Icon iconOf(const QByteArray& path)
    {
        const std::optional<IconProvider::Icon> icon = icons.iconFor(FileRef(path));
        EXPECT_TRUE(icon.has_value()) << path.constData();
        return icon.value_or(IconProvider::Icon{});
    }
    QByteArray makeDir(const QString& path)
    {
        QDir().mkpath(path);
        return QFile::encodeName(path);
    }

    IconProvider icons;

private:
    QList<QPair<const char*, std::optional<QByteArray>>> m_saved;
};

TEST_F(IconProviderTest, ItemsGetTheIconsAFileManagerShows)
{
    const QByteArray text = writeFile("notes.txt", "plain words\n");
    const IconProvider::Icon textIcon = iconOf(text);
    EXPECT_TRUE(textIcon.name.startsWith("text-")) << textIcon.name.toStdString();
    EXPECT_FALSE(textIcon.files.isEmpty());

    EXPECT_EQ(iconOf(makeDir(work() + "/plain folder")).name, "folder");
    EXPECT_EQ(iconOf(QFile::encodeName(home())).name, "user-home");

    // A user folder named in user-dirs.dirs, quoted the way xdg-user-dirs writes it.
    writeFile(configHome() + "/user-dirs.dirs",
              "# written by xdg-user-dirs-update\n"
              "XDG_DOCUMENTS_DIR=\"$HOME/My Papers\"\n"
              "XDG_DESKTOP_DIR=\"$HOME/\"\n");
    EXPECT_EQ(iconOf(makeDir(home() + "/My Papers")).name, "folder-documents");
    EXPECT_EQ(iconOf(makeDir(home() + "/Other")).name, "folder");

    // A launcher shows its application's icon, installed in the user's hicolor.
    writeFile(dataHome() + "/icons/hicolor/48x48/apps/pictomat-test-app.png", pngOf(48, Qt::red));
    // Installed icons are noticed within seconds; the test does not wait.
    icons.reset();
    const QByteArray launcher = writeFile("app.desktop",
                                          "[Desktop Entry]\nType=Application\nName=T\n"
                                          "Icon[de]=other\nIcon=pictomat-test-app\n");
    const IconProvider::Icon app = iconOf(launcher);
    EXPECT_EQ(app.name, "pictomat-test-app");
    EXPECT_TRUE(app.source.startsWith(dataHome())) << app.source.toStdString();

    // A folder's .directory may name a picture by path.
    const QByteArray picture = writeFile("pictures/mark.png", pngOf(64, Qt::blue));
    const QByteArray marked = makeDir(work() + "/marked");
    writeFile(work() + "/marked/.directory", "[Desktop Entry]\nIcon=" + picture + "\n");
    EXPECT_EQ(iconOf(marked).source, QFile::decodeName(picture));

    // The names tried run from most specific to the last resort.
    const QStringList names = icons.iconNamesFor(FileRef(text));
    ASSERT_FALSE(names.isEmpty());
    EXPECT_EQ(names.last(), "application-x-generic");
}

TEST_F(IconProviderTest, NothingForTheEmptyReferenceOrAMissingItem)
{
    EXPECT_FALSE(icons.iconFor(FileRef()).has_value());
    EXPECT_FALSE(icons.iconFor(FileRef(QFile::encodeName(work() + "/gone.txt"))).has_value());
    EXPECT_TRUE(icons.iconNamesFor(FileRef()).isEmpty());
    EXPECT_TRUE(IconProvider::render(IconProvider::Icon{}, 64).isNull());
}

TEST_F(IconProviderTest, SpecialFilesNeverBlockTheLookup)
{
    // Opening a FIFO for reading waits for a writer that never comes.
    const QByteArray fifo = QFile::encodeName(work() + "/pipe");
    ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
    const QByteArray fifoDesktop = QFile::encodeName(work() + "/pipe.desktop");
    ASSERT_EQ(::mkfifo(fifoDesktop.constData(), 0600), 0);
    const QByteArray folder = makeDir(work() + "/odd folder");
    writeFile(work() + "/odd folder/.directory", "[Desktop Entry]\nIcon=" + fifo + "\n");
    const QByteArray folder2 = makeDir(work() + "/odd folder 2");
    ASSERT_EQ(::mkfifo(QFile::encodeName(work() + "/odd folder 2/.directory").constData(), 0600), 0);

    EXPECT_FALSE(iconOf(fifo).isNull());
    EXPECT_FALSE(iconOf(fifoDesktop).isNull());
    EXPECT_EQ(iconOf(folder).name, "folder");
    EXPECT_EQ(iconOf(folder2).name, "folder");
}

TEST_F(IconProviderTest, TheUsersThemeComesFirstAndInheritsTheRest)
{
    const QString theme = dataHome() + "/icons/Pictotest";
    writeFile(theme + "/index.theme",
              "[Icon Theme]\nName=Pictotest\nInherits=Adwaita\n"
              "Directories=32x32/places,scalable/places\n\n"
              "[32x32/places]\nSize=32\nType=Fixed\n\n"
              "[scalable/places]\nSize=64\nType=Scalable\nMinSize=8\nMaxSize=512\n");
    writeFile(theme + "/32x32/places/folder.png", pngOf(32, Qt::green));
    writeFile(
        theme + "/scalable/places/folder.svg",
        "<svg xmlns='http://www.w3.org/2000/svg' viewBox='0 0 10 10'><rect width='10' height='10' fill='blue'/></svg>");
    writeFile(configHome() + "/gtk-3.0/settings.ini", "[Settings]\ngtk-icon-theme-name = Pictotest\n");
    icons.reset();
    EXPECT_EQ(icons.userThemeName(), "Pictotest");

    const IconProvider::Icon folder = iconOf(makeDir(work() + "/f"));
    EXPECT_TRUE(folder.source.startsWith(theme)) << folder.source.toStdString();
    EXPECT_TRUE(folder.source.endsWith(".svg")) << "the scalable picture is the best source";
    EXPECT_EQ(folder.files.size(), 2);
    // 32 is drawn from the bitmap made for that size, other sizes from the drawing.
    EXPECT_EQ(QColor(IconProvider::render(folder, 32).pixel(16, 16)), QColor(Qt::green));
    EXPECT_EQ(QColor(IconProvider::render(folder, 100).pixel(50, 50)), QColor(Qt::blue));

    // KDE keeps its own setting.
    qputenv("XDG_CURRENT_DESKTOP", "KDE");
    writeFile(configHome() + "/kdeglobals", "[General]\nName=x\n\n[Icons]\nTheme=breeze-dark\n");
    EXPECT_EQ(icons.userThemeName(), "breeze-dark");
}

// With no theme chosen, the desktop's own default is what its file managers
// show: Breeze under KDE, and under XFCE and MATE the theme their settings
// manager publishes over XSettings (read here from a manager of the test's
// own, on a display of its own), else the one XFCE's store holds.
TEST_F(IconProviderTest, WithoutAChoiceTheDesktopsOwnDefaultCounts)
{
    qputenv("XDG_CURRENT_DESKTOP", "KDE");
    EXPECT_EQ(icons.userThemeName(), "breeze");

    qputenv("XDG_CURRENT_DESKTOP", "XFCE");
    writeFile(configHome() + "/xfce4/xfconf/xfce-perchannel-xml/xsettings.xml",
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<channel name=\"xsettings\" version=\"1.0\">\n"
              "  <property name=\"Net\" type=\"empty\">\n"
              "    <property name=\"ThemeName\" type=\"string\" value=\"Greybird\"/>\n"
              "    <property name=\"IconThemeName\" type=\"string\" value=\"elementary-xfce\"/>\n"
              "  </property>\n</channel>\n");
    const QByteArray display = qgetenv("DISPLAY");
    qunsetenv("DISPLAY");
    EXPECT_EQ(icons.userThemeName(), "elementary-xfce");

    // A display of the test's own: the server picks a free number and says it.
    QProcess xvfb;
    xvfb.start("Xvfb", {"-displayfd", "1", "-nolisten", "tcp"});
    ASSERT_TRUE(xvfb.waitForReadyRead(10000));
    const QByteArray number = xvfb.readLine().trimmed();
    qputenv("DISPLAY", ":" + number);
    QProcess manager;
    const QByteArray config = writeFile("xsettingsd.conf",
                                        "Net/ThemeName \"Adwaita\"\nNet/IconThemeName \"Tango\"\n"
                                        "Xft/DPI 98304\nGtk/CursorThemeSize 24\n");
    if (QStandardPaths::findExecutable("xsettingsd").isEmpty()) {
        qputenv("DISPLAY", display);
        SERVICE_MISSING() << "xsettingsd is not installed";
    }
    // The manager gives up when the new server is not ready for it yet.
    for (int i = 0; i < 100 && XSettingsIconTheme().isEmpty(); ++i) {
        if (manager.state() == QProcess::NotRunning)
            manager.start("xsettingsd", {"-c", QFile::decodeName(config)});
        QThread::msleep(50);
    }
    EXPECT_EQ(icons.userThemeName(), "Tango");
    qputenv("XDG_CURRENT_DESKTOP", "MATE");
    EXPECT_EQ(icons.userThemeName(), "Tango");
    manager.terminate();
    manager.waitForFinished();
    // Asked to end, the server takes its socket and lock file with it.
    xvfb.terminate();
    xvfb.waitForFinished();
    qputenv("DISPLAY", display);
}

// A picture's icon is its type's, as Make Icon for File has always made
// it, even where the file manager shows a thumbnail of it instead.
TEST_F(IconProviderTest, APictureGetsItsTypesIconNotItsThumbnail)
{
    const QByteArray picture = writeFile("photo.png", pngOf(300, Qt::red));
    const QByteArray uri = FileRef(picture).uri();
    const QString digest = QString::fromLatin1(QCryptographicHash::hash(uri, QCryptographicHash::Md5).toHex());
    for (const char* size : {"normal", "large"})
        writeFile(home() + "/.cache/thumbnails/" + size + "/" + digest + ".png", pngOf(128, Qt::red));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(home() + "/.cache"));
    const IconProvider::Icon icon = iconOf(picture);
    EXPECT_TRUE(icon.name == "image-png" || icon.name == "image-x-generic") << icon.name.toStdString();
    EXPECT_FALSE(icon.source.contains("thumbnails")) << icon.source.toStdString();
}

TEST_F(IconProviderTest, BundledIconsStandInWhenNoThemeIsInstalled)
{
    qputenv("XDG_DATA_DIRS", QFile::encodeName(root() + "/no-such-share"));
    icons.reset();
    const QString bundled = DataDirectory() + "/icons";
    for (const QByteArray& path : {writeFile("a.txt", "words"), writeFile("b.bin", QByteArray("\x00\x01\x02", 3)),
                                   makeDir(work() + "/folder"), QFile::encodeName(home())}) {
        const IconProvider::Icon icon = iconOf(path);
        EXPECT_TRUE(icon.source.startsWith(bundled)) << path.constData() << " -> " << icon.source.toStdString();
        const QImage image = IconProvider::render(icon, 48);
        EXPECT_GT(visiblePixels(image), 48 * 48 / 4);
    }
}

TEST_F(IconProviderTest, RenderGivesExactlyTheAskedSizeWithVisiblePixels)
{
    const QByteArray small = writeFile("small.png", pngOf(32, Qt::red));
    const std::optional<IconProvider::Icon> themed = icons.iconFor(FileRef(writeFile("a.txt", "x")));
    ASSERT_TRUE(themed.has_value());
    // A 32-pixel picture as a custom icon: larger sizes must be scaled up.
    writeFile(work() + "/d/.directory", "[Desktop Entry]\nIcon=" + small + "\n");
    const std::optional<IconProvider::Icon> picture = icons.iconFor(FileRef(QFile::encodeName(work() + "/d")));
    ASSERT_TRUE(picture.has_value());
    ASSERT_EQ(picture->source, QFile::decodeName(small));

    for (const IconProvider::Icon& icon : {*themed, *picture}) {
        for (int size : {16, 100, 1024}) {
            const QImage image = IconProvider::render(icon, size);
            ASSERT_EQ(image.size(), QSize(size, size)) << icon.source.toStdString();
            EXPECT_EQ(image.format(), QImage::Format_ARGB32_Premultiplied);
            EXPECT_GT(visiblePixels(image), size * size / 4) << icon.source.toStdString() << " at " << size;
        }
    }
    EXPECT_EQ(QColor(IconProvider::render(*picture, 1024).pixel(512, 512)), QColor(Qt::red));
    // Menus draw the same pictures through QIcon, in every mode.
    for (QIcon::Mode mode : {QIcon::Normal, QIcon::Disabled}) {
        const QPixmap pm = themed->icon.pixmap(QSize(24, 24), mode);
        ASSERT_EQ(pm.size(), QSize(24, 24));
        EXPECT_GT(visiblePixels(pm.toImage()), 24 * 24 / 4);
    }
    EXPECT_TRUE(IconProvider::render(*themed, 0).isNull());
    EXPECT_TRUE(IconProvider::render(*themed, -5).isNull());
}

// Written the way other programs do it, through the GVfs metadata service.
TEST_F(IconProviderTest, CustomIconFromFileManagerMetadata)
{
    const QByteArray item = writeFile("custom.txt", "words");
    const QByteArray png = writeFile(dataHome() + "/pictomat/icons/c.png", pngOf(128, Qt::magenta));
    // GLib settles the data folder once per process; the writer must use the
    // same metadata store as this process reads.
    const QString gioDataHome = QString::fromUtf8(g_get_user_data_dir());
    const test::ProcessResult set =
        test::RunProcess("gio", {"set", QFile::decodeName(item), "metadata::custom-icon", FileRef(png).uri()},
                         {"XDG_DATA_HOME=" + gioDataHome});
    if (set.exitCode != 0)
        SERVICE_MISSING() << "GIO metadata is not writable here: " << set.err.toStdString();

    const IconProvider::Icon icon = iconOf(item);
    EXPECT_EQ(icon.source, QFile::decodeName(png));
    EXPECT_TRUE(icon.name.isEmpty());
    EXPECT_EQ(QColor(IconProvider::render(icon, 64).pixel(32, 32)), QColor(Qt::magenta));

    // A theme icon name chosen by the user comes next.
    ASSERT_EQ(test::RunProcess("gio", {"set", QFile::decodeName(item), "metadata::custom-icon-name", "folder"},
                               {"XDG_DATA_HOME=" + gioDataHome})
                  .exitCode,
              0);
    EXPECT_EQ(iconOf(item).source, QFile::decodeName(png));

    // A custom icon whose picture has gone falls back to the chosen name.
    QFile::remove(QFile::decodeName(png));
    EXPECT_EQ(iconOf(item).name, "folder");
}

} // namespace
