#include "output/StringUtils.h"

#include <gtest/gtest.h>

using pictomat::extractBetweenPattern;
using pictomat::FileRef;
using pictomat::stringWithFSRef;

TEST(ExtractBetweenPattern, CutsAfterTheFirstStartUpToTheFirstEndAfterIt)
{
    const QString page =
        QStringLiteral("<!DOCTYPE html><HTML><HEAD profile=\"x\"><title>T</title></HEAD><body>b</body></html>");
    EXPECT_EQ(extractBetweenPattern(page, "<head", "</head>"), QStringLiteral(" profile=\"x\"><title>T</title>"));

    // The second start lies between the first start and the end; the cut
    // still begins after the first one.
    EXPECT_EQ(extractBetweenPattern("a[x[y]z]", "[", "]"), QStringLiteral("x[y"));
    // An end that only occurs before the start is not found.
    EXPECT_EQ(extractBetweenPattern("</head> <head>text", "<head", "</head>"), std::nullopt);
    // Start and end found only in overlapping text do not count: the end is
    // searched after the whole start.
    EXPECT_EQ(extractBetweenPattern("abc", "ab", "bc"), std::nullopt);
    // Case folding beyond ASCII.
    EXPECT_EQ(extractBetweenPattern(QStringLiteral("ÄxÖ"), QStringLiteral("ä"), QStringLiteral("ö")),
              QStringLiteral("x"));
}

TEST(ExtractBetweenPattern, TouchingPatternsGiveEmptyButMissingOnesGiveNothing)
{
    const std::optional<QString> touching = extractBetweenPattern("<a></a>", "<a>", "</a>");
    ASSERT_TRUE(touching.has_value());
    EXPECT_TRUE(touching->isEmpty());

    EXPECT_EQ(extractBetweenPattern("text", "", "t"), std::nullopt);
    EXPECT_EQ(extractBetweenPattern("text", "t", ""), std::nullopt);
    EXPECT_EQ(extractBetweenPattern("", "a", "b"), std::nullopt);
    EXPECT_EQ(extractBetweenPattern("only start here", "start", "finish"), std::nullopt);
}

TEST(StringWithFSRef, GivesThePathOrNothing)
{
    EXPECT_EQ(stringWithFSRef(nullptr), std::nullopt);
    const FileRef empty;
    EXPECT_EQ(stringWithFSRef(&empty), std::nullopt);

    const FileRef utf8(QStringLiteral("/tmp/Bücher/ícone.png").toUtf8());
    EXPECT_EQ(stringWithFSRef(&utf8), QStringLiteral("/tmp/Bücher/ícone.png"));

    // Text decoded from bytes that are not UTF-8 would name some other file.
    const FileRef latin1(QByteArray("/tmp/caf\xe9.txt"));
    EXPECT_EQ(stringWithFSRef(&latin1), std::nullopt);

    // 4097 bytes and the terminating zero fill the 4098-byte buffer exactly.
    const QByteArray longest = "/" + QByteArray(4096, 'a');
    const FileRef fits(longest);
    ASSERT_TRUE(stringWithFSRef(&fits).has_value());
    EXPECT_EQ(stringWithFSRef(&fits)->size(), 4097);
    const FileRef tooLong(longest + "b");
    EXPECT_EQ(stringWithFSRef(&tooLong), std::nullopt);
}
