#include "commands/ExportImage.h"

#include "image/BackgroundBitmap.h"
#include "platform/FileIO.h"
#include "platform/IconProvider.h"
#include "commands/ItemOperations.h"
#include "commands/MakeIconLoop.h"
#include "prefs/Preferences.h"

#include <QBuffer>
#include <QImageWriter>
#include <QPainter>

namespace pictomat {

namespace {
bool isLossyFormat(const QByteArray& format)
{
    const QByteArray f = format.toLower();
    return f == "jpeg" || f == "jpg" || f == "webp" || f == "heic" || f == "heif" || f == "avif" ||
           f == "jp2" || f == "j2k";
}

// The icon stored in an .icns file, fitted to the square.
bool drawIcnsContents(QImage& bitmap, const FileRef& item)
{
    const std::optional<icns::IconFamily> family =
        icns::IconFamily::fromIcns(ReadRegularFile(item.path(), icns::kMaxIcnsFileSize).value_or(QByteArray()));
    if (!family)
        return false;
    const QImage best = family->bestImage(bitmap.width());
    if (best.isNull())
        return false;
    QPainter painter(&bitmap);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.drawImage(QRect(0, 0, bitmap.width(), bitmap.height()), best);
    return true;
}
} // namespace

int WriterQualityFor(const QByteArray& writerFormat, int codecQuality)
{
    if (!isLossyFormat(writerFormat))
        return -1;
    if (codecQuality >= 1024)
        return 100;
    return qBound(0, codecQuality * 100 / 1024, 99);
}

QImage DrawItemIconOverBackground(const FileRef& item, int size, bool useIcnsContents, bool* iconMissing)
{
    *iconMissing = false;
    std::optional<QImage> bitmap = CreateBackgroundBitmap(size, size);
    if (useIcnsContents) {
        if (!bitmap)
            return {};
        if (!drawIcnsContents(*bitmap, item)) {
            *iconMissing = true;
            return {};
        }
        return *bitmap;
    }
    const std::optional<IconProvider::Icon> icon = IconProvider::shared().iconFor(item);
    if (!icon) {
        *iconMissing = true;
        return {};
    }
    if (!bitmap)
        return {};
    DrawIconIntoBitmap(*bitmap, *icon);
    return *bitmap;
}

void ExportIconImage(CommandContext& context, int tag, const FileRef& output)
{
    const ExporterInfo& exporter = context.exporterList.at(tag - 1);
    const int size = prefs::GetIconSizePreference();
    const bool useIcns = prefs::GetBooleanPreference(prefs::key::ImageICNS) && CurrentItemIsIcnsFile(context.currentItem);
    bool iconMissing = false;
    const QImage picture = DrawItemIconOverBackground(context.currentItem, size, useIcns, &iconMissing);
    if (iconMissing) {
        context.desktop.writeStandardOutput("Pictomat: An error occurred loading the icon data.");
        return;
    }
    if (picture.isNull())
        return;  // no bitmap for this size: nothing is written, the empty output stays

    // Encoded in memory first, so that a failing writer leaves the output empty
    // rather than half written.
    QByteArray encoded;
    QBuffer buffer(&encoded);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, exporter.writerFormat);
    const int quality = WriterQualityFor(exporter.writerFormat, prefs::GetImageQualityPreference());
    if (quality >= 0)
        writer.setQuality(quality);
    if (exporter.writerFormat.toLower() == "tiff" || exporter.writerFormat.toLower() == "tif")
        writer.setCompression(1);  // LZW: lossless and much smaller
    if (!writer.canWrite() || !writer.write(picture)) {
        context.desktop.log(QStringLiteral("Pictomat: the %1 exporter failed: %2")
                                .arg(exporter.descriptionString, writer.errorString()));
        return;
    }
    // Written beside the output and renamed onto it: a write that fails part-way
    // (a full disk) leaves the empty output, never a truncated image.
    QString error;
    if (!WriteFileAtomically(output, encoded, &error)) {
        context.desktop.log(QStringLiteral("Pictomat: the image could not be written to %1: %2")
                                .arg(output.displayPath(), error));
        return;
    }
    if (prefs::GetBooleanPreference(prefs::key::AddCustomIcon) && output.exists())
        SetCustomIconFromImageFile(context, output);
}

} // namespace pictomat
