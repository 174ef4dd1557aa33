#include "prefs/Preferences.h"

#include "prefs/PreferenceStore.h"

#include <cmath>
#include <limits>

namespace pictomat::prefs {

static QStringList g_arguments;

void SetCommandLineArguments(const QStringList& arguments)
{
    g_arguments = arguments;
}

const QVector<KeyInfo>& AllKeys()
{
    static const QVector<KeyInfo> keys = {
        {key::IconSize, Kind::Integer, QVariant(qint64(128))},
        {key::ImageQuality, Kind::Integer, QVariant(qint64(4))},  // an index into kImageQualityTable
        {key::BackgroundColorRedComponent, Kind::Real, QVariant(1.0)},
        {key::BackgroundColorGreenComponent, Kind::Real, QVariant(1.0)},
        {key::BackgroundColorBlueComponent, Kind::Real, QVariant(1.0)},
        // Written and shown by the preferences window only; nothing draws with it.
        {key::BackgroundColorAlphaComponent, Kind::Real, QVariant()},
        {key::UseItemsFolder, Kind::Boolean, QVariant(false)},
        // The default output folder belongs to the output layer, which sits above this one.
        {key::ImageFolderPathname, Kind::String, QVariant()},
        {key::OpenImageFolderForMe, Kind::Boolean, QVariant(true)},
        {key::OpenImageFileForMe, Kind::Boolean, QVariant(true)},
        {key::AddCustomIcon, Kind::Boolean, QVariant(true)},
        {key::OverwriteFilesBySameName, Kind::Boolean, QVariant(true)},
        {key::AppendIconSize, Kind::Boolean, QVariant(false)},
        {key::ImageICNS, Kind::Boolean, QVariant(false)},
        {key::MakeAsSubmenu, Kind::Boolean, QVariant(true)},
        {key::IncludeMakeIcons, Kind::Boolean, QVariant(true)},
        {key::IncludeCopyIcon, Kind::Boolean, QVariant(true)},
        {key::IncludeWebIcon, Kind::Boolean, QVariant(true)},
        {key::IncludeClipToIcon, Kind::Boolean, QVariant(true)},
        {key::IncludeAddCustomIcon, Kind::Boolean, QVariant(true)},
        {key::IncludeRemoveCustomIcon, Kind::Boolean, QVariant(true)},
        {key::IncludeChangeIconSizes, Kind::Boolean, QVariant(false)},
        {"SelectionExpirySeconds", Kind::Integer, QVariant(qint64(600))},  // how long a hand-over lasts; 0: until the next
    };
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
QVariant readValue(const char* key)
{
    PreferenceStore& store = PreferenceStore::shared();
    store.synchronize();
    return store.copyValue(QString::fromLatin1(key));
}

bool isNumber(const QVariant& v)
{
    return v.typeId() == QMetaType::LongLong || v.typeId() == QMetaType::Double;
}

// A stored number as a signed 16-bit integer, when it is one exactly.
std::optional<int16_t> exactInt16(const QVariant& v)
{
    if (v.typeId() == QMetaType::LongLong) {
        const qint64 n = v.toLongLong();
        if (n < std::numeric_limits<int16_t>::min() || n > std::numeric_limits<int16_t>::max())
            return std::nullopt;
        return int16_t(n);
    }
    if (v.typeId() == QMetaType::Double) {
        const double d = v.toDouble();
        if (!std::isfinite(d) || d != std::trunc(d) || d < std::numeric_limits<int16_t>::min()
            || d > std::numeric_limits<int16_t>::max())
            return std::nullopt;
        return int16_t(d);
    }
    return std::nullopt;
}

// A stored number narrowed to 16 bits whether it fits or not: integers wrap,
// reals lose their fraction first. Nothing for a real that is not finite.
std::optional<int16_t> wrappedInt16(const QVariant& v)
{
    if (v.typeId() == QMetaType::LongLong)
        return int16_t(v.toLongLong());
    if (v.typeId() == QMetaType::Double) {
        const double d = std::trunc(v.toDouble());
        if (!std::isfinite(d))
            return std::nullopt;
        if (d <= double(std::numeric_limits<qint64>::min()) || d >= double(std::numeric_limits<qint64>::max()))
            return std::nullopt;
        return int16_t(qint64(d));
    }
    return std::nullopt;
}

std::optional<float> numberAsFloat(const QVariant& v)
{
    if (!isNumber(v))
        return std::nullopt;
    return float(v.toDouble());
}

// The "alpha" default as a number, from an argument or a stored value.
std::optional<float> alphaFrom(const QVariant& v)
{
    std::optional<double> d;
    if (isNumber(v)) {
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

bool GetBooleanPreference(const char* key, bool defaultValue)
{
    const QVariant v = readValue(key);
    // A number 0 or 1 written by another tool is of the wrong kind: default.
    if (v.typeId() != QMetaType::Bool)
        return defaultValue;
    return v.toBool();
}

bool GetBooleanPreference(const char* key)
{
    const KeyInfo* info = FindKey(QString::fromLatin1(key));
    const bool fallback = info && info->kind == Kind::Boolean && info->defaultValue.toBool();
    return GetBooleanPreference(key, fallback);
}

int16_t GetIconSizePreference()
{
    // No range check: a stored 1000 is used as 1000; only a value that is no
    // 16-bit integer falls back to the default.
    return exactInt16(readValue(key::IconSize)).value_or(int16_t(128));
}

int GetImageQualityPreference()
{
    int16_t index = 4;
    if (const std::optional<int16_t> stored = wrappedInt16(readValue(key::ImageQuality)))
        index = *stored;
    // Compared unsigned, so a negative index counts as too large.
    if (uint16_t(index) > 5)
        return 1023;
    return kImageQualityTable[index];
}

void GetBackgroundColorPreference(float& red, float& green, float& blue, float& alpha)
{
    PreferenceStore& store = PreferenceStore::shared();
    store.synchronize();
    // Any number kind counts; a component stored as something else (a string,
    // a date) is treated like an absent one.
    const auto component = [&store](const char* key) {
        return numberAsFloat(store.copyValue(QString::fromLatin1(key))).value_or(1.0f);
    };
    red = component(key::BackgroundColorRedComponent);
    green = component(key::BackgroundColorGreenComponent);
    blue = component(key::BackgroundColorBlueComponent);
    alpha = 1.0f;
}

std::optional<QString> GetStringPreference(const char* key)
{
    const QVariant v = readValue(key);
    if (v.typeId() != QMetaType::QString)
        return std::nullopt;
    return v.toString();
}

std::optional<float> GetStandardAlphaDefault()
{
    // Arguments come first, as "-alpha VALUE"; argument 0 is the program.
    for (qsizetype i = 1; i + 1 < g_arguments.size(); ++i) {
        if (g_arguments.at(i) == QLatin1String("-alpha")) {
            if (const std::optional<float> a = alphaFrom(QVariant(g_arguments.at(i + 1))))
                return a;
            break;
        }
    }
    return alphaFrom(readValue("alpha"));
}

} // namespace pictomat::prefs
