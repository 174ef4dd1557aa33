#include "commands/Dispatcher.h"

#include "commands/CommandServices.h"
#include "commands/CommandSettings.h"
#include "worker/ReadingWorker.h"

namespace pictomat {

void PrepareFor(const Command& command)
{
    if (command.readsContents)
        StartReadingWorker();
}

void Dispatch(CommandContext& context, const CommandRequest& request)
{
    context.failedOutputs.clear();
    const Command* command = request.command;
    if (!command || !command->handler)
        return;
    if (command->needsFiles && !request.items.hasSelection())
        return;
    if (command->operand == Operand::Exporter && !request.options.exporter)
        return;
    if (command->operand == Operand::IconSize && !request.options.iconSize)
        return;
    const CommandSettings settings = CommandSettings::Read(context.preferences, request.options);
    context.itemsRemaining = 0;
    BeginItemAlerts(context, FileRef());
    command->handler(context, request, settings);
    context.itemsRemaining = 0;
    BeginItemAlerts(context, FileRef());
}

} // namespace pictomat
