#include "files/FinderInfo.h"
#include "platform/CustomIcons.h"
#include "platform/IconTheme.h"

#include "TestEnv.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QRegularExpression>

#include <gio/gio.h>

#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>

using namespace pictomat;

namespace {

constexpr const char* kChildMarker = "PICTOMAT_TEST_CHILD_WITHOUT_METADATA";

QImage halves(int width, int height, QColor left, QColor right)
{
    QImage image(width, height, QImage::Format_ARGB32);
    QPainter p(&image);
    p.fillRect(0, 0, width / 2, height, left);
    p.fillRect(width / 2, 0, width - width / 2, height, right);
    return image;
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class CustomIconsTest : public test::TestEnv {
protected:
    void SetUp() override
    {
        TestEnv::SetUp();
        if (!qEnvironmentVariableIsSet(kChildMarker) && !CustomIcons::metadataAvailable())
            SERVICE_MISSING() << "no GVfs metadata service on a session bus";
    }

    QByteArray gioCustomIcon(const QByteArray& item) { return test::GioCustomIcon(item); }
};

TEST_F(CustomIconsTest, SetIconIsSeenByGioAndRemovedAgain)
{
    const QByteArray item = writeFile("photo.txt", "not a picture, it gets one anyway");
    const QImage picture = halves(2048, 1024, Qt::red, Qt::blue);
    Error error;
    ASSERT_TRUE(CustomIcons::setCustomIcon(FileRef(item), picture, &error)) << error.message.toStdString();

    const QByteArray icon = gioCustomIcon(item);
    ASSERT_TRUE(icon.startsWith(QFile::encodeName(dataHome() + "/pictomat/icons/"))) << icon.constData();
    EXPECT_EQ(CustomIcons::customIconPath(FileRef(item)), icon);
    // Pillow decodes the stored picture: scaled to 1024 on the longer side.
    const test::ProcessResult decoded = test::RunPython(
        "import sys; from PIL import Image; im = Image.open(sys.argv[1]); rgb = im.convert('RGB');"
        "print(im.format, im.size[0], im.size[1], rgb.getpixel((100, 256)), rgb.getpixel((900, 256)))",
        {QFile::decodeName(icon)});
    EXPECT_EQ(decoded.out.trimmed(), "PNG 1024 512 (255, 0, 0) (0, 0, 255)") << decoded.err.toStdString();

    // The same picture on another item shares the stored file.
    const QByteArray twin = writeFile("twin.txt", "x");
    ASSERT_TRUE(CustomIcons::setCustomIcon(FileRef(twin), picture.convertToFormat(QImage::Format_RGB32)));
    EXPECT_EQ(gioCustomIcon(twin), icon);
    EXPECT_EQ(QDir(dataHome() + "/pictomat/icons").entryList(QDir::Files).size(), 1);

    ASSERT_TRUE(CustomIcons::removeCustomIcon(FileRef(item), &error)) << error.message.toStdString();
    EXPECT_TRUE(gioCustomIcon(item).isEmpty());
    EXPECT_EQ(CustomIcons::customIconPath(FileRef(item)), std::nullopt);
    EXPECT_EQ(gioCustomIcon(twin), icon);

    // A name that is not UTF-8 gets its icon on exactly that file.
    const QByteArray latin1 = QFile::encodeName(work()) + "/caf\xe9.png";
    {
        FILE* f = ::fopen(latin1.constData(), "w");
        ASSERT_NE(f, nullptr);
        ::fclose(f);
    }
    EXPECT_TRUE(CustomIcons::setCustomIcon(FileRef(latin1), picture));
    EXPECT_EQ(gioCustomIcon(latin1), icon);
    EXPECT_TRUE(CustomIcons::removeCustomIcon(FileRef(latin1)));
    EXPECT_TRUE(gioCustomIcon(latin1).isEmpty());
    ::unlink(latin1.constData()); // Qt cannot clean up a name it cannot decode

    EXPECT_FALSE(CustomIcons::setCustomIcon(FileRef(item + "-missing"), picture, &error));
    EXPECT_FALSE(CustomIcons::setCustomIcon(FileRef(item), QImage(), &error));
}

TEST_F(CustomIconsTest, FolderIconMergesIntoTheDirectoryFile)
{
    const QByteArray original =
        "# written by hand\n"
        "[Desktop Entry]\n"
        "Name=Holiday\n"
        "Icon[de]=urlaub\n"
        "Comment=keep me\n"
        "\n"
        "[X-Other]\n"
        "Icon=other-icon\n";
    const QByteArray directoryFile = writeFile("album/.directory", original);
    const FileRef folder(QFile::encodeName(work() + "/album"));

    ASSERT_TRUE(CustomIcons::setCustomIcon(folder, halves(64, 64, Qt::green, Qt::green)));
    const QByteArray first = gioCustomIcon(folder.path());
    ASSERT_FALSE(first.isEmpty());
    QByteArray expected = original;
    expected.replace("Comment=keep me\n", "Comment=keep me\nIcon=" + first + "\n");
    EXPECT_EQ(readAll(QFile::decodeName(directoryFile)), expected);

    // A new picture replaces our line instead of adding another.
    ASSERT_TRUE(CustomIcons::setCustomIcon(folder, halves(64, 64, Qt::yellow, Qt::yellow)));
    const QByteArray second = gioCustomIcon(folder.path());
    ASSERT_NE(second, first);
    expected.replace("Icon=" + first, "Icon=" + second);
    EXPECT_EQ(readAll(QFile::decodeName(directoryFile)), expected);

    ASSERT_TRUE(CustomIcons::removeCustomIcon(folder));
    EXPECT_EQ(readAll(QFile::decodeName(directoryFile)), original);
    EXPECT_TRUE(gioCustomIcon(folder.path()).isEmpty());

    // A folder without the file gets one, and loses it again on removal.
    const FileRef bare(QFile::encodeName(work() + "/bare"));
    ASSERT_TRUE(QDir().mkpath(work() + "/bare"));
    ASSERT_TRUE(CustomIcons::setCustomIcon(bare, halves(8, 8, Qt::red, Qt::red)));
    EXPECT_TRUE(
        readAll(work() + "/bare/.directory").endsWith("[Desktop Entry]\nIcon=" + gioCustomIcon(bare.path()) + "\n"));
    ASSERT_TRUE(CustomIcons::removeCustomIcon(bare));
    EXPECT_FALSE(QFileInfo::exists(work() + "/bare/.directory"));

    // An icon Dolphin set goes too: removal means the folder's custom icon
    // goes, whoever set it. Everything else of the file stays, and so does a
    // file that Dolphin made.
    writeFile("bare/.directory", "[Desktop Entry]\nIcon=folder-red\n");
    ASSERT_TRUE(CustomIcons::removeCustomIcon(bare));
    EXPECT_EQ(readAll(work() + "/bare/.directory"), "[Desktop Entry]\n");
    writeFile("album/.directory", "[Desktop Entry]\nIcon = folder-blue\nIcon[de]=ordner\n[Dolphin]\nViewMode=1\n");
    ASSERT_TRUE(CustomIcons::removeCustomIcon(folder));
    EXPECT_EQ(readAll(QFile::decodeName(directoryFile)), "[Desktop Entry]\nIcon[de]=ordner\n[Dolphin]\nViewMode=1\n");
}

// An open file-manager view repaints an item only when told it changed: every
// setting and removal ends with an attribute change on the item itself (for
// a folder, on the folder), as watchers of the item and of its folder see it.
TEST_F(CustomIconsTest, SettingAndRemovingTellWatchersOfTheItem)
{
    const QByteArray file = writeFile("seen/picture.txt", "x");
    const FileRef folder(QFile::encodeName(work() + "/seen"));
    const QImage picture = halves(16, 16, Qt::red, Qt::blue);
    struct Case {
        const char* what;
        FileRef item;
        std::function<bool()> change;
    };
    const QList<Case> cases = {
        {"set on a file", FileRef(file), [&] { return CustomIcons::setCustomIcon(FileRef(file), picture); }},
        {"removed from a file", FileRef(file), [&] { return CustomIcons::removeCustomIcon(FileRef(file)); }},
        {"set on a folder", folder, [&] { return CustomIcons::setCustomIcon(folder, picture); }},
        {"removed from a folder", folder, [&] { return CustomIcons::removeCustomIcon(folder); }},
    };
    for (const Case& c : cases) {
        const int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        ASSERT_GE(fd, 0);
        ASSERT_GE(::inotify_add_watch(fd, c.item.c_path(), IN_ATTRIB), 0);
        ASSERT_TRUE(c.change()) << c.what;
        alignas(inotify_event) char buffer[4096];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        ::close(fd);
        ASSERT_GT(n, 0) << c.what << ": no change notice";
        EXPECT_TRUE(reinterpret_cast<const inotify_event*>(buffer)->mask & IN_ATTRIB) << c.what;
    }
}

// The real command, read back by gio: removal also takes out a themed icon
// name that another program set.
TEST_F(CustomIconsTest, RemoveIconCommandTakesOutAThemedIconNameToo)
{
    const QByteArray item = writeFile("themed.txt", "x");
    const QStringList env = {"XDG_DATA_HOME=" + dataHome()};
    ASSERT_EQ(test::RunProcess("gio", {"set", QFile::decodeName(item), "metadata::custom-icon-name", "starred"}, env)
                  .exitCode,
              0);
    const auto iconName = [&] {
        return test::RunProcess("gio", {"info", "-a", "metadata::custom-icon-name", QFile::decodeName(item)}, env).out;
    };
    ASSERT_TRUE(iconName().contains("metadata::custom-icon-name: starred")) << iconName().toStdString();
    const test::ProcessResult r = test::RunPictomat({"run", "remove-icon", QFile::decodeName(item)}, env);
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_FALSE(iconName().contains("custom-icon-name")) << iconName().toStdString();
}

TEST_F(CustomIconsTest, ALinkedOrSpecialDirectoryFileIsNeverEdited)
{
    const QByteArray bashrc = "export PATH=$HOME/bin:$PATH\n";
    writeFile("home/.bashrc", bashrc);
    ASSERT_TRUE(QDir().mkpath(work() + "/downloaded"));
    ASSERT_TRUE(QFile::link(work() + "/home/.bashrc", work() + "/downloaded/.directory"));
    ASSERT_TRUE(QDir().mkpath(work() + "/piped"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(work() + "/piped/.directory").constData(), 0600), 0);
    for (const char* name : {"downloaded", "piped"}) {
        const FileRef folder(QFile::encodeName(work() + "/" + name));
        Error error;
        EXPECT_FALSE(CustomIcons::setCustomIcon(folder, halves(8, 8, Qt::red, Qt::red), &error)) << name;
        EXPECT_TRUE(error.message.contains(".directory")) << error.message.toStdString();
        EXPECT_TRUE(gioCustomIcon(folder.path()).isEmpty()) << name;
        EXPECT_FALSE(CustomIcons::removeCustomIcon(folder, &error)) << name;
    }
    EXPECT_EQ(readAll(work() + "/home/.bashrc"), bashrc);
    EXPECT_TRUE(QFileInfo(work() + "/downloaded/.directory").isSymLink());
}

// Runs this test binary again with the session bus out of reach, so GIO
// finds no metadata service; the child half of the test checks there.
// Without GVfs a file gets no custom icon, and nothing is stored in vain; a
// folder still gets the .directory icon Dolphin and PCManFM-Qt show.
TEST_F(CustomIconsTest, WithoutMetadataServiceFilesFailAndFoldersUseDirectoryAlone)
{
    const QByteArray item = writeFile("lonely.txt", "x");
    if (qEnvironmentVariableIsSet(kChildMarker)) {
        EXPECT_FALSE(CustomIcons::metadataAvailable());
        Error error;
        EXPECT_FALSE(CustomIcons::setCustomIcon(FileRef(item), halves(8, 8, Qt::red, Qt::red), &error));
        EXPECT_FALSE(error.message.isEmpty());
        EXPECT_FALSE(QFileInfo::exists(dataHome() + "/pictomat/icons"));
        error = {};
        EXPECT_FALSE(CustomIcons::removeCustomIcon(FileRef(item), &error));
        EXPECT_FALSE(error.message.isEmpty());

        const QString folder = work() + "/album";
        ASSERT_TRUE(QDir().mkpath(folder));
        EXPECT_TRUE(
            CustomIcons::setCustomIcon(FileRef(QFile::encodeName(folder)), halves(8, 8, Qt::red, Qt::red), &error))
            << error.message.toStdString();
        const std::optional<IniGroups> directory = ReadIniFile(folder + "/.directory");
        ASSERT_TRUE(directory.has_value());
        const QString icon = directory->value("Desktop Entry").value("Icon");
        EXPECT_TRUE(icon.startsWith(dataHome() + "/pictomat/icons/")) << icon.toStdString();
        EXPECT_TRUE(QFileInfo::exists(icon));
        EXPECT_TRUE(CustomIcons::removeCustomIcon(FileRef(QFile::encodeName(folder)), &error))
            << error.message.toStdString();
        EXPECT_FALSE(QFileInfo::exists(folder + "/.directory"));
        return;
    }
    const test::ProcessResult child =
        test::RunProcess(QCoreApplication::applicationFilePath(),
                         {"--gtest_filter=CustomIconsTest.WithoutMetadataServiceFilesFailAndFoldersUseDirectoryAlone"},
                         {QString::fromLatin1(kChildMarker) + "=1",
                          "DBUS_SESSION_BUS_ADDRESS=unix:path=" + root() + "/no-bus", "GIO_USE_VFS", "DISPLAY"},
                         60000);
    EXPECT_FALSE(child.timedOut);
    EXPECT_EQ(child.exitCode, 0) << child.out.toStdString() << child.err.toStdString();
    EXPECT_TRUE(child.out.contains("[  PASSED  ] 1 test")) << child.out.toStdString();
}

class FinderInfoTest : public test::TestEnv { };

TEST_F(FinderInfoTest, TypeThenCreatorClearOnlyTheirBytes)
{
    const QByteArray file = writeFile("old.icns", "data");
    QByteArray info = "TEXTttxt";
    for (char c = 8; c < 32; ++c)
        info += c;
    const QString setter =
        "import os, sys; os.setxattr(sys.argv[1], 'user.com.apple.FinderInfo', bytes.fromhex(sys.argv[2]))";
    const test::ProcessResult set =
        test::RunPython(setter, {QFile::decodeName(file), QString::fromLatin1(info.toHex())});
    if (set.exitCode != 0)
        SERVICE_MISSING() << "no user extended attributes here: " << set.err.toStdString();

    EXPECT_TRUE(ClearFinderInfoBytes(FileRef(file), 0));
    EXPECT_TRUE(ClearFinderInfoBytes(FileRef(file), 4));
    const test::ProcessResult get =
        test::RunPython("import os, sys; print(os.getxattr(sys.argv[1], 'user.com.apple.FinderInfo').hex())",
                        {QFile::decodeName(file)});
    QByteArray expected = info;
    expected.replace(0, 8, QByteArray(8, '\0'));
    EXPECT_EQ(QByteArray::fromHex(get.out.trimmed()), expected);

    // No attribute: nothing to clear and nothing created.
    const QByteArray plain = writeFile("plain.icns", "data");
    EXPECT_FALSE(ClearFinderInfoBytes(FileRef(plain), 0));
    EXPECT_LT(::getxattr(plain.constData(), "user.com.apple.FinderInfo", nullptr, 0), 0);
}

TEST_F(FinderInfoTest, TouchIsAnAttributeChangeWatchersSee)
{
    const QByteArray file = writeFile("watched.png", "pixels");
    struct stat before;
    ASSERT_EQ(::stat(file.constData(), &before), 0);
    const int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_GE(::inotify_add_watch(fd, QFile::encodeName(work()).constData(), IN_ATTRIB | IN_MODIFY), 0);

    EXPECT_EQ(TouchForFileManagers(FileRef(file)), 0);
    alignas(inotify_event) char buffer[4096];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    ::close(fd);
    ASSERT_GT(n, 0);
    const auto* event = reinterpret_cast<const inotify_event*>(buffer);
    EXPECT_TRUE(event->mask & IN_ATTRIB);
    EXPECT_STREQ(event->name, "watched.png");
    EXPECT_EQ(n, ssize_t(sizeof(inotify_event) + event->len)); // no content change reported

    struct stat after;
    ASSERT_EQ(::stat(file.constData(), &after), 0);
    EXPECT_EQ(after.st_mode, before.st_mode);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    EXPECT_EQ(readAll(QFile::decodeName(file)), "pixels");
    EXPECT_NE(TouchForFileManagers(FileRef(file + "-gone")), 0);
}

} // namespace
