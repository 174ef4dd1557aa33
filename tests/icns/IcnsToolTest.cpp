// "pictomat icns list" and "pictomat icns extract", run in process.

#include "IcnsTestSupport.h"
#include "icns/IcnsTool.h"
#include "icns/IconFamily.h"
#include "TestEnv.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryFile>

#include <cstdio>
#include <unistd.h>

using namespace pictomat::icns;
using pictomat::test::SamePixels;
using pictomat::test::TestPicture;

namespace {

struct ToolRun {
    int status;
    QByteArray out;
};

// Runs the tool with its standard output sent to a file we read back.
ToolRun runTool(const QStringList& args)
{
    QTemporaryFile capture;
    EXPECT_TRUE(capture.open());
    std::fflush(stdout);
    const int saved = ::dup(STDOUT_FILENO);
    ::dup2(capture.handle(), STDOUT_FILENO);
    const int status = RunIcnsTool(args);
    std::fflush(stdout);
    ::dup2(saved, STDOUT_FILENO);
    ::close(saved);
    capture.seek(0);
    return {status, capture.readAll()};
}

class IcnsTool : public pictomat::test::TestEnv {};

} // namespace

TEST_F(IcnsTool, ListsAndExtractsEveryPicture)
{
    IconFamily family = IconFamily::fromImages({{16, TestPicture(16)}, {64, TestPicture(64)}});
    family.setElement(MakeOSType("info"), "<plist/>");
    const QByteArray file = writeFile(QStringLiteral("work/a.icns"), family.toIcns());

    const ToolRun listed = runTool({"list", QFile::decodeName(file)});
    EXPECT_EQ(listed.status, 0);
    const QList<QByteArray> lines = listed.out.trimmed().split('\n');
    ASSERT_EQ(lines.size(), 4) << listed.out.constData();
    EXPECT_EQ(lines[0].simplified(), QByteArray("is32 ") + QByteArray::number(family.element(MakeOSType("is32"))->size()) + " 16x16");
    EXPECT_EQ(lines[1].simplified(), QByteArray("s8mk 256 mask"));
    EXPECT_TRUE(lines[2].simplified().endsWith(" 64x64 @2x")) << lines[2].constData();
    EXPECT_EQ(lines[3].simplified(), QByteArray("info 8 -"));

    const QString folder = work() + QStringLiteral("/out");
    const ToolRun extracted = runTool({"extract", QFile::decodeName(file), folder});
    EXPECT_EQ(extracted.status, 0);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files), QStringList({"ic12-64x64@2x.png", "is32-16x16.png"}));
    EXPECT_TRUE(SamePixels(TestPicture(64), QImage(folder + QStringLiteral("/ic12-64x64@2x.png"))));
    EXPECT_TRUE(SamePixels(TestPicture(16), QImage(folder + QStringLiteral("/is32-16x16.png"))));
}

TEST_F(IcnsTool, FailuresAndUsage)
{
    const QByteArray notIcns = writeFile(QStringLiteral("work/b.icns"), "not an icon");
    EXPECT_EQ(runTool({"list", QFile::decodeName(notIcns)}).status, 1);
    EXPECT_EQ(runTool({"extract", QFile::decodeName(notIcns)}).status, 2);
    const QByteArray good = writeFile(QStringLiteral("work/c.icns"),
                                      IconFamily::fromImages({{32, TestPicture(32)}}).toIcns());
    EXPECT_EQ(runTool({"extract", QFile::decodeName(good), QFile::decodeName(notIcns) + "/sub"}).status, 1);
}
