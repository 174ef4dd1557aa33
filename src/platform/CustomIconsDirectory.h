#pragma once

#include "platform/FileRef.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace pictomat {

// A folder's icon for Dolphin and PCManFM-Qt: "Icon" in the [Desktop Entry]
// group of the folder's .directory file. The file may hold other keys,
// groups and comments of the user's; only the one Icon line is ever touched,
// and the file is replaced atomically. A .directory that is a link or a
// special file is never edited: both operations fail on it.

// False when the folder's .directory exists but is not a regular file.
bool FolderIconKeyEditable(const FileRef& folder);

// Sets Icon to the picture's path, creating the file or the group if needed.
bool SetFolderIconKey(const FileRef& folder, const QByteArray& iconPath, QString* error);
// Takes out Icon lines whose value starts with storePrefix; a file left with
// nothing but the empty group goes away. No file or no such line: success.
bool RemoveFolderIconKey(const FileRef& folder, const QByteArray& storePrefix, QString* error);
// The Icon value of the [Desktop Entry] group, unescaped.
std::optional<QByteArray> FolderIconKey(const FileRef& folder);

} // namespace pictomat
