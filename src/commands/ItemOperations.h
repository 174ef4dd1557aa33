#pragma once

#include "commands/CommandContext.h"

namespace pictomat {

// Operations on single items shared by the icon commands.

// Gives a picture file its own picture as custom icon. Files that are no
// picture (and folders) are passed over silently.
void SetCustomIconFromImageFile(CommandContext& context, const FileRef& item);
// Removes the item's custom icon; "Ping" on success.
void RemoveCustomIcon(CommandContext& context, const FileRef& item);
void ClearFinderFileType(const FileRef& item);
void ClearFinderFileCreator(const FileRef& item);
// A change notice for file managers watching the item's folder; 0 or an error.
int NotifyFinderOfChange(const FileRef& item);

} // namespace pictomat
