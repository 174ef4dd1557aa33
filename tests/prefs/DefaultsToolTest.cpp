#include "prefs/DefaultsTool.h"
#include "PrefsFixture.h"

#include "prefs/Preferences.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace pictomat::prefs;

namespace pictomat::test {
namespace {

struct ToolResult {
    int status;
    std::string out;
    std::string err;
};

class DefaultsTool : public PrefsTest {
protected:
    // Runs the tool as a fresh process would: with a store that has read nothing yet.
    ToolResult run(const QStringList& args)
    {
        renewDomain();
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        const int status = RunDefaultsTool(domain(), args);
        ToolResult r{status, testing::internal::GetCapturedStdout(), testing::internal::GetCapturedStderr()};
        renewDomain();
        return r;
    }
};

TEST_F(DefaultsTool, WritesEveryKindAndReadsItBack)
{
    EXPECT_EQ(run({"write", "IconSize", "-int", "256"}).status, 0);
    EXPECT_EQ(GetIconSizePreference(domain()), 256);
    EXPECT_EQ(run({"read", "IconSize"}).out, "256\n");

    for (const auto& [text, expected] : {std::pair{"yes", true}, {"0", false}, {"TRUE", true}, {"no", false}}) {
        EXPECT_EQ(run({"write", "AppendIconSize", "-bool", text}).status, 0) << text;
        EXPECT_EQ(GetBooleanPreference(domain(), key::AppendIconSize), expected) << text;
    }
    EXPECT_EQ(run({"write", "BackgroundColorRedComponent", "-float", "0.5"}).status, 0);
    EXPECT_EQ(run({"write", "ImageFolderPathname", "-string", "/tmp/My Icons"}).status, 0);
    EXPECT_EQ(run({"write", "Note", "-string", "two\nlines"}).status, 0);
    EXPECT_EQ(GetStringPreference(domain(), key::ImageFolderPathname), QStringLiteral("/tmp/My Icons"));
    EXPECT_EQ(run({"read", "ImageFolderPathname"}).out, "/tmp/My Icons\n");

    // The listing holds every value in force, in key order: those set, and
    // the defaults of the others.
    const ToolResult all = run({"read"});
    EXPECT_EQ(all.status, 0);
    std::vector<std::string> lines;
    for (const QString& line : QString::fromStdString(all.out).split('\n', Qt::SkipEmptyParts))
        lines.push_back(line.toStdString());
    // Of the two declared keys without a default, the folder is set; the
    // note is no declared key.
    EXPECT_EQ(lines.size(), size_t(AllKeys().size() - 1 + 1)) << all.out;
    EXPECT_TRUE(std::is_sorted(lines.begin(), lines.end())) << all.out;
    for (const char* line : {"AppendIconSize = false", "BackgroundColorRedComponent = 0.5", "IconSize = 256",
                             "ImageFolderPathname = /tmp/My Icons", "Note = two\\nlines",
                             "BackgroundColorBlueComponent = 1 (default)", "OpenImageFileForMe = true (default)",
                             "SelectionExpirySeconds = 600 (default)", "IncludeMakeWindowsIcon = false (default)"})
        EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end()) << line << "\n" << all.out;
}

TEST_F(DefaultsTool, RefusesBadFlagsValuesAndKindsWithoutWriting)
{
    ASSERT_EQ(run({"write", "IconSize", "-int", "64"}).status, 0);
    const QByteArray before = plistBytes();
    const QStringList refused[] = {
        {"write", "IconSize", "-integer", "5"},
        {"write", "IconSize", "-int", "12x"},
        {"write", "IconSize", "-int", ""},
        {"write", "IconSize", "-int", "99999999999999999999"},
        {"write", "Extra", "-float", "nan"},
        {"write", "Extra", "-float", "1,5"},
        {"write", "UseItemsFolder", "-bool", "maybe"},
        {"write", "IconSize", "-string", "256"},
        {"write", "IncludeMakeIcons", "-int", "0"},
        {"write", "BackgroundColorRedComponent", "-int", "0"},
        {"write", "ImageFolderPathname", "-bool", "yes"},
        {"write", "Bell", "-string", QStringLiteral("ding\x07")},
        {"write", "IconSize", "-int"},
        {"write", "IconSize", "-int", "1", "2"},
        {"frobnicate"},
        {},
    };
    for (const QStringList& args : refused) {
        const ToolResult r = run(args);
        EXPECT_EQ(r.status, 2) << args.join(' ').toStdString();
        EXPECT_FALSE(r.err.empty()) << args.join(' ').toStdString();
        EXPECT_EQ(plistBytes(), before) << args.join(' ').toStdString();
    }
    EXPECT_NE(run({"write", "IconSize", "-string", "256"}).err.find("-int"), std::string::npos);

    // "alpha" and keys of no one's declaration take any kind.
    EXPECT_EQ(run({"write", "alpha", "-string", "0.5"}).status, 0);
    EXPECT_EQ(GetStandardAlphaDefault(domain()), 0.5f);
    EXPECT_EQ(run({"write", "alpha", "-int", "0"}).status, 0);
    EXPECT_EQ(GetStandardAlphaDefault(domain()), 0.0f);
    EXPECT_EQ(run({"write", "SomethingElse", "-bool", "1"}).status, 0);
}

TEST_F(DefaultsTool, MissingKeysDeletionAndDamagedFiles)
{
    ToolResult r = run({"read", "IconSize"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.out.empty());
    EXPECT_NE(r.err.find("IconSize"), std::string::npos);
    EXPECT_NE(run({"read"}).out.find("IconSize = 128 (default)\n"), std::string::npos);
    EXPECT_EQ(run({"delete", "IconSize"}).status, 1);

    ASSERT_EQ(run({"write", "IconSize", "-int", "300"}).status, 0);
    ASSERT_EQ(run({"write", "ImageQuality", "-int", "2"}).status, 0);
    EXPECT_EQ(run({"delete", "IconSize"}).status, 0);
    EXPECT_EQ(GetIconSizePreference(domain()), 128);
    EXPECT_EQ(GetImageQualityPreference(domain()), 512);
    EXPECT_EQ(run({"read", "IconSize"}).status, 1);

    // A damaged domain is reported, not shown as empty; a write keeps it aside.
    writeFile(plistPath(), "not a plist");
    r = run({"read"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("not a valid property list"), std::string::npos) << r.err;
    r = run({"write", "IconSize", "-int", "16"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find(".corrupt"), std::string::npos) << r.err;
    EXPECT_EQ(run({"read", "IconSize"}).out, "16\n");
}

} // namespace
} // namespace pictomat::test
