#pragma once

#include "files/FileRef.h"

#include <QString>

#include <optional>

namespace pictomat {

// The item's path as text; nothing for the empty reference or a path that
// needs more than 4098 bytes with its terminating zero.
std::optional<QString> stringWithFSRef(const FileRef* item);

// The text between the first start pattern and the first end pattern after it,
// searching case-insensitively over UTF-16. Nothing when either is missing (an
// empty pattern is never found); empty when they touch.
std::optional<QString> extractBetweenPattern(const QString& text, const QString& start, const QString& end);

} // namespace pictomat
