#include "commands/CommandServices.h"

#include "output/OutputFolder.h"
#include "platform/Reveal.h"

namespace pictomat {

void ShowStandardAlert(CommandContext& context, const QString& message, const QString& explanation)
{
    ++context.alertsShown;
    const bool moreItems = context.progress && context.itemsRemaining > 0;
    if (context.desktop.showAlert(message, explanation, moreItems) == Desktop::AlertAnswer::Stop && context.progress)
        context.progress->requestStop();
}

void ReportFailedOutput(CommandContext& context, const FileRef& output, const QString& reason, bool alerted)
{
    const FailedOutput failed{output, reason};
    context.desktop.log(QStringLiteral("Pictomat: ") + FailedOutputLine(failed));
    if (!alerted)
        context.failedOutputs.append(failed);
}

QString FailedOutputLine(const FailedOutput& failed)
{
    return QStringLiteral("%1 could not be written: %2").arg(failed.file.displayPath(), failed.reason);
}

bool BeginItem(CommandContext& context, int index, int count, const FileRef& item)
{
    context.itemsRemaining = count - index;
    if (!context.progress)
        return true;
    if (context.progress->stopRequested())
        return false;
    context.progress->itemStarted(index, count, item);
    return !context.progress->stopRequested();
}

int32_t OpenWithLaunchServices(CommandContext& context, const FileRef& item)
{
    if (item.isEmpty())
        return kFnfErr;
    return context.desktop.openUrl(item.url()) ? 0 : kFnfErr;
}

void OpenOutputFolder(CommandContext& context, const FileRef& item, const OutputFolderRule& rule)
{
    OpenWithLaunchServices(context, ResolveOutputFolder(item, rule));
}

void RevealLastOutputFile(CommandContext& context)
{
    if (context.lastOutputFile.isEmpty())
        return;
    RevealInFileManager(context.lastOutputFile, context.desktop);
}

} // namespace pictomat
