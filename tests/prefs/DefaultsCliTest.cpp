#include "HostilePlists.h"
#include "PrefsFixture.h"

#include <gtest/gtest.h>

using namespace pictomat::prefs;

namespace pictomat::test {
namespace {

using DefaultsCommand = PrefsTest;

TEST_F(DefaultsCommand, WriteThenReadFromTheShell)
{
    ProcessResult r = RunPictomat({"defaults", "write", "IconSize", "-int", "256"});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    r = RunPictomat({"defaults", "read", "IconSize"});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(r.out, "256\n");
    EXPECT_EQ(GetIconSizePreference(domain()), 256);

    r = RunPictomat({"defaults", "write", "IconSize", "-bool", "yes"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_FALSE(r.err.isEmpty());
    EXPECT_EQ(RunPictomat({"defaults", "read", "IconSize"}).out, "256\n");
}

// Each of these once crashed every command or held it for seconds to hours
// inside libplist. Now each is a damaged file: every command starts with the
// defaults at once, and the first write keeps the file aside.
TEST_F(DefaultsCommand, BinaryListsThatWouldOverwhelmTheParserAreDamagedFiles)
{
    const struct {
        const char* name;
        QByteArray bytes;
        const char* why;
    } hostile[] = {
        {"100,000 nested arrays", NestedArraysPlist(100000), "more than 65536 objects"},
        {"1,000 nested arrays", NestedArraysPlist(1000), "nests deeper than 512 levels"},
        {"40 doubling arrays", DoublingArraysPlist(40), "unfolds into more than 65536 values"},
        {"an array holding itself", SelfHoldingArrayPlist(), "refers to itself"},
    };
    for (const auto& file : hostile) {
        SCOPED_TRACE(file.name);
        writeFile(plistPath(), file.bytes);
        // A budget no command comes near; libplist took 3 s for 20,000 levels.
        ProcessResult r = RunPictomat({"defaults", "read"}, {}, 10000);
        ASSERT_FALSE(r.timedOut);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_TRUE(r.err.contains(file.why)) << r.err.constData();
        r = RunPictomat({"defaults", "write", "IconSize", "-int", "64"}, {}, 10000);
        ASSERT_FALSE(r.timedOut);
        EXPECT_EQ(r.exitCode, 0) << r.err.constData();
        EXPECT_TRUE(r.err.contains("was kept as")) << r.err.constData();
        const ProcessResult check = RunPython(
            "import plistlib, sys\n"
            "assert plistlib.load(open(sys.argv[1], 'rb')) == {'IconSize': 64}\n",
            {plistPath()});
        EXPECT_EQ(check.exitCode, 0) << check.err.constData();
        QFile kept(plistPath() + ".corrupt");
        ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
        EXPECT_EQ(kept.readAll(), file.bytes);
        kept.remove();
    }
    // The deepest a file may nest: the dictionary and 511 arrays.
    writeFile(plistPath(), NestedArraysPlist(510));
    const ProcessResult r = RunPictomat({"defaults", "read", "A"}, {}, 10000);
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(r.out.count("<array>"), 510);
}

} // namespace
} // namespace pictomat::test
