#include "app/IcoCommand.h"

#include "app/HelpText.h"
#include "app/IconVerbs.h"
#include "commands/FailureCause.h"
#include "commands/PlatformIcons.h"
#include "files/FileIO.h"
#include "files/FileRef.h"
#include "icns/Png.h"
#include "ico/IcoFile.h"
#include "output/OutputFolder.h"

#include <QMap>
#include <QCoreApplication>
#include <QString>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace pictomat {

using namespace iconverbs;

namespace {

std::optional<ico::IcoFile> readIco(const QByteArray& path)
{
    Error readError;
    const std::optional<QByteArray> bytes = ReadRegularFile(path, ico::kMaxIcoFileSize, &readError);
    if (!bytes) {
        complain(path, QCoreApplication::translate("CommandLine", "cannot read: %1").arg(readError.message));
        return std::nullopt;
    }
    QString error;
    std::optional<ico::IcoFile> file = ico::IcoFile::parse(*bytes, &error);
    if (!file)
        complain(path, error);
    else if (!error.isEmpty())
        complain(path, QCoreApplication::translate("CommandLine", "warning: %1").arg(error));
    return file;
}

// The folder, made when missing; false, and said why, when there is none.
bool makeFolder(const QByteArray& folder)
{
    if (::mkdir(folder.constData(), 0777) != 0 && errno != EEXIST) {
        complain(
            folder,
            QCoreApplication::translate("CommandLine", "cannot create the folder: %1").arg(SystemErrorText(errno)));
        return false;
    }
    if (!FileRef::fromLocalPath(folder).isDirectory()) {
        complain(folder, QCoreApplication::translate("CommandLine", "not a folder"));
        return false;
    }
    return true;
}

QByteArray inFolder(const QByteArray& folder, const QByteArray& name)
{
    return folder + (folder.endsWith('/') ? "" : "/") + name;
}

// The pictures of a picture, movie or icon file at the edges, or nothing,
// and said why.
std::optional<QMap<int, QImage>> picturesOf(const QByteArray& input, const QList<int>& edges)
{
    QString why;
    std::optional<QMap<int, QImage>> pictures = MediaPicturesAt(FileRef::fromLocalPath(input), edges, &why);
    if (!pictures)
        complain(input, why.isEmpty() ? cause::ofPicture(PictureStatus::NotAPicture) : why);
    return pictures;
}

int list(const QByteArray& path)
{
    const std::optional<ico::IcoFile> file = readIco(path);
    if (!file)
        return 1;
    for (qsizetype i = 0; i < file->entries().size(); ++i) {
        const ico::Entry& entry = file->entries()[i];
        const QByteArray size = QByteArray::number(entry.width) + 'x' + QByteArray::number(entry.height);
        std::printf("%3lld  %-9s %2d-bit  %-13s %9lld\n", static_cast<long long>(i + 1), size.constData(), entry.depth,
                    ico::StorageOf(entry).toLatin1().constData(), static_cast<long long>(entry.bytes));
    }
    return 0;
}

int extract(const Arguments& args)
{
    const QByteArray& path = args.operands[0];
    const QByteArray& folder = args.operands[1];
    const std::optional<ico::IcoFile> file = readIco(path);
    if (!file || !makeFolder(folder))
        return 1;
    const auto found = ConfinedPictures<ico::NamedPng>(
        path, [&file](QStringList* skipped) { return ico::PicturesAsPng(*file, skipped); });
    if (!found)
        return 1;
    const auto& [pictures, skipped] = *found;
    for (const QString& picture : skipped)
        complain(path, QCoreApplication::translate("CommandLine", "%1; not saved").arg(picture));
    if (pictures.isEmpty()) {
        complain(path, QCoreApplication::translate("CommandLine", "no picture to save"));
        return 1;
    }
    QVector<OutputDirectory::File> files;
    for (const ico::NamedPng& picture : pictures)
        files.append({picture.name, picture.png});
    return writeFiles(folder, files, args.force) == 0 && skipped.isEmpty() ? 0 : 1;
}

// PNG files given one by one: each its own picture, kept as it is where the
// icon stores PNG.
std::optional<QVector<ico::IcoImage>> pngPictures(const QList<QByteArray>& inputs)
{
    QVector<ico::IcoImage> images;
    QMap<QPair<int, int>, QByteArray> bySize;
    for (const QByteArray& input : inputs) {
        Error error;
        const std::optional<QByteArray> bytes = ReadRegularFile(input, ico::kMaxIcoFileSize, &error);
        if (!bytes) {
            complain(input, QCoreApplication::translate("CommandLine", "cannot read: %1").arg(error.message));
            return std::nullopt;
        }
        const std::optional<QSize> size = icns::codec::IsPng(*bytes) ? icns::codec::PngSize(*bytes) : std::nullopt;
        if (!size) {
            complain(input, QCoreApplication::translate("CommandLine", "not a PNG picture"));
            return std::nullopt;
        }
        if (size->width() > ico::kMaxEdge || size->height() > ico::kMaxEdge) {
            complain(input, QCoreApplication::translate("CommandLine", "%1x%2 pixels; icon pictures are at most %3")
                                .arg(size->width())
                                .arg(size->height())
                                .arg(ico::kMaxEdge));
            return std::nullopt;
        }
        // Decoded in a confined child; its pixels come back raw, checked
        // against the size this process read from the header itself.
        const std::optional<QByteArray> pixels = Confined<QByteArray>(input, [&bytes] {
            const QImage decoded = icns::codec::DecodePng(*bytes);
            return QByteArray(reinterpret_cast<const char*>(decoded.constBits()), decoded.sizeInBytes());
        });
        if (!pixels)
            return std::nullopt;
        QImage image(*size, QImage::Format_ARGB32);
        if (!image.isNull() && pixels->size() == image.sizeInBytes())
            std::memcpy(image.bits(), pixels->constData(), size_t(pixels->size()));
        else
            image = QImage();
        if (image.size() != *size) {
            complain(input, QCoreApplication::translate("CommandLine", "the PNG picture cannot be decoded"));
            return std::nullopt;
        }
        const QPair<int, int> key{size->width(), size->height()};
        if (bySize.contains(key)) {
            const QString message = QCoreApplication::translate("CommandLine", "%1 and %2 are both %3x%4 pixels")
                                        .arg(QString::fromLocal8Bit(bySize.value(key)), QString::fromLocal8Bit(input),
                                             QString::number(size->width()), QString::number(size->height()));
            std::fprintf(stderr, "pictomat: %s\n", message.toUtf8().constData());
            return std::nullopt;
        }
        bySize.insert(key, input);
        images.append(ico::IcoImage{image, *bytes});
    }
    return images;
}

int createIco(const Arguments& args)
{
    const QByteArray& output = args.operands[0];
    const QList<QByteArray> inputs = args.operands.mid(1);
    QByteArray bytes;
    if (inputs.size() == 1) {
        const std::optional<QMap<int, QImage>> pictures = picturesOf(inputs[0], kWindowsIconSizes);
        if (!pictures)
            return 1;
        bytes = IcoFromPictures(*pictures);
    } else {
        const std::optional<QVector<ico::IcoImage>> images = pngPictures(inputs);
        if (!images)
            return 1;
        if (images->size() > ico::kMaxEntries) {
            complain(output, QCoreApplication::translate("CommandLine", "more than %1 pictures").arg(ico::kMaxEntries));
            return 1;
        }
        bytes = ico::WriteIco(*images);
    }
    if (bytes.isEmpty()) {
        complain(output, QCoreApplication::translate("Cause", "the pictures make no icon file"));
        return 1;
    }
    return writeOutput(output, bytes, args.force) ? 0 : 1;
}

} // namespace

