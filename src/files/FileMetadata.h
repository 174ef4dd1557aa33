#pragma once

#include "files/Error.h"
#include "files/FileRef.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace pictomat {

// The metadata GVfs keeps for a file by its path ("metadata::" attributes of
// GIO), where Nautilus, Nemo and Caja look for a custom icon. Kept by path,
// it outlives the file: whatever takes the name later inherits it unless it
// is cleared.
namespace FileMetadata {

inline constexpr const char* kCustomIcon = "metadata::custom-icon";
inline constexpr const char* kCustomIconName = "metadata::custom-icon-name";

// True when GIO can write the "metadata" namespace for the file (session bus
// and GVfs up).
bool writable(const FileRef& item);
// The same, with the reason in error when it cannot.
bool checkWritable(const FileRef& item, Error* error);
bool setString(const FileRef& item, const char* key, const QByteArray& value, Error* error = nullptr);
bool unset(const FileRef& item, const char* key, Error* error = nullptr);
// The value of a string attribute; nothing when it is unset or empty.
std::optional<QByteArray> string(const FileRef& item, const char* key);

} // namespace FileMetadata

// Unsets both custom-icon keys (the picture and the themed name), so that no
// earlier icon shows for the item. False, error saying why, when the metadata
// service is missing or refuses.
bool ClearCustomIconMetadata(const FileRef& item, Error* error = nullptr);

} // namespace pictomat
