#include "commands/CommandServices.h"

#include "output/OutputFolder.h"
#include "platform/Reveal.h"

namespace pictomat {

void ShowStandardAlert(CommandContext& context, const QString& message, const QString& explanation)
{
    context.desktop.showAlert(message, explanation);
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
