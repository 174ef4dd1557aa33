#pragma once

#include "commands/Command.h"
#include "commands/CommandContext.h"
#include "commands/CommandSettings.h"

#include <QByteArray>
#include <QImage>

namespace pictomat {

// "Add Shortcut Icon": gives each selected web-location file (".webloc") the
// shortcut icon of the page its `url ` resource names, falling back to the
// site's /favicon.ico. Every failure ends that item only, with an alert and,
// for the web steps, the same line in the log.
void AddShortcutIcons(CommandContext& context, const SelectedItems& selection);
// The table's handler: the request's items.
void AddShortcutIconsCommand(CommandContext& context, const CommandRequest& request, const CommandSettings& settings);

// The picture in downloaded bytes, in any format the image layer decodes;
// the largest image of an icon file with several, vector pictures rendered at
// icon size. A null image when the bytes hold no picture.
QImage DecodeShortcutIconPicture(const QByteArray& bytes);

} // namespace pictomat
