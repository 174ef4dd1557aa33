#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

#include <cstdint>
#include <optional>

namespace pictomat::prefs {

// The per-user preference domain "com.corvane.Pictomat".
inline constexpr const char* kDomain = "com.corvane.Pictomat";

// Kinds of value a key holds.
enum class Kind { Boolean, Integer, Real, String };

// Every setting, declared once. Readers and the preferences window use these.
struct KeyInfo {
    const char* name;
    Kind kind;
    QVariant defaultValue;  // invalid QVariant when the key has no default
};

// The 22 keys of the domain, in a stable order.
const QVector<KeyInfo>& AllKeys();
const KeyInfo* FindKey(const QString& name);

namespace key {
inline constexpr const char* IconSize = "IconSize";
inline constexpr const char* ImageQuality = "ImageQuality";
inline constexpr const char* BackgroundColorRedComponent = "BackgroundColorRedComponent";
inline constexpr const char* BackgroundColorGreenComponent = "BackgroundColorGreenComponent";
inline constexpr const char* BackgroundColorBlueComponent = "BackgroundColorBlueComponent";
inline constexpr const char* BackgroundColorAlphaComponent = "BackgroundColorAlphaComponent";
inline constexpr const char* UseItemsFolder = "UseItemsFolder";
inline constexpr const char* ImageFolderPathname = "ImageFolderPathname";
inline constexpr const char* OpenImageFolderForMe = "OpenImageFolderForMe";
inline constexpr const char* OpenImageFileForMe = "OpenImageFileForMe";
inline constexpr const char* AddCustomIcon = "AddCustomIcon";
inline constexpr const char* OverwriteFilesBySameName = "OverwriteFilesBySameName";
inline constexpr const char* AppendIconSize = "AppendIconSize";
inline constexpr const char* ImageICNS = "ImageICNS";
inline constexpr const char* MakeAsSubmenu = "MakeAsSubmenu";
inline constexpr const char* IncludeMakeIcons = "IncludeMakeIcons";
inline constexpr const char* IncludeCopyIcon = "IncludeCopyIcon";
inline constexpr const char* IncludeWebIcon = "IncludeWebIcon";
inline constexpr const char* IncludeClipToIcon = "IncludeClipToIcon";
inline constexpr const char* IncludeAddCustomIcon = "IncludeAddCustomIcon";
inline constexpr const char* IncludeRemoveCustomIcon = "IncludeRemoveCustomIcon";
inline constexpr const char* IncludeChangeIconSizes = "IncludeChangeIconSizes";
} // namespace key

// Codec qualities by the stored ImageQuality index.
inline constexpr int kImageQualityTable[6] = {0, 256, 512, 768, 1023, 1024};

// Getters: each synchronises the domain, copies the value, checks its kind and
// falls back to the key's default.
bool GetBooleanPreference(const char* key, bool defaultValue);
// Uses the declared default of a boolean key.
bool GetBooleanPreference(const char* key);
int16_t GetIconSizePreference();
int GetImageQualityPreference();
void GetBackgroundColorPreference(float& red, float& green, float& blue, float& alpha);
// The string stored under a key, when the key holds a string.
std::optional<QString> GetStringPreference(const char* key);

// The standard user default "alpha": the command-line argument "-alpha VALUE"
// first, then the key "alpha" in the domain (any number kind).
std::optional<float> GetStandardAlphaDefault();
// The process arguments the "alpha" default is looked up in.
void SetCommandLineArguments(const QStringList& arguments);

} // namespace pictomat::prefs
