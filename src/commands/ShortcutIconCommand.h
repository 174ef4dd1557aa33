#pragma once

#include "commands/Command.h"
#include "commands/CommandContext.h"
#include "commands/CommandSettings.h"

namespace pictomat {

// "Add Shortcut Icon": gives each selected web location (in any of the forms
// of WebLocationFile.h) the icon its site declares, best first (see
// SiteIcon.h), falling back to the site's /favicon.ico. Every failure ends
// that item only, with an alert and, for the web steps, the same line in the
// log.
void AddShortcutIcons(CommandContext& context, const SelectedItems& selection);
// The table's handler: the request's items.
void AddShortcutIconsCommand(CommandContext& context, const CommandRequest& request, const CommandSettings& settings);

} // namespace pictomat
