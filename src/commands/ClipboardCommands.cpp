#include "commands/ClipboardCommands.h"

#include "commands/CommandServices.h"
#include "commands/FailureCause.h"
#include "commands/ExportImage.h"
#include "commands/ItemOperations.h"
#include "commands/Log.h"
#include "files/FileIO.h"
#include "read/PictureFile.h"
#include "worker/ReadingWorker.h"
#include "output/StringUtils.h"
#include "platform/Clipboard.h"
#include "platform/CustomIcons.h"
#include "platform/IconProvider.h"

#include <QBuffer>
#include <QImageWriter>
#include <QMimeData>

namespace pictomat {

namespace {
// A picture on the clipboard: image data the image layer decodes, or exactly
// one copied file that is a picture.
bool clipboardHasPicture(const QMimeData* mime)
{
    if (!mime)
        return false;
    if (mime->hasImage())
        return true;
    for (const QString& format : mime->formats()) {
        if (format.startsWith(QLatin1String("image/")))
            return true;
    }
    if (mime->hasUrls() && mime->urls().size() == 1 && mime->urls().first().isLocalFile()) {
        const FileRef file = FileRef::fromUri(mime->urls().first().toEncoded());
        std::unique_ptr<QFile> device = OpenFileForReading(file);
        return device && !SniffPictureFormat(device->peek(1024), file.path()).isEmpty();
    }
    return false;
}

// Custom icons are stored at no more than this; larger pictures are decoded
// at that scale, so a photo of any size fits in memory.
constexpr int kCustomIconEdge = 1024;

QImage clipboardPicture(const QMimeData* mime)
{
    // The picture's own bytes first: decoded at the size needed, where Qt's
    // own conversion would decode it whole or refuse it.
    for (const QString& format : mime->formats()) {
        if (!format.startsWith(QLatin1String("image/")))
            continue;
        PictureResult picture = DecodePictureBytesInWorker(mime->data(format), kCustomIconEdge);
        if (picture.ok())
            return std::move(picture.decoded.picture);
    }
    if (mime->hasImage()) {
        const QImage image = qvariant_cast<QImage>(mime->imageData());
        if (!image.isNull())
            return image;
    }
    if (mime->hasUrls() && mime->urls().size() == 1)
        return ReadImageInWorker(FileRef::fromUri(mime->urls().first().toEncoded()), kCustomIconEdge);
    return {};
}
} // namespace

void CopyIconForFile(CommandContext& context, const CommandRequest& request, const CommandSettings& settings)
{
    uint32_t fileType = 0;
    ExporterInfo png;
    if (!FindExporterTypeForExtension(context.exporterDesktop().standardOutputWriter(), QStringLiteral("png"),
                                      &fileType, &png, context.graphics)) {
        ShowStandardAlert(context, QStringLiteral(QT_TRANSLATE_NOOP(
                                       "Alert", "The file type for the extension could not be determined.")));
        return;
    }
    const FileRef item = request.items.items ? request.items.items->value(0) : FileRef();
    BeginItemAlerts(context, item, request.items.names.value(0));
    qCWarning(lcCommands).noquote()
        << QStringLiteral("Copying icon for path \"%1\"").arg(stringWithFSRef(&item).value_or(QString()));

    const std::optional<IconProvider::Icon> icon = context.icons.iconFor(item);
    if (!icon) {
        ShowItemAlert(context, QStringLiteral(QT_TRANSLATE_NOOP("Alert", "The file's icon could not be found.")),
                      MissingItemCause(context));
        return;
    }
    bool iconMissing = false;
    const QImage picture =
        DrawItemIconOverBackground(item, *icon, settings.iconSize, settings.background, false, &iconMissing);
    if (iconMissing) {
        // The icon found draws nothing: a plain square is not the file's icon.
        ShowItemAlert(context, QStringLiteral(QT_TRANSLATE_NOOP("Alert", "The file's icon could not be found.")),
                      cause::iconDrawsNothing());
        return;
    }
    if (picture.isNull()) {
        qCWarning(lcCommands).noquote()
            << QStringLiteral("Pictomat: no image is drawn at %1 pixels; icons are drawn from 1 to %2.")
                   .arg(settings.iconSize)
                   .arg(IconProvider::kLargestRenderEdge);
        return;
    }

    QByteArray encoded;
    QBuffer buffer(&encoded);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, png.writerFormat);
    if (!writer.write(picture))
        return;
    // A copy that did not reach the clipboard is a failure the user hears of,
    // never a silent success.
    Error why;
    if (!Clipboard::setPng(encoded, &why)) {
        qCWarning(lcCommands).noquote() << QStringLiteral("The icon could not be put on the clipboard: ") + why.message;
        ShowItemAlert(context,
                      QStringLiteral(QT_TRANSLATE_NOOP("Alert", "The icon could not be put on the clipboard.")),
                      why.message);
        return;
    }
    context.desktop.playSound(QStringLiteral("Ping"));
}

void AddCustomIconFromClipboard(CommandContext& context, const CommandRequest& request, const CommandSettings&)
{
    const std::unique_ptr<QMimeData> held = Clipboard::contents();
    const QMimeData* mime = held.get();
    if (!clipboardHasPicture(mime)) {
        ShowItemAlert(context,
                      QStringLiteral(QT_TRANSLATE_NOOP("Alert", "An image could not be created from the Clipboard.")),
                      cause::clipboardHoldsNoPicture());
        return;
    }
    const QImage picture = clipboardPicture(mime);
    if (picture.isNull()) {
        ShowItemAlert(context,
                      QStringLiteral(QT_TRANSLATE_NOOP("Alert", "An image could not be created from the clipboard.")),
                      cause::ofPicture(PictureStatus::Damaged));
        return;
    }
    ForEachItem(context, request.items, [&context, &picture](const FileRef& item) {
        Error error;
        if (!CustomIcons::setCustomIcon(item, picture, &error)) {
            const QString message =
                QStringLiteral(QT_TRANSLATE_NOOP("Alert", "The clipboard image could not be copied to the file."));
            ShowItemAlert(context, message, item.isEmpty() ? MissingItemCause(context) : CustomIconCause(item, error));
            qCWarning(lcCommands).noquote() << message;
        }
    });
}

} // namespace pictomat
