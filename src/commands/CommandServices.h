#pragma once

#include "commands/CommandContext.h"
#include "commands/CommandSettings.h"

namespace pictomat {

// Services every command shares: alerts, opening, the output folder, reveal.

// A failure the user sees. While more items of the command remain, the alert
// also offers to stop the command after this item.
void ShowStandardAlert(CommandContext& context, const QString& message,
                       const QString& explanation = QString());
// An output that could not be written: logged with its reason and, unless an
// alert already told of it, kept in the context's failedOutputs.
void ReportFailedOutput(CommandContext& context, const FileRef& output, const QString& reason,
                        bool alerted = false);
// How a failed output is told: "PATH could not be written: REASON".
QString FailedOutputLine(const FailedOutput& failed);
// The loops' step to the next item: reports it to whoever watches the
// command; false when the user asked the command to stop.
bool BeginItem(CommandContext& context, int index, int count, const FileRef& item);
// Opens a file or folder as if double-clicked. 0, or -43 when nothing opened.
int32_t OpenWithLaunchServices(CommandContext& context, const FileRef& item);
// Opens the folder the output of `item` goes to.
void OpenOutputFolder(CommandContext& context, const FileRef& item, const OutputFolderRule& rule);
// Selects the last output file in a file-manager window; nothing when no output
// was recorded since start-up.
void RevealLastOutputFile(CommandContext& context);

} // namespace pictomat
