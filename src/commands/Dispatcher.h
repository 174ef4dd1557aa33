#pragma once

#include "commands/Command.h"
#include "commands/CommandContext.h"

namespace pictomat {

// The one way a command runs, whoever asks (the menu, "pictomat run", D-Bus):
// the settings are read once, then the command's handler works through the
// request. A command that needs files does nothing without a selection.
// Afterwards context.failedOutputs holds the outputs this command could not write.
void Dispatch(CommandContext& context, const CommandRequest& request);

// Starts what the command will need before the program is ready to run it
// (the reading worker, for a command that decodes its items), so that the
// two start side by side.
void PrepareFor(const Command& command);

} // namespace pictomat
