#include "image/MediaIcons.h"

#include "files/FileIO.h"
#include "files/FileRef.h"
#include "icns/Contents.h"

#include <QFile>
#include <QPainter>

#include <unistd.h>

#include <algorithm>
#include <thread>

namespace pictomat {

namespace {

// The first bytes of a regular file; nothing for anything else.
std::optional<QByteArray> headOf(const QByteArray& path)
{
    const UniqueFd fd = OpenDescriptorForReading(path);
    if (!fd.valid())
        return std::nullopt;
    QByteArray head(1024, Qt::Uninitialized);
    const ssize_t n = ::pread(fd.get(), head.data(), size_t(head.size()), 0);
    if (n < 0)
        return std::nullopt;
    head.truncate(qsizetype(n));
    return head;
}

bool isIconFamilyHead(const QByteArray& head)
{
    return head.startsWith("icns");
}

} // namespace

bool HasImageImporter(const QByteArray& path)
{
    const std::optional<QByteArray> head = headOf(path);
    return head && !SniffPictureFormat(*head, path).isEmpty();
}

bool HoldsIconFamily(const QByteArray& path)
{
    const std::optional<QByteArray> head = headOf(path);
    return head && isIconFamilyHead(*head);
}

std::optional<DecodedPicture> DecodeImageForIcon(const QByteArray& path, PictureStatus* status)
{
    // Exactly the largest row's fitted rectangle, so that row needs no second scaling.
    const PictureTarget target = [](QSize natural) {
        const Rect16 largest = FitRectInSquare(natural.width(), natural.height(), kLargestIconRow);
        return QSize(std::max(largest.width(), 1), std::max(largest.height(), 1));
    };
    PictureResult result = ReadPictureFile(FileRef(path), target);
    if (status)
        *status = result.status;
    if (!result.ok())
        return std::nullopt;
    return std::move(result.decoded);
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
    // The largest row costs about as much to compress as all the others
    // together, so it is encoded on a second core meanwhile. Its elements
    // come last in a family anyway, so the result is the same as in one go.
    const auto largest = rows.constFind(kLargestIconRow);
    if (largest == rows.cend() || rows.size() < 2 || std::thread::hardware_concurrency() < 2)
        return icns::IconFamily::fromImages(rows, options);
    QMap<int, QImage> rest = rows;
    rest.remove(kLargestIconRow);
    const QMap<int, QImage> big{{kLargestIconRow, largest.value()}};
    icns::IconFamily bigFamily;
    std::thread worker([&] { bigFamily = icns::IconFamily::fromImages(big, options); });
    icns::IconFamily family = icns::IconFamily::fromImages(rest, options);
    worker.join();
    for (const icns::IconFamily::Element& element : bigFamily.elements())
        family.setElement(element.type, element.data);
    return family;
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

std::optional<icns::IconFamily> IconFamilyFromMedia(const QByteArray& path)
{
    const std::optional<QByteArray> head = headOf(path);
    if (!head)
        return std::nullopt;
    if (isIconFamilyHead(*head))
        return IconFamilyFromIcnsFile(path);
    if (!SniffPictureFormat(*head, path).isEmpty())
        return IconFamilyFromImage(path);
    return IconFamilyFromMoviePoster(path);
}

// Every size from one decode at the largest edge asked for, each scaled
// smoothly from it.
std::optional<QMap<int, QImage>> RenderMediaIconSizes(const QByteArray& path, const QList<int>& edges,
                                                      PictureStatus* status)
{
    if (status)
        *status = PictureStatus::NotAPicture;
    const std::optional<QByteArray> head = headOf(path);
    if (edges.isEmpty() || !head || isIconFamilyHead(*head))
        return std::nullopt;
    const int largest = *std::max_element(edges.begin(), edges.end());
    if (largest < 1 || largest > 4096)
        return std::nullopt;
    QImage picture;
    QSize natural;
    if (!SniffPictureFormat(*head, path).isEmpty()) {
        PictureResult result = ReadPictureFile(FileRef(path), [largest](QSize size) {
            const Rect16 r = FitRectInSquare(size.width(), size.height(), int16_t(largest));
            return QSize(std::max(r.width(), 1), std::max(r.height(), 1));
        });
        if (status)
            *status = result.status;
        if (!result.ok())
            return std::nullopt;
        picture = std::move(result.decoded.picture);
        natural = result.decoded.natural;
    } else {
        std::optional<MoviePoster> poster = ReadMoviePoster(path, largest);
        if (!poster)
            return std::nullopt;
        picture = std::move(poster->frame);
        natural = poster->displaySize;
    }
    if (picture.isNull() || natural.isEmpty())
        return std::nullopt;
    picture.convertTo(QImage::Format_ARGB32_Premultiplied);
    QMap<int, QImage> sizes;
    for (int m : edges) {
        QImage square(m, m, QImage::Format_ARGB32_Premultiplied);
        if (square.isNull())
            return std::nullopt;
        square.fill(Qt::transparent);
        const Rect16 r = FitRectInSquare(natural.width(), natural.height(), int16_t(m));
        if (r.width() > 0 && r.height() > 0) {
            QPainter painter(&square);
            painter.setCompositionMode(QPainter::CompositionMode_Source);
            painter.drawImage(QPoint(r.left, r.top),
                              picture.size() == QSize(r.width(), r.height())
                                  ? picture
                                  : picture.scaled(r.width(), r.height(), Qt::IgnoreAspectRatio,
                                                   Qt::SmoothTransformation));
        }
        sizes.insert(m, square);
    }
    if (status)
        *status = PictureStatus::Decoded;
    return sizes;
}

} // namespace pictomat
