#pragma once

#include "commands/Command.h"
#include "commands/CommandContext.h"
#include "commands/CommandSettings.h"
#include "files/Error.h"

namespace pictomat {

// Operations on single items shared by the icon commands, and the commands
// that are nothing but one of them per item.

// Gives a picture file its own picture as custom icon. Files that are no
// picture (and folders) are passed over silently.
void SetCustomIconFromImageFile(CommandContext& context, const FileRef& item);
// Removes the item's custom icon; "Ping" on success.
void RemoveCustomIcon(CommandContext& context, const FileRef& item);
// Why setting or removing an item's custom icon failed, in plain words.
QString CustomIconCause(const FileRef& item, const Error& error);
void ClearFinderFileType(const FileRef& item);
void ClearFinderFileCreator(const FileRef& item);
// A change notice for file managers watching the item's folder; 0 or an error.
int NotifyFinderOfChange(const FileRef& item);

// "Add Custom Icon to Media" and "Remove Custom Icon" over every item.
void AddCustomIconsToMedia(CommandContext& context, const CommandRequest& request, const CommandSettings& settings);
void RemoveCustomIcons(CommandContext& context, const CommandRequest& request, const CommandSettings& settings);

// The items named on a command line or over D-Bus: file:// URIs or paths
// (relative ones against the working folder); a name that does not exist is
// an entry that names nothing, and still counts.
SelectedItems SelectionFromArguments(const QList<QByteArray>& pathsOrUris);

} // namespace pictomat
