#include "read/PictureFile.h"

#include "files/FileIO.h"
#include "ico/IcoFile.h"
#include "read/ColourProfile.h"
#include "read/Drawing.h"
#include "read/PictureStreams.h"
#include "read/Source.h"
#include "resample/Reducer.h"

#include <QBuffer>
#include <QColorSpace>
#include <QFile>
#include <QImageIOHandler>
#include <QImageReader>
#include <QtEndian>

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <numeric>

namespace pictomat {

namespace {

// The readers' own limit on what one whole decode may allocate, set on
// purpose rather than left at Qt's default (which refuses ordinary photos):
// a whole picture at our limit, with room for one converted copy.
void setAllocationLimit()
{
    static const bool done = [] {
        QImageReader::setAllocationLimit(int(kMaxWholePicturePixels * 4 * 2 / (1024 * 1024)));
        return true;
    }();
    (void)done;
}

// A JPEG needs at least a bit for every 8 x 8 block of its brightness, so a
// header promising more pixels than that is a decompression bomb or a cut
// file, refused before decoding. (Arithmetic coding could do with less; such
// files are rare enough to be held to the same rule.)
bool promisesMoreThanItsBytes(const QByteArray& format, QSize size, qint64 fileBytes)
{
    const qint64 pixels = qint64(size.width()) * size.height();
    if (format == "jpeg")
        return pixels > 1024 * std::max<qint64>(fileBytes, 1);
    return false;
}

// Through Qt's reader, whole, and so held to the smaller limit: the
// formats without a decoder of ours (GIF, BMP, TGA, CMYK JPEG, animated WebP...).
PictureResult decodeWithQt(QIODevice& device, const QByteArray& format, qint64 fileBytes)
{
    setAllocationLimit();
    QImageReader reader(&device, format);
    reader.setAutoTransform(true);
    if (!reader.canRead())
        return PictureFailure(PictureStatus::NotAPicture);
    const QSize stored = reader.size();
    if (stored.isValid()) {
        const qint64 pixels = qint64(stored.width()) * stored.height();
        if (pixels > kMaxWholePicturePixels)
            return PictureFailure(PictureStatus::TooLarge);
        if (pixels <= 0)
            return PictureFailure(PictureStatus::Damaged);
        if (promisesMoreThanItsBytes(format, stored, fileBytes))
            return PictureFailure(PictureStatus::TooLarge);
    }
    // A reader that cannot tell the size without decoding: the allocation
    // limit holds it.
    QImage picture = reader.read();
    if (picture.isNull())
        return PictureFailure(PictureStatus::Damaged);
    const QSize natural = picture.size();
    PictureResult result = PictureDecoded(std::move(picture), natural);
    if (result.decoded.picture.colorSpace().isValid())
        result.iccProfile = result.decoded.picture.colorSpace().iccProfile();
    return result;
}

// A Windows icon holds a picture per size and depth, smallest first as a
// rule: the largest, deepest one is the icon at its best, as an icon
// family's largest element is (Qt's reader gives the first, a 16 pixel one).
PictureResult decodeIco(QIODevice& device, qint64 fileBytes)
{
    if (fileBytes > ico::kMaxIcoFileSize)
        return PictureFailure(PictureStatus::TooLarge);
    const std::optional<ico::IcoFile> file = ico::IcoFile::parse(device.readAll());
    if (!file)
        return PictureFailure(PictureStatus::Damaged);
    const QVector<ico::Entry>& entries = file->entries();
    QVector<qsizetype> order(entries.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&entries](qsizetype a, qsizetype b) {
        const ico::Entry &x = entries[a], &y = entries[b];
        return std::pair(qint64(x.width) * x.height, x.depth) > std::pair(qint64(y.width) * y.height, y.depth);
    });
    // A picture that does not decode gives way to the next best.
    for (qsizetype i : order) {
        QImage picture = file->image(i);
        if (!picture.isNull()) {
            const QSize natural = picture.size();
            return PictureDecoded(std::move(picture), natural);
        }
    }
    return PictureFailure(PictureStatus::Damaged);
}

// A drawing is drawn at the size wanted, never scaled: it counts as large
// as the largest bitmap we make, its own aspect kept.
PictureResult decodeDrawing(QIODevice& device, const QByteArray& ownFile, const PictureTarget& target)
{
    PictureStatus status = PictureStatus::NotAPicture;
    const std::unique_ptr<Drawing> drawing =
        OpenDrawingDevice(device, ownFile.isEmpty() ? DrawingLinks::None : DrawingLinks::OwnFolder, ownFile, &status);
    if (!drawing)
        return PictureFailure(status);
    const QSize natural = drawing->naturalSize()
                              .scaled(kLargestDrawnEdge, kLargestDrawnEdge, Qt::KeepAspectRatio)
                              .toSize()
                              .expandedTo(QSize(1, 1));
    QImage picture = drawing->draw(WantedPictureSize(target, natural));
    if (picture.isNull())
        return PictureFailure(drawing->status());
    return PictureDecoded(std::move(picture), natural);
}

PictureResult decodeRaster(QIODevice& device, const QByteArray& format, qint64 fileBytes, const PictureTarget& target,
                           PictureRowSink* sink)
{
    if (IsHeifFormat(format))
        return DecodeHeif(device, target);
    if (format == "png")
        return DecodePng(device, fileBytes, target, sink);
    if (format == "ico")
        return decodeIco(device, fileBytes);
    if (format == "jpeg") {
        if (std::optional<PictureResult> scaled = DecodeJpeg(device, fileBytes, target, sink))
            return *scaled;
        if (!device.seek(0))
            return PictureFailure(PictureStatus::Damaged);
    }
    if (format == "tiff") {
        if (std::optional<PictureResult> streamed = DecodeTiff(device, target))
            return *streamed;
        if (!device.seek(0))
            return PictureFailure(PictureStatus::Damaged);
    }
    if (format == "webp") {
        if (fileBytes > kMaxPictureFileBytes)
            return PictureFailure(PictureStatus::TooLarge);
        const QByteArray bytes = device.readAll();
        if (std::optional<PictureResult> scaled = DecodeWebp(bytes, target))
            return *scaled;
        // Animated: Qt's reader takes the first frame, decoded whole.
        QBuffer buffer;
        buffer.setData(bytes);
        buffer.open(QIODevice::ReadOnly);
        return decodeWithQt(buffer, format, fileBytes);
    }
    return decodeWithQt(device, format, fileBytes);
}

// Every picture we read comes through here: a drawing is drawn at the size
// wanted; a bitmap is decoded by its decoder shrunk on load, brought into
// sRGB by its colour profile, then reduced to the size wanted. With a sink,
// the decoders that deliver rows in order hand them to it instead.
PictureResult decodeSource(PictureSource& source, const PictureTarget& target, PictureFit fit, PictureRowSink* sink)
{
    if (!source.isOpen())
        return PictureFailure(PictureStatus::NotAPicture);
    const QByteArray& format = source.format();
    QIODevice& device = source.device();
    const qint64 fileBytes = source.size();
    if (source.content() == Content::Drawing)
        return decodeDrawing(device, source.path(), target);
    if (source.content() != Content::Picture)
        return PictureFailure(PictureStatus::NotAPicture);
    PictureResult result = decodeRaster(device, format, fileBytes, target, sink);
    if (!result.ok() || result.streamed)
        return result;
    QImage& picture = result.decoded.picture;
    // An opaque picture is its own premultiplied form: no copy of it is made.
    if (picture.format() == QImage::Format_RGB32
        || (picture.format() == QImage::Format_ARGB32 && !picture.hasAlphaChannel()))
        picture.reinterpretAsFormat(QImage::Format_ARGB32_Premultiplied);
    else if (picture.format() != QImage::Format_ARGB32_Premultiplied)
        picture = picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    ConvertToSrgb(picture, result.iccProfile);
    result.iccProfile.clear();
    if (fit == PictureFit::Exact) {
        const QSize want = WantedPictureSize(target, result.decoded.natural);
        if (picture.size() != want)
            picture = ReducePicture(picture, want);
        if (picture.isNull())
            return PictureFailure(PictureStatus::TooLarge);
    }
    return result;
}

} // namespace