int iconverbs::writeFiles(const QByteArray& folder, const QVector<OutputDirectory::File>& files, bool force)
{
    if (!makeFolder(folder))
        return 1;
    int status = 0;
    for (const OutputDirectory::File& file : files) {
        const QList<QByteArray> parts = file.path.split('/');
        QByteArray at = folder;
        bool placed = true;
        for (qsizetype i = 0; i + 1 < parts.size() && placed; ++i)
            placed = makeFolder(at = inFolder(at, parts[i]));
        const QByteArray target = inFolder(folder, file.path);
        if (!placed || !writeOutput(target, file.bytes, force)) {
            status = 1;
            continue;
        }
        std::printf("%s\n", target.constData());
    }
    return status;
}

int RunIcoCommand(const QList<QByteArray>& operands)
{
    const std::optional<Arguments> args = parse(operands,
                                                {{.word = "list", .operands = 1, .force = false},
                                                 {.word = "extract", .operands = 2},
                                                 {.word = "create", .operands = 2, .moreOperands = true}},
                                                help::Ico());
    if (!args)
        return 2;
    if (args->help)
        return 0;
    if (args->form == "list")
        return list(args->operands[0]);
    if (args->form == "extract")
        return extract(*args);
    return createIco(*args);
}

int RunIconsetCommand(const QList<QByteArray>& operands)
{
    const std::optional<Arguments> args = parse(operands, {{.word = "create", .operands = 2}}, help::Iconset());
    if (!args)
        return 2;
    if (args->help)
        return 0;
    const std::optional<QMap<int, QImage>> pictures = picturesOf(args->operands[1], IconsetPixelSizes());
    if (!pictures)
        return 1;
    const QVector<OutputDirectory::File> files = IconsetFiles(*pictures);
    if (files.isEmpty()) {
        complain(args->operands[1], QCoreApplication::translate("Cause", "the pictures could not be encoded"));
        return 1;
    }
    return writeFiles(args->operands[0], files, args->force);
}

int RunHicolorCommand(const QList<QByteArray>& operands)
{
    const std::optional<Arguments> args =
        parse(operands, {{.word = "create", .operands = 2, .name = true}}, help::Hicolor());
    if (!args)
        return 2;
    if (args->help)
        return 0;
    const std::optional<QByteArray>& name = args->name;
    const QByteArray& picture = args->operands[1];
    const FileRef item = FileRef::fromLocalPath(picture);
    if (name && SafeIconName(*name) != *name) {
        notAnIconName(*name);
        return 2;
    }
    const std::optional<QMap<int, QImage>> pictures = picturesOf(picture, kLinuxIconSetSizes);
    if (!pictures)
        return 1;
    const QVector<OutputDirectory::File> files =
        LinuxIconSetFiles(*pictures, name.value_or(IconThemeName(item.name())), SvgSourceOf(item));
    if (files.isEmpty()) {
        complain(picture, QCoreApplication::translate("Cause", "the pictures could not be encoded"));
        return 1;
    }
    return writeFiles(args->operands[0], files, args->force);
}

} // namespace pictomat
