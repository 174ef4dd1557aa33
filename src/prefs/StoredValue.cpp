#include "prefs/StoredValue.h"

#include <cmath>
#include <limits>

namespace pictomat::prefs {

bool IsIntegerKind(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong: return true;
    default: return false;
    }
}

namespace {

bool IsUnsignedKind(const QVariant& value)
{
    return value.typeId() == QMetaType::UShort || value.typeId() == QMetaType::UInt
           || value.typeId() == QMetaType::ULong || value.typeId() == QMetaType::ULongLong;
}

bool IsRealKind(const QVariant& value)
{
    return value.typeId() == QMetaType::Double || value.typeId() == QMetaType::Float;
}

} // namespace

bool IsNumber(const QVariant& value)
{
    return IsIntegerKind(value) || IsRealKind(value);
}

std::optional<int16_t> ExactInt16(const QVariant& value)
{
    constexpr auto kMin = std::numeric_limits<int16_t>::min();
    constexpr auto kMax = std::numeric_limits<int16_t>::max();
    if (IsUnsignedKind(value)) {
        const qulonglong n = value.toULongLong();
        return n > qulonglong(kMax) ? std::nullopt : std::optional<int16_t>(int16_t(n));
    }
    if (IsIntegerKind(value)) {
        const qlonglong n = value.toLongLong();
        return n < kMin || n > kMax ? std::nullopt : std::optional<int16_t>(int16_t(n));
    }
    if (IsRealKind(value)) {
        const double d = value.toDouble();
        if (!std::isfinite(d) || d != std::trunc(d) || d < kMin || d > kMax)
            return std::nullopt;
        return int16_t(d);
    }
    return std::nullopt;
}

std::optional<int16_t> WrappedInt16(const QVariant& value)
{
    if (IsUnsignedKind(value))
        return int16_t(value.toULongLong());
    if (IsIntegerKind(value))
        return int16_t(value.toLongLong());
    if (IsRealKind(value)) {
        const double d = std::trunc(value.toDouble());
        if (!std::isfinite(d))
            return std::nullopt;
        if (d <= double(std::numeric_limits<qint64>::min()) || d >= double(std::numeric_limits<qint64>::max()))
            return std::nullopt;
        return int16_t(qint64(d));
    }
    return std::nullopt;
}

std::optional<float> NumberAsFloat(const QVariant& value)
{
    if (!IsNumber(value))
        return std::nullopt;
    return float(value.toDouble());
}

} // namespace pictomat::prefs
