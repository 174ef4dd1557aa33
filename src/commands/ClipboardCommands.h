#pragma once

#include "commands/CommandContext.h"

namespace pictomat {

// "Copy Icon for File": the first item's icon at IconSize over the background,
// as the clipboard's one image/png entry.
void CopyIconForFile(CommandContext& context);
// "Add Custom Icon from Clipboard": the clipboard's picture becomes every
// selected item's custom icon.
void AddCustomIconFromClipboard(CommandContext& context);

} // namespace pictomat
