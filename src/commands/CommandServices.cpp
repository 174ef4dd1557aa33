#include "commands/CommandServices.h"

#include "commands/FailureCause.h"
#include "commands/Log.h"
#include "output/OutputFolder.h"
#include "platform/Reveal.h"

#include <QCoreApplication>

namespace pictomat {

namespace {

QString shown(const QString& text)
{
    return text.isEmpty() ? text : QCoreApplication::translate("Alert", text.toUtf8().constData());
}

} // namespace

void ShowStandardAlert(CommandContext& context, const QString& message, const QString& explanation)
{
    ShowItemAlert(context, message, QString(), explanation);
}

void ShowItemAlert(CommandContext& context, const QString& message, const QString& cause, const QString& explanation)
{
    ++context.alertsShown;
    Desktop::Alert alert;
    alert.message = shown(message);
    alert.explanation = shown(explanation);
    alert.item = QString::fromUtf8(context.alertItem);
    alert.cause = cause;
    alert.again = context.itemAlerts++ > 0;
    const bool moreItems = context.progress && context.itemsRemaining > 0;
    if (context.desktop.showAlert(alert, moreItems) == Desktop::AlertAnswer::Stop && context.progress)
        context.progress->requestStop();
}

void BeginItemAlerts(CommandContext& context, const FileRef& item, const QByteArray& name)
{
    context.alertItem = item.isEmpty() ? name : item.path();
    context.itemAlerts = 0;
}

QString MissingItemCause(const CommandContext& context)
{
    return cause::ofName(context.alertItem);
}

void ReportFailedOutput(CommandContext& context, const FileRef& output, const QString& reason, bool alerted)
{
    const FailedOutput failed{output, reason};
    qCWarning(lcCommands).noquote()
        << QStringLiteral("Pictomat: %1 could not be written: %2").arg(failed.file.displayPath(), failed.reason);
    if (!alerted)
        context.failedOutputs.append(failed);
}

QString FailedOutputLine(const FailedOutput& failed)
{
    // The reason is one of the texts marked for "Cause", or a failure's own words.
    const QString reason = QCoreApplication::translate("Cause", failed.reason.toUtf8().constData());
    return QCoreApplication::translate("Alert", "%1 could not be written: %2").arg(failed.file.displayPath(), reason);
}

namespace {

// The step to the next item: reports it to whoever watches the command;
// false when the user asked the command to stop.
bool beginItem(CommandContext& context, int index, int count, const FileRef& item)
{
    context.itemsRemaining = count - index;
    if (!context.progress)
        return true;
    if (context.progress->stopRequested())
        return false;
    context.progress->itemStarted(index, count, item);
    return !context.progress->stopRequested();
}

} // namespace

QVector<FileRef> SelectedItemList(const SelectedItems& selection)
{
    if (!selection.items)
        return {};
    return selection.items->mid(0, qMax(0, qMin<qint32>(selection.count, qint32(selection.items->size()))));
}

void ForEachItem(CommandContext& context, const SelectedItems& selection,
                 const std::function<void(const FileRef& item)>& work)
{
    // A copy: the items stay as they were when the command began.
    const QVector<FileRef> items = SelectedItemList(selection);
    for (qsizetype i = 0; i < items.size(); ++i) {
        if (!beginItem(context, int(i + 1), int(items.size()), items.at(i)))
            return;
        BeginItemAlerts(context, items.at(i), selection.names.value(i));
        work(items.at(i));
    }
    BeginItemAlerts(context, FileRef());
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
