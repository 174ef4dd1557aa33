#pragma once

#include "commands/CommandContext.h"
#include "commands/CommandSettings.h"

#include <QVector>

#include <functional>

namespace pictomat {

// Services every command shares: alerts, opening, the output folder, reveal.

// A failure the user sees, about the item in hand when there is one. While
// more items of the command remain, the alert also offers to stop the command
// after this item.
void ShowStandardAlert(CommandContext& context, const QString& message, const QString& explanation = QString());
// The same with why it failed, in plain words (commands/FailureCause.h).
// Messages and explanations are written in English, marked with
// QT_TRANSLATE_NOOP("Alert", ...), and logged so; the user reads them in
// their own language.
void ShowItemAlert(CommandContext& context, const QString& message, const QString& cause,
                   const QString& explanation = QString());
// Makes `item` the one the alerts name until the next, or until the command
// ends; `name` stands in for an item that names nothing.
void BeginItemAlerts(CommandContext& context, const FileRef& item, const QByteArray& name = QByteArray());
// Why the item in hand is missing, when it is: what the file system says of its name.
QString MissingItemCause(const CommandContext& context);
// An output that could not be written: logged with its reason and, unless an
// alert already told of it, kept in the context's failedOutputs.
void ReportFailedOutput(CommandContext& context, const FileRef& output, const QString& reason, bool alerted = false);
// How a failed output is told: "PATH could not be written: REASON".
QString FailedOutputLine(const FailedOutput& failed);
// The items of a selection a command works on: as many as its count says and
// its list holds.
QVector<FileRef> SelectedItemList(const SelectedItems& selection);
// Works through the selection's items in order. Each is reported to whoever
// watches the command before `work` gets it, and the command stops between
// items when the user asked it to.
void ForEachItem(CommandContext& context, const SelectedItems& selection,
                 const std::function<void(const FileRef& item)>& work);
// Opens a file or folder as if double-clicked. 0, or -43 when nothing opened.
int32_t OpenWithLaunchServices(CommandContext& context, const FileRef& item);
// Opens the folder the output of `item` goes to.
void OpenOutputFolder(CommandContext& context, const FileRef& item, const OutputFolderRule& rule);
// Selects the last output file in a file-manager window; nothing when no output
// was recorded since start-up.
void RevealLastOutputFile(CommandContext& context);

} // namespace pictomat
