#pragma once

#include <QVariant>

#include <cstdint>
#include <optional>

// How a value found in the preference domain is read as a number. Every
// getter and the preferences window read stored values through these, so a
// value means the same wherever it is shown or used.

namespace pictomat::prefs {

// Any integer kind a QVariant may carry (from a property list, D-Bus, ...).
bool IsIntegerKind(const QVariant& value);

// Any kind of number: the store's integers and reals, and the other integer
// and float kinds a QVariant may carry.
bool IsNumber(const QVariant& value);

// A number that is exactly a signed 16-bit integer; a fraction or a value out
// of range is none.
std::optional<int16_t> ExactInt16(const QVariant& value);

// A number narrowed to 16 bits whether it fits or not: integers wrap, reals
// lose their fraction first. Nothing for a real that is not finite or beyond
// 64 bits.
std::optional<int16_t> WrappedInt16(const QVariant& value);

// Any number as a 32-bit float; anything else counts as unset.
std::optional<float> NumberAsFloat(const QVariant& value);

} // namespace pictomat::prefs
