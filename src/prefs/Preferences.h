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

// Every setting, declared once: key, kind, default (NoDefault: none). Both
// the key constants and AllKeys() are made from this list, and every reader
// and the preferences window go by them.
#define PICTOMAT_PREFERENCES(X)                                                                                        \
    X(IconSize, Integer, 128)                                                                                          \
    X(ImageQuality, Integer, 4) /* an index into kImageQualityTable */                                                 \
    X(BackgroundColorRedComponent, Real, 1.0)                                                                          \
    X(BackgroundColorGreenComponent, Real, 1.0)                                                                        \
    X(BackgroundColorBlueComponent, Real, 1.0)                                                                         \
    /* Written and shown by the preferences window only; nothing draws with it. */                                     \
    X(BackgroundColorAlphaComponent, Real, NoDefault)                                                                  \
    X(UseItemsFolder, Boolean, false)                                                                                  \
    /* The default output folder belongs to the output layer, above this one. */                                       \
    X(ImageFolderPathname, String, NoDefault)                                                                          \
    X(OpenImageFolderForMe, Boolean, true)                                                                             \
    X(OpenImageFileForMe, Boolean, true)                                                                               \
    X(AddCustomIcon, Boolean, true)                                                                                    \
    X(OverwriteFilesBySameName, Boolean, true)                                                                         \
    X(AppendIconSize, Boolean, false)                                                                                  \
    X(ImageICNS, Boolean, false)                                                                                       \
    X(MakeAsSubmenu, Boolean, true)                                                                                    \
    X(IncludeMakeIcons, Boolean, true)                                                                                 \
    X(IncludeCopyIcon, Boolean, true)                                                                                  \
    X(IncludeWebIcon, Boolean, true)                                                                                   \
    X(IncludeClipToIcon, Boolean, true)                                                                                \
    X(IncludeAddCustomIcon, Boolean, true)                                                                             \
    X(IncludeRemoveCustomIcon, Boolean, true)                                                                          \
    X(IncludeChangeIconSizes, Boolean, false)                                                                          \
    /* Commands for other platforms' icons, offered only when asked for. */                                            \
    X(IncludeMakeWindowsIcon, Boolean, false)                                                                          \
    X(IncludeMakeLinuxIconSet, Boolean, false)                                                                         \
    X(IncludeMakeAppIcons, Boolean, false)                                                                             \
    /* The macOS app icon on Apple's grid, shaped and shadowed. */                                                     \
    X(AppIconsMacOSShape, Boolean, false)                                                                              \
    /* How long a hand-over lasts, in seconds; 0: until the next one. */                                               \
    X(SelectionExpirySeconds, Integer, 600)

namespace key {
#define PICTOMAT_KEY_NAME(name, kind, value) inline constexpr const char* name = #name;
PICTOMAT_PREFERENCES(PICTOMAT_KEY_NAME)
#undef PICTOMAT_KEY_NAME
} // namespace key

// A key's declaration as the readers use it.
struct KeyInfo {
    const char* name;
    Kind kind;
    QVariant defaultValue; // invalid QVariant when the key has no default
};

// The keys of the domain, in the order declared above.
const QVector<KeyInfo>& AllKeys();
const KeyInfo* FindKey(const QString& name);

// Codec qualities by the stored ImageQuality index.
inline constexpr int kImageQualityTable[6] = {0, 256, 512, 768, 1023, 1024};

class PreferenceStore;

// Getters: each synchronises the store, copies the value, checks its kind and
// falls back to the key's default. How a stored value counts as a number, a
// 16-bit integer or a float is decided once, in prefs/StoredValue.h.
bool GetBooleanPreference(PreferenceStore& store, const char* key, bool defaultValue);
// Uses the declared default of a boolean key.
bool GetBooleanPreference(PreferenceStore& store, const char* key);
int16_t GetIconSizePreference(PreferenceStore& store);
int GetImageQualityPreference(PreferenceStore& store);
void GetBackgroundColorPreference(PreferenceStore& store, float& red, float& green, float& blue, float& alpha);
// The string stored under a key, when the key holds a string.
std::optional<QString> GetStringPreference(PreferenceStore& store, const char* key);

// The standard user default "alpha": the command-line argument "-alpha VALUE"
// first, then the key "alpha" in the domain (any number kind).
std::optional<float> GetStandardAlphaDefault(PreferenceStore& store);
// The process arguments the "alpha" default is looked up in.
void SetCommandLineArguments(const QStringList& arguments);

} // namespace pictomat::prefs
