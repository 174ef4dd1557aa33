#include "commands/ItemOperations.h"

#include "commands/CommandServices.h"
#include "commands/FailureCause.h"
#include "commands/Log.h"
#include "files/FileIO.h"
#include "files/FinderInfo.h"
#include "read/PictureFile.h"
#include "worker/ReadingWorker.h"
#include "platform/CustomIcons.h"

#include <QMimeDatabase>

#include <sys/stat.h>

namespace pictomat {

namespace {

// A movie by its contents, as the file manager's thumbnailer takes it; only
// a regular file is looked into.
bool isMovie(const FileRef& item)
{
    std::unique_ptr<QFile> file = OpenFileForReading(item);
    if (!file)
        return false;
    const QMimeType type = QMimeDatabase().mimeTypeForData(file->peek(4096));
    if (type.name().startsWith(QLatin1String("video/")))
        return true;
    for (const QString& parent : type.allAncestors()) {
        if (parent.startsWith(QLatin1String("video/")))
            return true;
    }
    return false;
}

} // namespace

void SetCustomIconFromImageFile(CommandContext& context, const FileRef& item)
{
    // Custom icons are stored at no more than this; larger pictures are
    // decoded at that scale.
    constexpr int kCustomIconEdge = 1024;
    // A picture, an icon file's best element or a movie's poster frame,
    // each read in the worker.
    PictureResult read = ReadAnyPictureInWorker(item, kCustomIconEdge);
    const PictureStatus status = read.status;
    const QImage picture = std::move(read.decoded.picture);
    // A movie with no frame to show is told from a file that is no movie at all.
    const bool movie = status == PictureStatus::NotAPicture && isMovie(item);
    // What is neither picture, movie nor icon file is passed over; one that
    // cannot be used (past the size limits, damaged) is a failure the user
    // hears of.
    if (status == PictureStatus::NotAPicture && !movie)
        return;
    Error error;
    if (picture.isNull() || !CustomIcons::setCustomIcon(item, picture, &error)) {
        const QString message =
            QStringLiteral(QT_TRANSLATE_NOOP("Alert", "The files graphic image could not be copied to the file."));
        const QString why =
            picture.isNull() ? cause::ofPicture(movie ? PictureStatus::Damaged : status) : CustomIconCause(item, error);
        ShowItemAlert(context, message, why);
        qCWarning(lcCommands).noquote() << message;
        if (picture.isNull())
            qCWarning(lcCommands).noquote() << QStringLiteral("The picture is %1.").arg(PictureStatusText(status));
        else
            qCDebug(lcCommands).noquote() << "The reason:" << error.message;
    }
}

QString CustomIconCause(const FileRef& item, const Error& error)
{
    if (const QString missing = cause::ofName(item.path()); !missing.isEmpty())
        return missing;
    // A file's custom icon needs the metadata service; on a session without
    // GVfs its absence says more than the call that found it out.
    if (error.code == 0 && !item.isDirectory() && !CustomIcons::metadataAvailable())
        return cause::noMetadataService();
    return cause::ofError(error);
}

void RemoveCustomIcon(CommandContext& context, const FileRef& item)
{
    Error error;
    if (CustomIcons::removeCustomIcon(item, &error)) {
        context.desktop.playSound(QStringLiteral("Ping"));
        return;
    }
    const QString message =
        QStringLiteral(QT_TRANSLATE_NOOP("Alert", "The custom icon could not be removed successfully."));
    ShowItemAlert(context, message, item.isEmpty() ? MissingItemCause(context) : CustomIconCause(item, error));
    qCWarning(lcCommands).noquote() << message;
    qCDebug(lcCommands).noquote() << "The reason:" << error.message;
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
        selection.names.append(ref.isEmpty() ? bytes : ref.path());
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
