#pragma once

#include "files/FileRef.h"
#include "read/Sniff.h"

#include <QByteArray>
#include <QString>
#include <QImage>
#include <QSize>

#include <functional>
#include <optional>

class QIODevice;

namespace pictomat {

// The limits every picture we read is held to. A picture is decoded at the
// size its use needs (JPEG by its own scaled decoding, PNG and WebP row by row
// into a shrunk copy), so that memory does not follow the picture's size.
// Formats that can only be decoded whole are held to a smaller limit.
inline constexpr qint64 kMaxPicturePixels = 250'000'000;
inline constexpr qint64 kMaxWholePicturePixels = 64LL * 1024 * 1024;
// Pictures read whole into memory before decoding (WebP, SVG), as file bytes.
inline constexpr qint64 kMaxPictureFileBytes = 512LL * 1024 * 1024;
// An SVG document, as text after any gzip layer is taken off; icons are a few
// hundred kilobytes at most.
inline constexpr qint64 kMaxSvgDocumentBytes = 16LL * 1024 * 1024;
// Elements of one SVG document (drawing time follows their number).
inline constexpr qint64 kMaxSvgElements = 200'000;
// A PDF file (artwork); its first page is read from it as needed, never whole.
inline constexpr qint64 kMaxPdfFileBytes = 256LL * 1024 * 1024;

enum class PictureStatus {
    Decoded,
    NotAPicture, // no reader takes it, or it is not a regular file
    TooLarge,    // past the limits above, or declaring more pixels than its bytes can hold
    Damaged,     // a picture by its header that does not decode
    TooCostly,   // a drawing that takes longer than kDrawingBudget to draw
};

// Why a picture could not be used, for the log.
QString PictureStatusText(PictureStatus status);

// A picture as decoded: at no more than the size asked for, and its size as
// the file declares it, upright (camera orientation applied).
struct DecodedPicture {
    QImage picture; // premultiplied ARGB32, or another format Qt reads cheaply
    QSize natural;
};

struct PictureResult {
    PictureStatus status = PictureStatus::NotAPicture;
    DecodedPicture decoded;
    QByteArray iccProfile; // the colour profile a decoder found; empty once converted to sRGB
    bool streamed = false; // the rows went to a PictureRowSink; no picture is held
    bool ok() const { return status == PictureStatus::Decoded; }
};

// Takes a picture's rows while they are decoded, so that a large picture is
// never held whole and its use overlaps its decoding.
class PictureRowSink {
public:
    virtual ~PictureRowSink() = default;
    // Before any row: the size the rows come at (shrunk on load, as
    // PictureFit::ShrunkOnLoad leaves a picture) and the natural size.
    // False refuses the picture (nothing more is decoded).
    virtual bool start(QSize size, QSize natural) = 0;
    // The next row, top to bottom: size.width() premultiplied ARGB32 pixels in sRGB.
    virtual void take(const QRgb* row) = 0;
};

// The size to decode at, given the picture's natural (upright) size. It is
// never larger than the natural size; the decoded picture has exactly this
// size (reduced by ReducePicture), or with PictureFit::ShrunkOnLoad is left
// as the decoder shrank it while reading: at least twice that size where the
// picture has it, for a reducer that makes several sizes from it. A drawing
// counts as large as the largest bitmap we make, and is drawn at the size.
using PictureTarget = std::function<QSize(QSize natural)>;
enum class PictureFit { Exact, ShrunkOnLoad };
// Aspect kept, longer edge at most maxEdge.
PictureTarget FitWithin(int maxEdge);

class PictureSource;

// The one reader of pictures: a source opened and sniffed once (a bitmap or
// a drawing; anything else is NotAPicture), decoded at the size `target`
// asks, in sRGB. With a sink, a picture whose decoder delivers rows in order
// (JPEG, PNG) has them handed to it as they are decoded, shrunk on load, on
// this thread while a second core decodes: the result is then streamed, with
// no picture; other pictures come back whole.
PictureResult ReadPicture(PictureSource& source, const PictureTarget& target, PictureFit fit,
                          PictureRowSink* sink = nullptr);

// Reads a picture file through OpenFileForReading: never blocks, never reads
// what is not a regular file.
// Pictures come out in sRGB, whatever profile they carry.
PictureResult ReadPictureFile(const FileRef& file, const PictureTarget& target, PictureFit fit = PictureFit::Exact);
// As ReadPictureFile with PictureFit::ShrunkOnLoad, but a picture whose
// decoder delivers rows in order (JPEG, PNG) has them handed to `sink` as
// they are decoded, on this thread while a second core decodes: the result
// is then streamed, with no picture. Other pictures come back whole.
PictureResult StreamPictureFile(const FileRef& file, const PictureTarget& target, PictureRowSink& sink);
// Decodes a picture file at no more than maxEdge pixels along its longer edge
// (scaled while it is decoded), upright. Null image when it is no picture;
// *status (when given) tells a picture past the size limits from no picture.
QImage ReadImageFile(const FileRef& file, int maxEdge, PictureStatus* status = nullptr);
// A picture file's size as its header declares it; invalid when it is none.
QSize PictureFileSize(const QByteArray& path);
// The same for picture bytes held in memory (the clipboard's).
PictureResult DecodePictureBytes(const QByteArray& bytes, const PictureTarget& target);

// The text of an SVG or SVGZ document, its gzip layer taken off with the
// inflated size capped; nothing when it is larger than kMaxSvgDocumentBytes
// or the compressed layer is damaged.
std::optional<QByteArray> SvgDocument(const QByteArray& bytes);
// The SVG file's text, read through OpenFileForReading.
std::optional<QByteArray> ReadSvgDocument(const QByteArray& path);

} // namespace pictomat
