#pragma once

#include "files/Error.h"
#include "files/FileRef.h"

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
// A file made here says so in a comment, so removal knows it may go.
bool SetFolderIconKey(const FileRef& folder, const QByteArray& iconPath, Error* error);
// Takes out the Icon key of [Desktop Entry], whoever set it (the command
// means "this folder's custom icon goes"); every other key, group and comment
// stays. A file made here and left with nothing else goes away. No file or no
// such key: success.
bool RemoveFolderIconKey(const FileRef& folder, Error* error);
// The Icon value of the [Desktop Entry] group, unescaped.
std::optional<QByteArray> FolderIconKey(const FileRef& folder);

} // namespace pictomat
