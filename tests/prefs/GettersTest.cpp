#include "PrefsFixture.h"

#include <QFileInfo>

#include <gtest/gtest.h>

using namespace pictomat::prefs;

namespace pictomat::test {
namespace {

using Getters = PrefsTest;

TEST_F(Getters, EmptyDomainGivesTheDocumentedBehaviourAndWritesNothing)
{
    // All command groups but "Icon Sizes", output folder revealed, files
    // opened and given custom icons, same-named files replaced, no suffix.
    EXPECT_FALSE(GetBooleanPreference(domain(), key::UseItemsFolder));
    EXPECT_TRUE(GetBooleanPreference(domain(), key::OpenImageFolderForMe));
    EXPECT_TRUE(GetBooleanPreference(domain(), key::OpenImageFileForMe));
    EXPECT_TRUE(GetBooleanPreference(domain(), key::AddCustomIcon));
    EXPECT_TRUE(GetBooleanPreference(domain(), key::OverwriteFilesBySameName));
    EXPECT_FALSE(GetBooleanPreference(domain(), key::AppendIconSize));
    EXPECT_FALSE(GetBooleanPreference(domain(), key::ImageICNS));
    EXPECT_TRUE(GetBooleanPreference(domain(), key::MakeAsSubmenu));
    for (const char* k : {key::IncludeMakeIcons, key::IncludeCopyIcon, key::IncludeWebIcon, key::IncludeClipToIcon,
                          key::IncludeAddCustomIcon, key::IncludeRemoveCustomIcon})
        EXPECT_TRUE(GetBooleanPreference(domain(), k)) << k;
    EXPECT_FALSE(GetBooleanPreference(domain(), key::IncludeChangeIconSizes));
    EXPECT_EQ(GetIconSizePreference(domain()), 128);
    EXPECT_EQ(GetImageQualityPreference(domain()), 1023);
    float r = 0, g = 0, b = 0, a = 0;
    GetBackgroundColorPreference(domain(), r, g, b, a);
    EXPECT_EQ(r, 1.0f);
    EXPECT_EQ(g, 1.0f);
    EXPECT_EQ(b, 1.0f);
    EXPECT_EQ(a, 1.0f);
    EXPECT_FALSE(GetStringPreference(domain(), key::ImageFolderPathname));
    EXPECT_FALSE(GetStandardAlphaDefault(domain()));

    // Absent keys are never filled in with their defaults.
    EXPECT_FALSE(QFileInfo::exists(plistPath()));
}

TEST_F(Getters, ValuesOfTheWrongKindReadAsTheDefault)
{
    writeWithPlistlib(
        QStringLiteral("{'IncludeMakeIcons': 0, 'UseItemsFolder': 'yes', 'AppendIconSize': 1.0, 'IconSize': '256',"
                       " 'ImageQuality': True, 'ImageFolderPathname': 5, 'IncludeCopyIcon': False,"
                       " 'BackgroundColorRedComponent': 'zero', 'BackgroundColorGreenComponent': True,"
                       " 'BackgroundColorBlueComponent': [0]}"));
    EXPECT_TRUE(GetBooleanPreference(domain(), key::IncludeMakeIcons));
    EXPECT_FALSE(GetBooleanPreference(domain(), key::UseItemsFolder));
    EXPECT_FALSE(GetBooleanPreference(domain(), key::AppendIconSize));
    EXPECT_FALSE(GetBooleanPreference(domain(), key::IncludeCopyIcon)); // the one that is a boolean
    EXPECT_EQ(GetIconSizePreference(domain()), 128);
    EXPECT_EQ(GetImageQualityPreference(domain()), 1023);
    EXPECT_FALSE(GetStringPreference(domain(), key::ImageFolderPathname));
    float r = 0, g = 0, b = 0, a = 0;
    GetBackgroundColorPreference(domain(), r, g, b, a);
    EXPECT_EQ(r, 1.0f);
    EXPECT_EQ(g, 1.0f);
    EXPECT_EQ(b, 1.0f);
}

TEST_F(Getters, ImageQualityIndexIsLookedUpAndOutOfRangeGivesMaximum)
{
    const struct {
        QVariant stored;
        int expected;
    } cases[] = {
        {qint64(0), 0},
        {qint64(1), 256},
        {qint64(3), 768},
        {qint64(5), 1024},
        {qint64(6), 1023},
        {qint64(100), 1023},
        {qint64(-1), 1023},
        {QStringLiteral("2"), 1023},
        {2.9, 512},                // a real loses its fraction
        {qint64(65536 + 5), 1024}, // narrowed to 16 bits without a range check
    };
    for (const auto& c : cases) {
        store(key::ImageQuality, c.stored);
        EXPECT_EQ(GetImageQualityPreference(domain()), c.expected) << c.stored.toString().toStdString();
    }
}

TEST_F(Getters, IconSizeHasNoRangeCheckButMustFitSixteenBits)
{
    const struct {
        QVariant stored;
        int expected;
    } cases[] = {
        {qint64(8), 8},       {qint64(1000), 1000}, {qint64(-4), -4}, {qint64(32767), 32767},      {qint64(70000), 128},
        {qint64(32768), 128}, {256.0, 256},         {256.5, 128},     {QStringLiteral("64"), 128}, {true, 128},
    };
    for (const auto& c : cases) {
        store(key::IconSize, c.stored);
        EXPECT_EQ(GetIconSizePreference(domain()), c.expected) << c.stored.toString().toStdString();
    }
}

TEST_F(Getters, ColourComponentsAreReadOneByOneAndAlphaIsAlwaysOpaque)
{
    store(key::BackgroundColorRedComponent, 0.0);
    store(key::BackgroundColorAlphaComponent, 0.0);
    float r = -1, g = -1, b = -1, a = -1;
    GetBackgroundColorPreference(domain(), r, g, b, a);
    EXPECT_EQ(r, 0.0f); // red alone: a cyan background
    EXPECT_EQ(g, 1.0f);
    EXPECT_EQ(b, 1.0f);
    EXPECT_EQ(a, 1.0f);

    store(key::BackgroundColorGreenComponent, qint64(0)); // any number kind
    store(key::BackgroundColorBlueComponent, 0.25);
    GetBackgroundColorPreference(domain(), r, g, b, a);
    EXPECT_EQ(g, 0.0f);
    EXPECT_EQ(b, 0.25f);
}

TEST_F(Getters, AlphaComesFromTheArgumentsBeforeTheDomain)
{
    EXPECT_FALSE(GetStandardAlphaDefault(domain()));
    store("alpha", 0.25);
    EXPECT_EQ(GetStandardAlphaDefault(domain()), 0.25f);
    SetCommandLineArguments({"pictomat", "run", "x", "-alpha", "0.5"});
    EXPECT_EQ(GetStandardAlphaDefault(domain()), 0.5f);
    SetCommandLineArguments({"pictomat", "-alpha", "0"});
    EXPECT_EQ(GetStandardAlphaDefault(domain()), 0.0f);
    // An argument that is no number does not turn the background transparent.
    SetCommandLineArguments({"pictomat", "-alpha", "half"});
    EXPECT_EQ(GetStandardAlphaDefault(domain()), 0.25f);
    SetCommandLineArguments({"pictomat", "-alpha"});
    EXPECT_EQ(GetStandardAlphaDefault(domain()), 0.25f);
    store("alpha", QStringLiteral("0.75"));
    EXPECT_EQ(GetStandardAlphaDefault(domain()), 0.75f);
    store("alpha", QStringLiteral("opaque"));
    EXPECT_FALSE(GetStandardAlphaDefault(domain()));
}

TEST_F(Getters, ChangesByAnotherWriterAreSeenAtTheNextRead)
{
    EXPECT_EQ(GetIconSizePreference(domain()), 128);
    writeWithPlistlib(QStringLiteral("{'IconSize': 48, 'ImageFolderPathname': '/tmp/caf\\u00e9'}"));
    EXPECT_EQ(GetIconSizePreference(domain()), 48);
    EXPECT_EQ(GetStringPreference(domain(), key::ImageFolderPathname), QStringLiteral("/tmp/caf\u00e9"));
    writeWithPlistlib(QStringLiteral("{'IconSize': 64}"));
    EXPECT_EQ(GetIconSizePreference(domain()), 64);
    EXPECT_FALSE(GetStringPreference(domain(), key::ImageFolderPathname));
}

} // namespace
} // namespace pictomat::test
