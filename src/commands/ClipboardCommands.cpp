#include "commands/ClipboardCommands.h"

#include "commands/CommandServices.h"
#include "platform/CustomIcons.h"
#include "commands/ExportImage.h"
#include "platform/FileIO.h"
#include "commands/ItemOperations.h"
#include "platform/IconProvider.h"
#include "output/StringUtils.h"

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QImageReader>
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
        return device && QImageReader(device.get()).canRead();
    }
    return false;
}

QImage clipboardPicture(const QMimeData* mime)
{
    if (mime->hasImage()) {
        const QImage image = qvariant_cast<QImage>(mime->imageData());
        if (!image.isNull())
            return image;
    }
    for (const QString& format : mime->formats()) {
        if (!format.startsWith(QLatin1String("image/")))
            continue;
        const QImage image = QImage::fromData(mime->data(format));
        if (!image.isNull())
            return image;
    }
    if (mime->hasUrls() && mime->urls().size() == 1)
        return ReadImageFile(FileRef::fromUri(mime->urls().first().toEncoded()));
    return {};
}
} // namespace

void CopyIconForFile(CommandContext& context, const CommandRequest& request, const CommandSettings& settings)
{
    uint32_t fileType = 0;
    ExporterInfo png;
    if (!FindExporterTypeForExtension(context.exporterDesktop(), QStringLiteral("png"), &fileType, &png,
                                      context.graphics)) {
        ShowStandardAlert(context, QStringLiteral("The file type for the extension could not be determined."));
        return;
    }
    const FileRef item = request.items.items ? request.items.items->value(0) : FileRef();
    context.desktop.log(QStringLiteral("Copying icon for path \"%1\"").arg(stringWithFSRef(&item).value_or(QString())));

    const std::optional<IconProvider::Icon> icon = IconProvider::shared().iconFor(item);
    if (!icon) {
        ShowStandardAlert(context, QStringLiteral("The file's icon could not be found."));
        return;
    }
    bool iconMissing = false;
    const QImage picture =
        DrawItemIconOverBackground(item, *icon, settings.iconSize, settings.background, false, &iconMissing);
    if (picture.isNull())
        return;

    QByteArray encoded;
    QBuffer buffer(&encoded);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, png.writerFormat);
    if (!writer.write(picture))
        return;
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return;
    clipboard->clear();
    auto* mime = new QMimeData;
    mime->setData(QStringLiteral("image/png"), encoded);
    clipboard->setMimeData(mime);
    // Platforms that cannot report ownership (offscreen, some compositors)
    // still hand back what was just set while nobody else has taken it.
    if (!clipboard->ownsClipboard() && clipboard->mimeData() != mime)
        return;
    context.desktop.playSound(QStringLiteral("Ping"));
}

void AddCustomIconFromClipboard(CommandContext& context, const CommandRequest& request, const CommandSettings&)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    const QMimeData* mime = clipboard ? clipboard->mimeData() : nullptr;
    if (!clipboardHasPicture(mime)) {
        ShowStandardAlert(context, QStringLiteral("An image could not be created from the Clipboard."));
        return;
    }
    const QImage picture = clipboardPicture(mime);
    if (picture.isNull()) {
        ShowStandardAlert(context, QStringLiteral("An image could not be created from the clipboard."));
        return;
    }
    const QVector<FileRef> items = RequestedItems(request);
    for (qsizetype i = 0; i < items.size(); ++i) {
        const FileRef& item = items.at(i);
        if (!BeginItem(context, int(i + 1), int(items.size()), item))
            break;
        if (!CustomIcons::setCustomIcon(item, picture)) {
            const QString message = QStringLiteral("The clipboard image could not be copied to the file.");
            ShowStandardAlert(context, message);
            context.desktop.log(message);
        }
    }
}

} // namespace pictomat