QString PictureStatusText(PictureStatus status)
{
    switch (status) {
    case PictureStatus::Decoded: return QStringLiteral("decoded");
    case PictureStatus::NotAPicture: return QStringLiteral("not a picture this program reads");
    case PictureStatus::TooLarge: return QStringLiteral("past the picture size limits");
    case PictureStatus::Damaged: return QStringLiteral("damaged");
    case PictureStatus::TooCostly:
        return QStringLiteral("a drawing that takes more than %1 seconds of processor time to draw")
            .arg(double(kDrawingBudget.count()) / 1000.0);
    }
    return {};
}

PictureTarget FitWithin(int maxEdge)
{
    return [maxEdge](QSize natural) {
        if (natural.width() <= maxEdge && natural.height() <= maxEdge)
            return natural;
        return natural.scaled(maxEdge, maxEdge, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
    };
}

PictureResult ReadPicture(PictureSource& source, const PictureTarget& target, PictureFit fit, PictureRowSink* sink)
{
    return decodeSource(source, target, sink ? PictureFit::ShrunkOnLoad : fit, sink);
}

PictureResult ReadPictureFile(const FileRef& file, const PictureTarget& target, PictureFit fit)
{
    PictureSource source = PictureSource::open(file);
    return decodeSource(source, target, fit, nullptr);
}

PictureResult StreamPictureFile(const FileRef& file, const PictureTarget& target, PictureRowSink& sink)
{
    PictureSource source = PictureSource::open(file);
    return decodeSource(source, target, PictureFit::ShrunkOnLoad, &sink);
}

QImage ReadImageFile(const FileRef& file, int maxEdge, PictureStatus* status)
{
    PictureResult result = ReadPictureFile(file, FitWithin(maxEdge));
    if (status)
        *status = result.status;
    return std::move(result.decoded.picture);
}

QSize PictureFileSize(const QByteArray& path)
{
    PictureSource source = PictureSource::open(FileRef(path));
    if (source.content() != Content::Picture)
        return {};
    if (IsHeifFormat(source.format()))
        return HeifPictureSize(source.device());
    return QImageReader(&source.device(), source.format()).size();
}

PictureResult DecodePictureBytes(const QByteArray& bytes, const PictureTarget& target)
{
    PictureSource source = PictureSource::fromBytes(bytes);
    return decodeSource(source, target, PictureFit::Exact, nullptr);
}

namespace {
// Drawing time follows the number of elements; no icon has this many.
std::optional<QByteArray> withFewElements(QByteArray document)
{
    if (document.count('<') > kMaxSvgElements)
        return std::nullopt;
    return document;
}
} // namespace

std::optional<QByteArray> SvgDocument(const QByteArray& bytes)
{
    if (!bytes.startsWith("\x1f\x8b")) {
        if (bytes.size() > kMaxSvgDocumentBytes)
            return std::nullopt;
        return withFewElements(bytes);
    }
    // Inflated here with a cap rather than by the SVG reader, which would
    // inflate whatever the file holds: a small file can expand a thousandfold.
    z_stream stream{};
    if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK)
        return std::nullopt;
    QByteArray out;
    out.resize(qsizetype(std::min<qint64>(kMaxSvgDocumentBytes, std::max<qint64>(bytes.size() * 4, 64 * 1024))));
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.constData()));
    stream.avail_in = uInt(bytes.size());
    qsizetype produced = 0;
    int status = Z_OK;
    while (status == Z_OK) {
        if (produced == out.size()) {
            if (out.size() >= kMaxSvgDocumentBytes) {
                inflateEnd(&stream);
                return std::nullopt;
            }
            out.resize(qsizetype(std::min<qint64>(kMaxSvgDocumentBytes, qint64(out.size()) * 2)));
        }
        stream.next_out = reinterpret_cast<Bytef*>(out.data() + produced);
        stream.avail_out = uInt(out.size() - produced);
        status = inflate(&stream, Z_NO_FLUSH);
        produced = out.size() - qsizetype(stream.avail_out);
    }
    inflateEnd(&stream);
    if (status != Z_STREAM_END)
        return std::nullopt;
    out.truncate(produced);
    return withFewElements(std::move(out));
}

std::optional<QByteArray> ReadSvgDocument(const QByteArray& path)
{
    const std::optional<QByteArray> bytes = ReadRegularFile(path, kMaxSvgDocumentBytes);
    if (!bytes)
        return std::nullopt;
    return SvgDocument(*bytes);
}

} // namespace pictomat
