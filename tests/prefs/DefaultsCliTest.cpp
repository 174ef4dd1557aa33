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
    EXPECT_EQ(GetIconSizePreference(), 256);

    r = RunPictomat({"defaults", "write", "IconSize", "-bool", "yes"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_FALSE(r.err.isEmpty());
    EXPECT_EQ(RunPictomat({"defaults", "read", "IconSize"}).out, "256\n");
}

} // namespace
} // namespace pictomat::test
