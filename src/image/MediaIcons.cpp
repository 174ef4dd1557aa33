#include "image/MediaIcons.h"

#include "icns/Contents.h"
#include "platform/FileIO.h"
#include "platform/FileRef.h"

#include <QFile>
#include <QImageIOHandler>
#include <QImageReader>
#include <QPainter>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <memory>

namespace pictomat {

namespace {

bool hasIcnsExtension(const QByteArray& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    const qsizetype dot = path.lastIndexOf('.');
    return dot > slash + 1 && path.mid(dot + 1).toLower() == "icns";
}

QByteArray extensionFormat(const QByteArray& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    const qsizetype dot = path.lastIndexOf('.');
    if (dot <= slash + 1)
        return {};
    const QByteArray suffix = path.mid(dot + 1).toLower();
    return QImageReader::supportedImageFormats().contains(suffix) ? suffix : QByteArray();
}

// The file opened by its own bytes, so that names which are not valid UTF-8
// still open; the QFile owns the descriptor once it has it.
std::unique_ptr<QFile> openByBytes(const QByteArray& path)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    auto file = std::make_unique<QFile>();
    if (!file->open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return nullptr;
    }
    return file;
}

// A reader on the open file: by content first, then by the name's extension
// for formats that carry no signature (TGA). Readers given a format never
// fall back to content, hence the two tries.
std::unique_ptr<QImageReader> readerFor(QFile& file, const QByteArray& path)
{
    auto reader = std::make_unique<QImageReader>(&file);
    if (reader->canRead())
        return reader;
    const QByteArray hinted = extensionFormat(path);
    if (hinted.isEmpty() || !file.seek(0))
        return nullptr;
    reader = std::make_unique<QImageReader>(&file, hinted);
    if (reader->canRead())
        return reader;
    return nullptr;
}

bool swapsEdges(QImageIOHandler::Transformations transformation)
{
    return transformation.testFlag(QImageIOHandler::TransformationRotate90);
}

} // namespace

bool HasImageImporter(const QByteArray& path)
{
    if (hasIcnsExtension(path))
        return false;
    std::unique_ptr<QFile> file = openByBytes(path);
    if (!file)
        return false;
    std::unique_ptr<QImageReader> reader = readerFor(*file, path);
    return reader && reader->format() != "icns";
}

std::optional<DecodedPicture> DecodeImageForIcon(const QByteArray& path)
{
    if (hasIcnsExtension(path))
        return std::nullopt;
    std::unique_ptr<QFile> file = openByBytes(path);
    if (!file)
        return std::nullopt;
    std::unique_ptr<QImageReader> reader = readerFor(*file, path);
    if (!reader || reader->format() == "icns")
        return std::nullopt;

    // Pictures from cameras are shown upright, as the file manager shows them.
    reader->setAutoTransform(true);
    const QSize stored = reader->size();  // before any rotation
    const bool swapped = swapsEdges(reader->transformation());

    if (stored.isValid() && !stored.isEmpty()) {
        const QSize natural = swapped ? stored.transposed() : stored;
        const Rect16 largest = FitRectInSquare(natural.width(), natural.height(), kLargestIconRow);
        const QSize needed(std::min(natural.width(), std::max(largest.width(), 1)),
                           std::min(natural.height(), std::max(largest.height(), 1)));
        if (needed != natural) {
            // The reader scales before it rotates.
            reader->setScaledSize(swapped ? needed.transposed() : needed);
        }
        QImage picture = reader->read();
        if (picture.isNull())
            return std::nullopt;
        return DecodedPicture{std::move(picture), natural};
    }

    // A reader that cannot tell the size without decoding: decode in full.
    QImage picture = reader->read();
    if (picture.isNull())
        return std::nullopt;
    const QSize natural = picture.size();
    return DecodedPicture{std::move(picture), natural};
}

