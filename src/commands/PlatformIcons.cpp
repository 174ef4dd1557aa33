#include "commands/PlatformIcons.h"

#include "commands/CommandServices.h"
#include "commands/FailureCause.h"
#include "commands/ItemOperations.h"
#include "commands/Log.h"
#include "commands/MakeIconLoop.h"
#include "files/FileIO.h"
#include "icns/Contents.h"
#include "icns/Png.h"
#include "ico/IcoFile.h"
#include "image/MediaIcons.h"
#include "worker/ReadingWorker.h"
#include "resample/Reducer.h"
#include "output/OutputFolder.h"

#include <QCoreApplication>

#include <algorithm>
#include <functional>
#include <thread>

namespace pictomat {

namespace {

// The pictures of one item for a command, or the alert that says there are none.
std::optional<QMap<int, QImage>> picturesFor(CommandContext& context, const FileRef& item, const QList<int>& edges)
{
    QString why;
    QString logged;
    std::optional<QMap<int, QImage>> pictures =
        item.exists() ? MediaPicturesAt(item, edges, &why, &logged) : std::nullopt;
    if (!pictures) {
        if (!item.exists()) {
            why = MissingItemCause(context);
            logged = cause::ofName(context.alertItem, cause::In::English);
        }
        qCWarning(lcCommands).noquote() << QStringLiteral("Pictomat: %1: %2").arg(item.displayPath(), logged);
        ShowItemAlert(context,
                      QStringLiteral(QT_TRANSLATE_NOOP("Alert", "The icon could not be obtained from the file.")), why);
    }
    return pictures;
}

QByteArray icoOutputName(const QByteArray& itemName, const CommandRequest&, const CommandSettings&)
{
    return IcoOutputName(itemName);
}

QByteArray iconSetOutputName(const QByteArray& itemName, const CommandRequest&, const CommandSettings&)
{
    return IconSetOutputName(itemName);
}

void fillIco(CommandContext& context, const CommandRequest&, const CommandSettings&, const MakeIconItem& job)
{
    const std::optional<QMap<int, QImage>> pictures = picturesFor(context, job.item, kWindowsIconSizes);
    if (!pictures)
        return;
    const QByteArray bytes = IcoFromPictures(*pictures);
    if (bytes.isEmpty()) {
        job.output.fail(QStringLiteral(QT_TRANSLATE_NOOP("Cause", "the pictures make no icon file")));
        return;
    }
    if (WriteOutput(context, job.output, bytes))
        NotifyFinderOfChange(job.output.target());
}

void fillIconSet(CommandContext& context, const CommandRequest&, const CommandSettings&, const MakeIconItem& job)
{
    const std::optional<QMap<int, QImage>> pictures = picturesFor(context, job.item, kLinuxIconSetSizes);
    if (!pictures)
        return;
    const QVector<OutputDirectory::File> files =
        LinuxIconSetFiles(*pictures, IconThemeName(job.item.name()), SvgSourceOf(job.item));
    if (files.size() < kLinuxIconSetSizes.size()) {
        job.output.fail(QStringLiteral(QT_TRANSLATE_NOOP("Cause", "the pictures could not be encoded")));
        return;
    }
    if (WriteOutput(context, job.output, OutputDirectory::partsOf(files)))
        NotifyFinderOfChange(job.output.target());
}

} // namespace

QList<int> IconsetPixelSizes()
{
    QList<int> sizes;
    for (const icns::IconsetSlot& slot : icns::IconsetSlots())
        if (!sizes.contains(slot.pixels()))
            sizes.append(slot.pixels());
    return sizes;
}

std::optional<QMap<int, QImage>> MediaPicturesAt(const FileRef& item, const QList<int>& edges, QString* why,
                                                 QString* logged)
{
    // The cause in both languages; an .iconset folder's reader says its own.
    const auto because = [why, logged](const std::function<QString(cause::In)>& say) {
        if (why)
            *why = say(cause::In::UserLanguage);
        if (logged)
            *logged = say(cause::In::English);
    };
    // An .iconset folder counts by its name; an icon file by its bytes, as
    // for "Make Icon for Media", read with the media in the worker.
    if (item.isDirectory() && item.name().toLower().endsWith(".iconset")) {
        QString error;
        const std::optional<icns::IconFamily> family = IconFamilyFromIconsetFolder(item.path(), &error);
        if (!family) {
            because([&error](cause::In) { return error; });
            return std::nullopt;
        }
        std::optional<QMap<int, QImage>> pictures = ReadIconFamilySizes(*family, edges);
        if (!pictures)
            because([](cause::In in) { return cause::iconFileHoldsNothing(in); });
        return pictures;
    }
    PictureStatus status = PictureStatus::NotAPicture;
    std::optional<QMap<int, QImage>> pictures = ReadMediaIconSizes(item.path(), edges, &status);
    if (!pictures)
        because([status](cause::In in) { return cause::ofPicture(status, in); });
    return pictures;
}

QByteArray IcoFromPictures(const QMap<int, QImage>& pictures)
{
    QVector<ico::IcoImage> images;
    for (const QImage& picture : pictures)
        images.append(ico::IcoImage{picture, {}});
    return ico::WriteIco(images);
}

QVector<OutputDirectory::File> LinuxIconSetFiles(const QMap<int, QImage>& pictures, const QByteArray& iconName,
                                                 const std::optional<QByteArray>& svg)
{
    if (pictures.isEmpty())
        return {};
    // The largest picture costs more to compress than all the others
    // together, so it is encoded on a second core meanwhile.
    QByteArray largest;
    std::thread worker;
    const bool apart = pictures.size() > 1 && std::thread::hardware_concurrency() > 1;
    if (apart)
        worker = std::thread([&largest, &pictures] { largest = icns::codec::EncodePng(pictures.last()); });
    QVector<OutputDirectory::File> files;
    icns::codec::PngEncoder encoder;
    for (auto it = pictures.cbegin(); it != pictures.cend(); ++it) {
        const QByteArray edge = QByteArray::number(it.key());
        const bool last = std::next(it) == pictures.cend();
        files.append({edge + 'x' + edge + "/apps/" + iconName + ".png",
                      last && apart ? QByteArray() : encoder.encode(it.value())});
    }
    if (apart) {
        worker.join();
        files.last().bytes = largest;
    }
    for (const OutputDirectory::File& file : files)
        if (file.bytes.isEmpty())
            return {};
    if (svg)
        files.append({"scalable/apps/" + iconName + ".svg", *svg});
    return files;
}

std::optional<QByteArray> SvgSourceOf(const FileRef& item)
{
    // Only a drawing is read whole.
    const std::unique_ptr<QFile> file = OpenFileForReading(item);
    const QByteArray format = file ? SniffPictureFormat(file->peek(1024), item.name()) : QByteArray();
    if ((format != "svg" && format != "svgz") || file->size() > kMaxSvgDocumentBytes)
        return std::nullopt;
    std::optional<QByteArray> document = SvgDocument(file->readAll());
    if (!document || !document->contains("<svg"))
        return std::nullopt;
    return document;
}

QVector<OutputDirectory::File> IconsetFiles(const QMap<int, QImage>& pictures)
{
    QVector<OutputDirectory::File> files;
    QMap<int, QByteArray> encoded;
    icns::codec::PngEncoder encoder;
    for (const icns::IconsetSlot& slot : icns::IconsetSlots()) {
        QByteArray& png = encoded[slot.pixels()];
        if (png.isEmpty())
            png = encoder.encode(pictures.value(slot.pixels()));
        if (png.isEmpty())
            return {};
        files.append({slot.name, png});
    }
    return files;
}

void MakeWindowsIconForMedia(CommandContext& context, const CommandRequest& request, const CommandSettings& settings)
{
    RunMakeIconLoop(context, request, settings, MakeIconWork{&icoOutputName, &fillIco, false});
}

void MakeLinuxIconSetForMedia(CommandContext& context, const CommandRequest& request, const CommandSettings& settings)
{
    RunMakeIconLoop(context, request, settings, MakeIconWork{&iconSetOutputName, &fillIconSet, false, true});
}

} // namespace pictomat
