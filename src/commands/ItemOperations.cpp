#include "commands/ItemOperations.h"

#include "commands/CommandServices.h"
#include "files/FileIO.h"
#include "files/FinderInfo.h"
#include "image/MediaIcons.h"
#include "image/PictureFile.h"
#include "platform/CustomIcons.h"

#include <sys/stat.h>

namespace pictomat {

void SetCustomIconFromImageFile(CommandContext& context, const FileRef& item)
{
    // Custom icons are stored at no more than this; larger pictures are
    // decoded at that scale.
    constexpr int kCustomIconEdge = 1024;
    PictureStatus status = PictureStatus::NotAPicture;
    QImage picture = ReadImageFile(item, kCustomIconEdge, &status);
    // An icon file's picture is the best of the icons it holds.
    if (status == PictureStatus::NotAPicture && HoldsIconFamily(item.path())) {
        const std::optional<icns::IconFamily> family = IconFamilyFromIcnsFile(item.path());
        picture = family ? family->bestImage(kCustomIconEdge) : QImage();
        status = picture.isNull() ? PictureStatus::Damaged : PictureStatus::Decoded;
    }
    // What is no picture at all is passed over; a picture that cannot be used
    // (past the size limits, damaged) is a failure the user hears of.
    if (status == PictureStatus::NotAPicture)
        return;
    QString error;
    if (picture.isNull() || !CustomIcons::setCustomIcon(item, picture, &error)) {
        const QString message = QStringLiteral("The files graphic image could not be copied to the file.");
        ShowStandardAlert(context, message);
        context.desktop.log(message);
        if (picture.isNull())
            context.desktop.log(QStringLiteral("The picture is %1.").arg(PictureStatusText(status)));
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

SelectedItems SelectionFromArguments(const QList<QByteArray>& pathsOrUris)
{
    SelectedItems selection;
    QVector<FileRef> items;
    for (const QByteArray& bytes : pathsOrUris) {
        FileRef ref = bytes.startsWith("file:") ? FileRef::fromUri(bytes) : FileRef::fromLocalPath(bytes);
        struct stat st;
        // lstat: a link that points nowhere is still an item.
        if (!ref.isEmpty() && ::lstat(ref.c_path(), &st) != 0)
            ref = FileRef();
        items.append(ref);
    }
    selection.count = qint32(items.size());
    selection.items = items;
    return selection;
}

void AddCustomIconsToMedia(CommandContext& context, const CommandRequest& request, const CommandSettings&)
{
    ForEachItem(context, request.items, [&context](const FileRef& item) {
        // It runs in the make-icon loop's place: "Go to Pictomat folder..."
        // goes where the last item's output would.
        context.currentItem = item;
        SetCustomIconFromImageFile(context, item);
    });
}

void RemoveCustomIcons(CommandContext& context, const CommandRequest& request, const CommandSettings&)
{
    ForEachItem(context, request.items, [&context](const FileRef& item) { RemoveCustomIcon(context, item); });
}

} // namespace pictomat
