#pragma once

#include "commands/Command.h"
#include "commands/CommandContext.h"
#include "commands/CommandSettings.h"

namespace pictomat {

// "Copy Icon for File": the first item's icon at IconSize over the background,
// as the clipboard's one image/png entry.
void CopyIconForFile(CommandContext& context, const CommandRequest& request, const CommandSettings& settings);
// "Add Custom Icon from Clipboard": the clipboard's picture becomes every
// selected item's custom icon.
void AddCustomIconFromClipboard(CommandContext& context, const CommandRequest& request,
                                const CommandSettings& settings);

} // namespace pictomat
