#include "output/OutputFolder.h"

#include "TestEnv.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>
#include <unistd.h>

using namespace pictomat;

namespace {

QByteArray bytes(const QString& path)
{
    return QFile::encodeName(path);
}

class OutputFolderTest : public test::TestEnv {
protected:
    FileRef resolve(const FileRef& item) const { return ResolveOutputFolder(item, rule); }
    QByteArray defaultFolder() const { return bytes(dataHome() + "/Corvane Software/Pictomat"); }
    QByteArray makeFolder(const QString& relative)
    {
        const QString path = work() + "/" + relative;
        EXPECT_TRUE(QDir().mkpath(path));
        return bytes(path);
    }

    OutputFolderRule rule;
};

TEST_F(OutputFolderTest, ItemsFolderPutsEachOutputBesideItsItem)
{
    rule.useItemsFolder = true;
    const FileRef first(writeFile("one/a.png", "a"));
    const FileRef second(writeFile("two/b.png", "b"));
    EXPECT_EQ(resolve(first).path(), bytes(work() + "/one"));
    EXPECT_EQ(resolve(second).path(), bytes(work() + "/two"));

    // A linked item's output goes beside the link, where the user picked it.
    ASSERT_EQ(::symlink(second.c_path(), bytes(work() + "/one/link.png").constData()), 0);
    EXPECT_EQ(resolve(FileRef(bytes(work() + "/one/link.png"))).path(), bytes(work() + "/one"));
    // A folder written with ".." is taken where it really is.
    EXPECT_EQ(resolve(FileRef(bytes(work() + "/one/../two/b.png"))).path(), bytes(work() + "/two"));

    // No current item (before the first command) falls through to the default.
    EXPECT_EQ(resolve(FileRef()).path(), defaultFolder());
}

TEST_F(OutputFolderTest, VolumeRootsHaveNoParentFolder)
{
    rule.useItemsFolder = true;
    EXPECT_TRUE(resolve(FileRef(QByteArray("/"))).isEmpty());
    EXPECT_TRUE(resolve(FileRef(QByteArray("/proc"))).isEmpty()); // a mount point

    FileRef parent(QByteArray("/sentinel"));
    EXPECT_EQ(GetParentFolder(FileRef(QByteArray("/")), &parent), kNoErr);
    EXPECT_TRUE(parent.isEmpty());
    EXPECT_EQ(GetParentFolder(FileRef(bytes(work() + "/missing")), &parent), kFnfErr);
}

TEST_F(OutputFolderTest, ImageFolderMustBeAnExistingFolder)
{
    const FileRef item(writeFile("items/x.txt", "x"));
    rule.imageFolderPathname = QString::fromUtf8(writeFile("afile", "f"));
    EXPECT_EQ(resolve(item).path(), defaultFolder());

    const QString missing = work() + "/not/there";
    rule.imageFolderPathname = missing;
    EXPECT_EQ(resolve(item).path(), defaultFolder());
    EXPECT_FALSE(QFileInfo::exists(missing));

    rule.imageFolderPathname = QStringLiteral("relative/folder");
    EXPECT_EQ(resolve(item).path(), defaultFolder());

    const QByteArray chosen = makeFolder(QStringLiteral("Bilder für Icons"));
    rule.imageFolderPathname = QString::fromUtf8(chosen);
    EXPECT_EQ(resolve(item).path(), chosen);
}

TEST_F(OutputFolderTest, PathLimitsSendLongPathsToTheNextRule)
{
    // Grow a folder path to an exact byte length with components of at most
    // 200 bytes.
    const auto folderOfLength = [this](const QString& top, qsizetype length) {
        QByteArray path = bytes(work() + "/" + top);
        EXPECT_TRUE(QDir().mkpath(QFile::decodeName(path)));
        while (path.size() < length) {
            const qsizetype part = std::min<qsizetype>(200, length - path.size() - 1);
            path += "/" + QByteArray(std::max<qsizetype>(part, 1), 'd');
            ::mkdir(path.constData(), 0755);
        }
        EXPECT_EQ(path.size(), length);
        return path;
    };
    const QByteArray fits = folderOfLength("a", 1022);
    const QByteArray tooLong = folderOfLength("b", 1023);
    rule.imageFolderPathname = QString::fromUtf8(fits);
    EXPECT_EQ(resolve(FileRef()).path(), fits);
    rule.imageFolderPathname = QString::fromUtf8(tooLong);
    EXPECT_EQ(resolve(FileRef()).path(), defaultFolder());

    rule.useItemsFolder = true;
    const QByteArray deep = folderOfLength("c", 2044);
    const QByteArray itemFits = deep + "/x";     // 2046 bytes
    const QByteArray itemTooLong = deep + "/xy"; // 2047 bytes
    for (const QByteArray& p : {itemFits, itemTooLong})
        QFile(QFile::decodeName(p)).open(QIODevice::WriteOnly);
    EXPECT_EQ(resolve(FileRef(itemFits)).path(), deep);
    EXPECT_EQ(resolve(FileRef(itemTooLong)).path(), defaultFolder());
}

TEST_F(OutputFolderTest, DefaultFolderIsCreatedOnceAndReused)
{
    ASSERT_TRUE(QDir(dataHome()).removeRecursively()); // created with its parents
    const FileRef first = resolve(FileRef());
    ASSERT_EQ(first.path(), defaultFolder());
    ASSERT_TRUE(first.isDirectory());
    struct stat before;
    ASSERT_EQ(::stat(first.c_path(), &before), 0);
    writeFile(QFile::decodeName(first.path()) + "/kept", "k");

    FileRef again;
    ASSERT_TRUE(FindOrCreateDefaultOutputFolder(&again));
    struct stat after;
    ASSERT_EQ(::stat(again.c_path(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino);
    EXPECT_TRUE(QFileInfo::exists(QFile::decodeName(again.path()) + "/kept"));

    // With no usable data folder there is no default folder, and the result
    // is the empty reference that later makes file creation fail.
    qputenv("XDG_DATA_HOME", writeFile("not-a-folder", "x"));
    EXPECT_FALSE(FindOrCreateDefaultOutputFolder(&again));
    EXPECT_TRUE(resolve(FileRef()).isEmpty());
}

TEST_F(OutputFolderTest, ChildNamesCannotReachOutOfTheParent)
{
    const FileRef parent(makeFolder("p"));
    makeFolder("sibling");
    FileRef child;
    EXPECT_FALSE(FindChildByName(parent, "../sibling", &child));
    EXPECT_NE(CreateChildFolder(parent, "x/y", &child), kNoErr);
    EXPECT_NE(CreateChildFolder(FileRef(), "c", &child), kNoErr);
    EXPECT_FALSE(QFileInfo::exists(work() + "/p/x"));
}

TEST_F(OutputFolderTest, RenameNeverReplacesAnotherFile)
{
    FileRef item(writeFile("r/temp", "new"));
    const QByteArray latin1Name("ic\xf4ne.icns"); // not UTF-8
    ASSERT_EQ(RenameItem(&item, latin1Name), kNoErr);
    EXPECT_EQ(item.name(), latin1Name);
    EXPECT_TRUE(item.isRegularFile());
    EXPECT_FALSE(QFileInfo::exists(work() + "/r/temp"));
    EXPECT_EQ(RenameItem(&item, latin1Name), kNoErr); // its own name

    const QByteArray taken = writeFile("r/taken", "old");
    EXPECT_EQ(RenameItem(&item, "taken"), kDupFNErr);
    EXPECT_EQ(item.name(), latin1Name);
    QFile old(QFile::decodeName(taken));
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), "old");

    EXPECT_EQ(RenameItem(&item, "a/b"), kBadNameErr);
    FileRef gone(bytes(work() + "/r/gone"));
    EXPECT_EQ(RenameItem(&gone, "other"), kFnfErr);
    // Qt cannot clean up a name it cannot decode.
    ::unlink(item.c_path());
}

TEST(OutputNames, AreTheItemNameWithTheirEndings)
{
    EXPECT_EQ(IcnsOutputName("Icon.icns"), "Icon.icns.icns");
    EXPECT_EQ(IcnsOutputName(" x \xff "), " x \xff .icns"); // nothing trimmed or replaced
    EXPECT_EQ(ExportOutputName("a.b", "png", false, 128), "a.b.png");
    EXPECT_EQ(ExportOutputName("a.b", "png", true, 128), "a.b_128.png");
    EXPECT_EQ(ExportOutputName("\xe9", "tiff", true, -32768), "\xe9_-32768.tiff");
}

} // namespace
