#include "files/FileRef.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <unistd.h>

using pictomat::FileRef;

TEST(FileRef, NamesAndParentsKeepTheFileSystemsBytes)
{
    const QByteArray latin1Name("caf\xe9 \"quoted\".png");
    const FileRef f("/tmp/dir/" + latin1Name);
    EXPECT_EQ(f.name(), latin1Name);
    EXPECT_EQ(f.parent().path(), QByteArray("/tmp/dir"));
    EXPECT_EQ(FileRef("/top").parent().path(), QByteArray("/"));
    EXPECT_TRUE(FileRef("/").parent().isEmpty());
    EXPECT_TRUE(FileRef().parent().isEmpty());
    EXPECT_EQ(FileRef("/a/b/").name(), QByteArray("b"));
}

TEST(FileRef, UrisRoundTripEveryByte)
{
    const QByteArray path("/tmp/odd \xff\xfe name\n%25 #?.txt");
    const FileRef f(path);
    EXPECT_EQ(FileRef::fromUri(f.uri()).path(), path);
    EXPECT_EQ(FileRef::fromUri(f.url().toEncoded()).path(), path);
    EXPECT_EQ(FileRef::fromUri("file://localhost/x/y").path(), QByteArray("/x/y"));
    EXPECT_TRUE(FileRef::fromUri("http://example.com/x").isEmpty());
    EXPECT_TRUE(FileRef::fromUri("file://otherhost/x").isEmpty());
    EXPECT_TRUE(FileRef::fromUri("file:///a%00b").isEmpty());
}

TEST(FileRef, OperandsAreMadeAbsoluteAndDotsTakenOutByTheirWords)
{
    EXPECT_EQ(FileRef::fromLocalPath("/a/./b/../c/").path(), QByteArray("/a/c"));
    EXPECT_EQ(FileRef::fromLocalPath("/..").path(), QByteArray("/"));
    EXPECT_EQ(FileRef::fromUri("file:///a/b/%2E%2E/c").path(), QByteArray("/a/c"));
    // Relative to the working folder, by its name: ".." after a link is the
    // folder the link is in, not the parent of where it leads.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(QDir().mkpath(dir.path() + "/far/away"));
    ASSERT_EQ(::symlink("far/away", QFile::encodeName(dir.path() + "/near").constData()), 0);
    const QByteArray base = QFile::encodeName(QDir(dir.path()).canonicalPath());
    const QByteArray old = QFile::encodeName(QDir::currentPath());
    ASSERT_EQ(::chdir(base.constData()), 0);
    EXPECT_EQ(FileRef::fromLocalPath(".").path(), base);
    EXPECT_EQ(FileRef::fromLocalPath("near/..").path(), base);
    EXPECT_EQ(FileRef::fromLocalPath("near/./x").path(), base + "/near/x");
    ASSERT_EQ(::chdir(old.constData()), 0);
}
