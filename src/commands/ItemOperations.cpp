#include "commands/ItemOperations.h"

#include "commands/CommandServices.h"
#include "platform/CustomIcons.h"
#include "platform/FileIO.h"

namespace pictomat {

void SetCustomIconFromImageFile(CommandContext& context, const FileRef& item)
{
    const QImage picture = ReadImageFile(item);
    if (picture.isNull())
        return;
    QString error;
    if (!CustomIcons::setCustomIcon(item, picture, &error)) {
        const QString message = QStringLiteral("The files graphic image could not be copied to the file.");
        ShowStandardAlert(context, message);
        context.desktop.log(message);
    }
}

void RemoveCustomIcon(CommandContext& context, const FileRef& item)
{
    QString error;
    if (CustomIcons::removeCustomIcon(item, &error)) {
        context.desktop.playSound(QStringLiteral("Ping"));
        return;
    }
    const QString message = QStringLiteral("The custom icon could not be removed successfully.");
    ShowStandardAlert(context, message);
    context.desktop.log(message);
}

void ClearFinderFileType(const FileRef& item)
{
    ClearFinderInfoBytes(item, 0);
}

void ClearFinderFileCreator(const FileRef& item)
{
    ClearFinderInfoBytes(item, 4);
}

int NotifyFinderOfChange(const FileRef& item)
{
    return TouchForFileManagers(item);
}

} // namespace pictomat
