#include "platform/FileRef.h"

#include <gtest/gtest.h>

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
