#include "prefs/Preferences.h"

#include "prefs/PreferenceStore.h"
#include "prefs/StoredValue.h"

#include <cmath>

namespace pictomat::prefs {

static QStringList g_arguments;

void SetCommandLineArguments(const QStringList& arguments)
{
    g_arguments = arguments;
}

namespace {

// The defaults as PICTOMAT_PREFERENCES writes them.
struct NoDefaultTag { };
constexpr NoDefaultTag NoDefault;
QVariant defaultOf(NoDefaultTag)
{
    return {};
}
QVariant defaultOf(bool value)
{
    return value;
}
QVariant defaultOf(int value)
{
    return qint64(value);
}
QVariant defaultOf(double value)
{
    return value;
}

} // namespace

const QVector<KeyInfo>& AllKeys()
{
#define PICTOMAT_KEY_INFO(name, kind, value) KeyInfo{key::name, Kind::kind, defaultOf(value)},
    static const QVector<KeyInfo> keys = {PICTOMAT_PREFERENCES(PICTOMAT_KEY_INFO)};
#undef PICTOMAT_KEY_INFO
    return keys;
}

const KeyInfo* FindKey(const QString& name)
{
    for (const KeyInfo& info : AllKeys()) {
        if (name == QLatin1String(info.name))
            return &info;
    }
    return nullptr;
}

namespace {

// Every reader synchronises first, so that a change written by the window or
// by another process is seen at the next read without any notification.
QVariant readValue(PreferenceStore& store, const char* key)
{
    store.synchronize();
    return store.copyValue(QString::fromLatin1(key));
}

// The "alpha" default as a number, from an argument or a stored value.
std::optional<float> alphaFrom(const QVariant& v)
{
    std::optional<double> d;
    if (IsNumber(v)) {
        d = v.toDouble();
    } else if (v.typeId() == QMetaType::Bool) {
        d = v.toBool() ? 1.0 : 0.0;
    } else if (v.typeId() == QMetaType::QString) {
        bool ok = false;
        const double parsed = v.toString().trimmed().toDouble(&ok);
        if (ok)
            d = parsed;
    }
    // A value that is no finite number is treated as absent rather than as a
    // transparent background.
    if (!d || !std::isfinite(*d))
        return std::nullopt;
    return float(*d);
}

} // namespace

bool GetBooleanPreference(PreferenceStore& store, const char* key, bool defaultValue)
{
    const QVariant v = readValue(store, key);
    // A number 0 or 1 written by another tool is of the wrong kind: default.
    if (v.typeId() != QMetaType::Bool)
        return defaultValue;
    return v.toBool();
}

bool GetBooleanPreference(PreferenceStore& store, const char* key)
{
    const KeyInfo* info = FindKey(QString::fromLatin1(key));
    const bool fallback = info && info->kind == Kind::Boolean && info->defaultValue.toBool();
    return GetBooleanPreference(store, key, fallback);
}

int16_t GetIconSizePreference(PreferenceStore& store)
{
    // No range check: a stored 1000 is used as 1000; only a value that is no
    // 16-bit integer falls back to the default.
    return ExactInt16(readValue(store, key::IconSize)).value_or(int16_t(128));
}

int GetImageQualityPreference(PreferenceStore& store)
{
    int16_t index = 4;
    if (const std::optional<int16_t> stored = WrappedInt16(readValue(store, key::ImageQuality)))
        index = *stored;
    // Compared unsigned, so a negative index counts as too large.
    if (uint16_t(index) > 5)
        return 1023;
    return kImageQualityTable[index];
}

void GetBackgroundColorPreference(PreferenceStore& store, float& red, float& green, float& blue, float& alpha)
{
    store.synchronize();
    // Any number kind counts; a component stored as something else (a string,
    // a date) is treated like an absent one.
    const auto component = [&store](const char* key) {
        return NumberAsFloat(store.copyValue(QString::fromLatin1(key))).value_or(1.0f);
    };
    red = component(key::BackgroundColorRedComponent);
    green = component(key::BackgroundColorGreenComponent);
    blue = component(key::BackgroundColorBlueComponent);
    alpha = 1.0f;
}

std::optional<QString> GetStringPreference(PreferenceStore& store, const char* key)
{
    const QVariant v = readValue(store, key);
    if (v.typeId() != QMetaType::QString)
        return std::nullopt;
    return v.toString();
}

std::optional<float> GetStandardAlphaDefault(PreferenceStore& store)
{
    // Arguments come first, as "-alpha VALUE"; argument 0 is the program.
    for (qsizetype i = 1; i + 1 < g_arguments.size(); ++i) {
        if (g_arguments.at(i) == QLatin1String("-alpha")) {
            if (const std::optional<float> a = alphaFrom(QVariant(g_arguments.at(i + 1))))
                return a;
            break;
        }
    }
    return alphaFrom(readValue(store, "alpha"));
}

} // namespace pictomat::prefs
