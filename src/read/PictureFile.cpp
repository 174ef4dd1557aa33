#include "read/PictureFile.h"

#include "files/FileIO.h"
#include "ico/IcoFile.h"
#include "read/ColourProfile.h"
#include "read/Drawing.h"
#include "read/PictureStreams.h"
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

bool startsWith(const QByteArray& head, const char* magic, qsizetype length)
{
    return head.size() >= length && std::memcmp(head.constData(), magic, size_t(length)) == 0;
}

QByteArray extensionOf(const QByteArray& name)
{
    const qsizetype slash = name.lastIndexOf('/');
    const qsizetype dot = name.lastIndexOf('.');
    return dot > slash + 1 ? name.mid(dot + 1).toLower() : QByteArray();
}

// HEIF and AVIF: an ISO media file whose first box names a still-image brand.
// Movies (MP4, QuickTime) name others.
QByteArray heifFormat(const QByteArray& head)
{
    if (head.size() < 16 || head.mid(4, 4) != "ftyp")
        return {};
    const qint64 boxSize = qFromBigEndian<quint32>(head.constData());
    QByteArray format;
    for (qsizetype at = 8; at + 4 <= std::min<qint64>(head.size(), boxSize); at += at == 8 ? 8 : 4) {
        const QByteArray brand = head.mid(at, 4);
        if (brand == "avif")
            return "avif";
        if (brand == "heic" || brand == "heix" || brand == "heim" || brand == "heis")
            format = "heic";
        else if ((brand == "mif1" || brand == "mif2") && format.isEmpty())
            format = "heif";
    }
    return format;
}

bool isHeifFormat(const QByteArray& format)
{
    return format == "heic" || format == "heif" || format == "avif";
}

bool looksLikeSvgText(const QByteArray& head)
{
    const QByteArray text = head.trimmed();
    if (!text.startsWith('<'))
        return false;
    return text.contains("<svg") || text.startsWith("<?xml") || text.startsWith("<!DOCTYPE svg");
}

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
    if (isHeifFormat(format))
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
PictureResult decodeDevice(QIODevice& device, qint64 fileBytes, const QByteArray& name, const QByteArray& ownFile,
                           const PictureTarget& target, PictureFit fit, PictureRowSink* sink = nullptr)
{
    const QByteArray format = SniffPictureFormat(device.peek(1024), name);
    if (format.isEmpty())
        return PictureFailure(PictureStatus::NotAPicture);
    if (IsDrawingFormat(format))
        return decodeDrawing(device, ownFile, target);
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

QByteArray SniffPictureFormat(const QByteArray& head, const QByteArray& name)
{
    if (startsWith(head, "\x89PNG\r\n\x1a\n", 8))
        return "png";
    if (startsWith(head, "\xff\xd8\xff", 3))
        return "jpeg";
    if (startsWith(head, "GIF87a", 6) || startsWith(head, "GIF89a", 6))
        return "gif";
    if (startsWith(head, "RIFF", 4) && head.size() >= 12 && head.mid(8, 4) == "WEBP")
        return "webp";
    if (startsWith(head, "II*\0", 4) || startsWith(head, "MM\0*", 4))
        return "tiff";
    if (startsWith(head, "\x8aMNG\r\n\x1a\n", 8))
        return "mng";
    if (startsWith(head, "BM", 2) && head.size() >= 26)
        return "bmp";
    // ICO and CUR: reserved 0, type 1 or 2, at least one image.
    if (head.size() >= 6 && head[0] == 0 && head[1] == 0 && (head[2] == 1 || head[2] == 2) && head[3] == 0
        && (head[4] != 0 || head[5] != 0))
        return "ico";
    if (head.size() >= 3 && head[0] == 'P' && head[1] >= '1' && head[1] <= '6'
        && QByteArrayView(" \t\r\n#").contains(head[2]))
        return head[1] == '1' || head[1] == '4' ? "pbm" : head[1] == '2' || head[1] == '5' ? "pgm" : "ppm";
    if (head.startsWith("/* XPM */"))
        return "xpm";
    if (head.startsWith("#define ") && head.contains("_width"))
        return "xbm";
    if (QByteArray heif = heifFormat(head); !heif.isEmpty())
        return heif;
    // Adobe Illustrator's files are PDF too, unless they are PostScript.
    if (head.startsWith("%PDF-"))
        return "pdf";
    if (startsWith(head, "\x1f\x8b", 2))
        return "svgz"; // whether it is SVG shows once inflated
    if (looksLikeSvgText(head))
        return "svg";
    // Formats without a signature are known by their name alone.
    const QByteArray extension = extensionOf(name);
    if (extension == "tga" || extension == "wbmp")
        return extension;
    return {};
}

PictureResult ReadPictureFile(const FileRef& file, const PictureTarget& target, PictureFit fit)
{
    std::unique_ptr<QFile> device = OpenFileForReading(file);
    if (!device)
        return PictureFailure(PictureStatus::NotAPicture);
    return decodeDevice(*device, device->size(), file.name(), file.path(), target, fit);
}

PictureResult StreamPictureFile(const FileRef& file, const PictureTarget& target, PictureRowSink& sink)
{
    std::unique_ptr<QFile> device = OpenFileForReading(file);
    if (!device)
        return PictureFailure(PictureStatus::NotAPicture);
    return decodeDevice(*device, device->size(), file.name(), file.path(), target, PictureFit::ShrunkOnLoad, &sink);
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
    std::unique_ptr<QFile> device = OpenFileForReading(FileRef(path));
    if (!device)
        return {};
    const QByteArray format = SniffPictureFormat(device->peek(1024), path);
    if (format.isEmpty() || IsDrawingFormat(format))
        return {};
    if (isHeifFormat(format))
        return HeifPictureSize(*device);
    return QImageReader(device.get(), format).size();
}

PictureResult DecodePictureBytes(const QByteArray& bytes, const PictureTarget& target)
{
    QBuffer buffer;
    buffer.setData(bytes);
    if (!buffer.open(QIODevice::ReadOnly))
        return PictureFailure(PictureStatus::NotAPicture);
    return decodeDevice(buffer, bytes.size(), QByteArray(), QByteArray(), target, PictureFit::Exact);
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
    if (!startsWith(bytes, "\x1f\x8b", 2)) {
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
