#pragma once

#include "commands/CommandContext.h"
#include "icns/IconFamily.h"

namespace pictomat {

// The loop shared by "Make Icon for File", "Make Icon for Media", the image
// exports (tags 1..N) and "Add Custom Icon to Media": each selected item in
// turn becomes currentItem, gets its output file, the command's own work, and
// the open step.
void RunMakeIconLoop(CommandContext& context, int tag);

// Makes the empty output file `name` in `folder`, replacing a same-named file
// when overwriting is on; shows its own alerts. False skips the item.
bool CreateOutputFile(CommandContext& context, const FileRef& folder, const QByteArray& name,
                      FileRef* output);
// Writes the family into the created output: complete or not at all.
bool WriteIconFamilyToOutput(const icns::IconFamily& family, const FileRef& output);
// True when the item's name ends in ".icns", ignoring case.
bool CurrentItemIsIcnsFile(const FileRef& item);

} // namespace pictomat
