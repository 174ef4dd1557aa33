#include "commands/ExportImage.h"

#include "commands/ItemOperations.h"
#include "commands/Log.h"
#include "commands/MakeIconLoop.h"
#include "image/BackgroundBitmap.h"
#include "image/Encoders.h"
#include "image/MediaIcons.h"
#include "resample/Reducer.h"
#include "output/OutputFolder.h"
#include "platform/IconProvider.h"
#include "platform/ItemIcon.h"
#include "read/Source.h"
#include "worker/ReadingWorker.h"

#include <QCoreApplication>
#include <QPainter>

namespace pictomat {

namespace {
bool isLossyFormat(const QByteArray& format)
{
    const QByteArray f = format.toLower();
    return f == "jpeg" || f == "jpg" || f == "webp" || f == "heic" || f == "heif" || f == "avif" || f == "jp2"
           || f == "j2k";
}

// The icon stored in an .icns file, its best element reduced to the
// square; its PNG and JPEG 2000 elements are decoded in the worker.
bool drawIcnsContents(QImage& bitmap, const FileRef& item)
{
    const int edge = bitmap.width();
    const std::optional<QMap<int, QImage>> squares = ReadMediaIconSizes(item.path(), {edge});
    if (!squares || squares->value(edge).isNull())
        return false;
    QPainter painter(&bitmap);
    painter.drawImage(QPoint(0, 0), squares->value(edge));
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

QImage DrawItemIconOverBackground(const FileRef& item, const IconProvider::Icon& icon, int size,
                                  const BackgroundColor& background, bool icnsItem, bool* iconMissing)
{
    *iconMissing = false;
    std::optional<QImage> bitmap = CreateBackgroundBitmap(size, size, background);
    if (!bitmap)
        return {};
    // An icon that draws nothing is no icon: a plain background is not a result.
    const bool drawn = icnsItem ? drawIcnsContents(*bitmap, item) : DrawIconIntoBitmap(*bitmap, icon);
    if (!drawn) {
        *iconMissing = true;
        return {};
    }
    return *bitmap;
}

namespace {

QByteArray exportOutputName(const QByteArray& itemName, const CommandRequest& request, const CommandSettings& settings)
{
    if (!request.options.exporter)
        return {};
    return ExportOutputName(itemName, request.options.exporter->extensionString, settings.appendIconSize,
                            settings.iconSize);
}

RenderedIcon encodeIcon(const FileRef& item, const IconProvider::Icon& icon, const ExporterInfo& exporter,
                        const CommandSettings& settings, bool icnsItem)
{
    RenderedIcon result;
    bool iconMissing = false;
    const QImage picture =
        DrawItemIconOverBackground(item, icon, settings.iconSize, settings.background, icnsItem, &iconMissing);
    if (picture.isNull()) {
        result.status = iconMissing ? RenderedIcon::Status::DrawsNothing : RenderedIcon::Status::NoBitmap;
        return result;
    }
    // Encoded in memory first, so that a failing writer leaves the output as
    // it was rather than half written.
    std::optional<QByteArray> encoded =
        EncodePicture(picture, exporter.writerFormat, WriterQualityFor(exporter.writerFormat, settings.codecQuality),
                      settings.background, &result.error);
    if (!encoded) {
        result.status = RenderedIcon::Status::EncoderFailed;
        return result;
    }
    result.encoded = std::move(*encoded);
    return result;
}

void exportIconImage(CommandContext& context, const CommandRequest& request, const CommandSettings& settings,
                     const MakeIconItem& job)
{
    const ExporterInfo& exporter = *request.options.exporter;
    // An icon family by its bytes, whatever its name.
    const bool useIcns = settings.imageIcns && HoldsIconFamily(job.item.path());
    RenderedIcon own;
    const RenderedIcon& rendered = useIcns ? (own = encodeIcon(job.item, job.icon, exporter, settings, true))
                                           : job.rendered.get(job.icon, settings.background, [&] {
                                                 return encodeIcon(job.item, job.icon, exporter, settings, false);
                                             });
    // Each failure leaves the output as it was; the loop logs the reason.
    switch (rendered.status) {
    case RenderedIcon::Status::Made: break;
    case RenderedIcon::Status::NoBitmap:
        context.desktop.writeStandardOutput("Pictomat: An error occurred loading the icon data.");
        job.output.fail(QStringLiteral("no image is drawn at %1 pixels; icons are drawn from 1 to %2")
                            .arg(settings.iconSize)
                            .arg(kMaxBitmapEdge));
        return;
    case RenderedIcon::Status::DrawsNothing:
        context.desktop.writeStandardOutput("Pictomat: An error occurred loading the icon data.");
        job.output.fail(QStringLiteral(QT_TRANSLATE_NOOP("Cause", "the icon data could not be loaded")));
        return;
    case RenderedIcon::Status::EncoderFailed:
        job.output.fail(QStringLiteral("the %1 exporter failed: %2").arg(exporter.descriptionString, rendered.error));
        return;
    }
    if (!WriteOutput(context, job.output, rendered.encoded))
        return;
    if (!settings.addCustomIcon)
        return;
    const FileRef written = job.output.target();
    // One look at the written file's head: a picture, a drawing or an icon
    // file can be read back as its own icon.
    if (PictureSource::open(written).content() != Content::Unknown)
        SetCustomIconFromImageFile(context, written);
    else
        qCWarning(lcCommands).noquote() << QStringLiteral(
                                               "%1 gets no custom icon: %2 files cannot be read back as pictures.")
                                               .arg(QString::fromUtf8(written.name()), exporter.descriptionString);
}

} // namespace

void ExportIconImages(CommandContext& context, const CommandRequest& request, const CommandSettings& settings)
{
    if (!request.options.exporter)
        return;
    RunMakeIconLoop(context, request, settings, MakeIconWork{&exportOutputName, &exportIconImage});
}

} // namespace pictomat
