#pragma once

#include "files/FileRef.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace pictomat {

// The name the file manager shows (extension hidden where it would be), or nothing.
std::optional<QString> DisplayName(const FileRef& item);
// The item's full name as stored, extension included, or nothing.
std::optional<QByteArray> GetItemName(const FileRef& item);

} // namespace pictomat
