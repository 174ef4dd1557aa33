#pragma once

#include "files/Error.h"
#include "files/FileRef.h"

#include <QByteArray>
#include <QString>

namespace pictomat {

// A link saved by a browser or file manager on the Linux desktop: a desktop
// entry whose first group is [Desktop Entry] and whose Type is Link. File
// managers show its own Icon key, not custom-icon metadata, so a custom icon
// also goes there: the one Icon line of [Desktop Entry] changes, every other
// byte stays, and the file is replaced whole, never written through a link.
// The value it replaced is kept in the item's metadata and comes back when
// the custom icon is removed.
namespace DesktopLinkIcon {

// Whether a file's text is such a link.
bool IsDesktopLink(const QByteArray& text);

enum class Edit {
    NotALink, // the item is no desktop link; nothing to do
    Done,
    Failed, // error says why
};
// Whether the item is a desktop link whose Icon can be edited: Failed for a
// link that is a symbolic link or cannot be read as a file of its own.
Edit check(const FileRef& item, Error* error);
// Sets its Icon to the picture at `iconPath`, a file of `iconsFolder`.
Edit set(const FileRef& item, const QByteArray& iconPath, const QByteArray& iconsFolder, Error* error);
// Gives its Icon back the value it had before a picture of `iconsFolder`
// took its place (or takes the key out when it had none). An Icon set since
// by someone else stays.
Edit remove(const FileRef& item, const QByteArray& iconsFolder, Error* error);

} // namespace DesktopLinkIcon

} // namespace pictomat
