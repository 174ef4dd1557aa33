#pragma once

#include "commands/Command.h"
#include "commands/CommandContext.h"
#include "commands/CommandSettings.h"
#include "commands/RenderedIcons.h"
#include "files/Output.h"
#include "icns/IconFamily.h"
#include "platform/IconProvider.h"

namespace pictomat {

// One item of a make-icon run: what the loop found for it and the output it
// began. The work writes the output once, whole (WriteOutput), or gives it up
// with a reason (Output::fail) that the loop reports.
struct MakeIconItem {
    const FileRef& item;
    const IconProvider::Icon& icon; // looked up once, by the loop; empty when the work does not use it
    Output& output;                 // a file, or a folder for a work that makes one
    RenderedIcons& rendered;        // what this command rendered so far, by icon
};

// What one of the loop's commands does for an item: the output's name and the
// work that fills the output.
struct MakeIconWork {
    QByteArray (*outputName)(const QByteArray& itemName, const CommandRequest& request,
                             const CommandSettings& settings);
    void (*fill)(CommandContext& context, const CommandRequest& request, const CommandSettings& settings,
                 const MakeIconItem& item);
    // Whether the work draws the item's icon; when not, the loop only checks
    // that there is one, without reading the icon theme.
    bool usesIcon = true;
    // Whether the output is a folder instead of a file.
    bool makesFolder = false;
};

// The loop shared by "Make Icon for File", "Make Icon for Media" and the
// image exports: the output folder may open first; each selected item in turn
// gets its icon looked up, its output folder resolved and its output begun,
// the command's work, and the open step; the last output may be
// revealed at the end.
void RunMakeIconLoop(CommandContext& context, const CommandRequest& request, const CommandSettings& settings,
                     const MakeIconWork& work);

// The handlers of the table's make-icon rows.
void MakeIconForFile(CommandContext& context, const CommandRequest& request, const CommandSettings& settings);
void MakeIconForMedia(CommandContext& context, const CommandRequest& request, const CommandSettings& settings);

// Begins the output `name` in `folder`: nothing takes the name until the new
// contents are whole, and a taken name is replaced only when overwriting is
// on. Shows its own alerts; false skips the item.
bool BeginOutput(CommandContext& context, const CommandSettings& settings, const FileRef& folder,
                 const QByteArray& name, Output& output);
// Gives the output its contents, complete or not at all; what it displaces
// goes to the Trash. A name that cannot be freed gets the alert of a taken
// name or of an output that cannot be created.
bool WriteOutput(CommandContext& context, Output& output, const QVector<Output::Part>& parts);
// The same for an output file's bytes, whole or in pieces.
bool WriteOutput(CommandContext& context, Output& output, const QByteArray& bytes);
bool WriteOutput(CommandContext& context, Output& output, const QVector<QByteArrayView>& pieces);
// Writes the family into the output.
bool WriteIconFamilyToOutput(CommandContext& context, const icns::IconFamily& family, Output& output);
// True when the item's name ends in ".icns", ignoring case.
bool CurrentItemIsIcnsFile(const FileRef& item);

} // namespace pictomat