QMap<int, QImage> RenderIconRows(const QImage& source, QSize natural)
{
    QMap<int, QImage> rows;
    if (source.isNull() || natural.isEmpty())
        return rows;
    const QImage picture = source.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    for (int m : kIconFamilySizes) {
        QImage square(m, m, QImage::Format_ARGB32_Premultiplied);
        if (square.isNull())
            continue;
        square.fill(Qt::transparent);
        const Rect16 r = FitRectInSquare(natural.width(), natural.height(), int16_t(m));
        if (r.width() > 0 && r.height() > 0) {
            const QImage scaled = picture.size() == QSize(r.width(), r.height())
                                      ? picture
                                      : picture.scaled(r.width(), r.height(), Qt::IgnoreAspectRatio,
                                                       Qt::SmoothTransformation);
            QPainter painter(&square);
            painter.setCompositionMode(QPainter::CompositionMode_Source);
            painter.drawImage(QPoint(r.left, r.top), scaled);
        }
        rows.insert(m, square);
    }
    return rows;
}

icns::IconFamily IconFamilyFromRows(const QMap<int, QImage>& rows)
{
    icns::IconFamily::WriteOptions options;
    options.legacy48 = true;
    options.legacy128 = true;
    return icns::IconFamily::fromImages(rows, options);
}

namespace {
// Every row drawn from one picture fitted by its natural size; nothing when
// no row could be drawn.
std::optional<icns::IconFamily> familyFromPicture(const QImage& picture, QSize natural)
{
    const QMap<int, QImage> rows = RenderIconRows(picture, natural);
    if (rows.isEmpty())
        return std::nullopt;
    icns::IconFamily family = IconFamilyFromRows(rows);
    if (family.isEmpty())
        return std::nullopt;
    return family;
}
} // namespace

std::optional<icns::IconFamily> IconFamilyFromImage(const QByteArray& path)
{
    const std::optional<DecodedPicture> decoded = DecodeImageForIcon(path);
    if (!decoded)
        return std::nullopt;
    return familyFromPicture(decoded->picture, decoded->natural);
}

std::optional<icns::IconFamily> IconFamilyFromMoviePoster(const QByteArray& path)
{
    const std::optional<MoviePoster> poster = ReadMoviePoster(path);
    if (!poster)
        return std::nullopt;
    return familyFromPicture(poster->frame, poster->displaySize);
}

std::optional<icns::IconFamily> IconFamilyFromIcnsFile(const QByteArray& path)
{
    const std::optional<QByteArray> bytes = ReadRegularFile(path, icns::kMaxIcnsFileSize);
    if (!bytes)
        return std::nullopt;
    std::optional<icns::IconFamily> family = icns::IconFamily::fromIcns(*bytes);
    if (!family || family->isEmpty())
        return std::nullopt;
    return family;
}

std::optional<icns::IconFamily> IconFamilyFromIconsetFolder(const QByteArray& path, QString* error)
{
    auto fail = [error](const QString& message) -> std::optional<icns::IconFamily> {
        if (error)
            *error = message;
        return std::nullopt;
    };
    const FileRef folder = FileRef::fromLocalPath(path);
    if (!folder.isDirectory())
        return fail(QStringLiteral("not a folder"));
    // Only the standard names are read, so nothing else the folder holds
    // (notes, sources, a larger master picture) can get in.
    QVector<icns::NamedPng> files;
    for (const icns::IconsetSlot& slot : icns::IconsetSlots()) {
        const FileRef file = folder.child(slot.name);
        if (!file.exists())
            continue;
        QString why;
        const std::optional<QByteArray> bytes = ReadRegularFile(file.path(), icns::kMaxIcnsFileSize, &why);
        if (!bytes)
            return fail(QStringLiteral("%1: cannot read: %2").arg(QLatin1String(slot.name), why));
        files.append(icns::NamedPng{slot.name, *bytes});
    }
    if (files.isEmpty())
        return fail(QStringLiteral("no picture named as in an iconset (icon_16x16.png ... icon_512x512@2x.png)"));
    return icns::FamilyFromPngs(files, true, error);
}

} // namespace pictomat
