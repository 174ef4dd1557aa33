#include "commands/ClipboardCommands.h"

#include "commands/CommandServices.h"
#include "platform/CustomIcons.h"
#include "commands/ExportImage.h"
#include "platform/FileIO.h"
#include "prefs/Preferences.h"
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

void CopyIconForFile(CommandContext& context)
{
    uint32_t fileType = 0;
    ExporterInfo png;
    if (!FindExporterTypeForExtension(context.exporterDesktop(), QStringLiteral("png"), &fileType, &png)) {
        ShowStandardAlert(context, QStringLiteral("The file type for the extension could not be determined."));
        return;
    }
    const FileRef item = context.selectedItems.items->value(0);
    context.desktop.log(QStringLiteral("Copying icon for path \"%1\"").arg(stringWithFSRef(&item).value_or(QString())));

    const int size = prefs::GetIconSizePreference();
    bool iconMissing = false;
    const QImage picture = DrawItemIconOverBackground(item, size, false, &iconMissing);
    if (iconMissing) {
        ShowStandardAlert(context, QStringLiteral("The file's icon could not be found."));
        return;
    }
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

void AddCustomIconFromClipboard(CommandContext& context)
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
    for (qint32 i = 0; i < context.selectedItems.count && i < context.selectedItems.items->size(); ++i) {
        const FileRef item = context.selectedItems.items->at(i);
        if (!CustomIcons::setCustomIcon(item, picture)) {
            const QString message = QStringLiteral("The clipboard image could not be copied to the file.");
            ShowStandardAlert(context, message);
            context.desktop.log(message);
        }
    }
}

} // namespace pictomat
