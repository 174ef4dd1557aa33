#pragma once

#include "checks/ByteSource.h"
#include "files/Error.h"
#include "read/PictureFile.h"

#include <QByteArray>
#include <QImage>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class QIODevice;

namespace pictomat {

// Shrinks a picture while its rows arrive, by a whole factor: each output
// pixel is the mean of a factor x factor box of the source, alpha weighted;
// where the size is no multiple of the factor, the last boxes are partial
// and hold the mean of what they cover, so no part of the picture moves.
// Only one row of sums is held, so memory follows the output, not the picture.
class BoxShrinker {
public:
    // Each shrunk row, premultiplied ARGB32, as soon as it is made.
    using RowOut = std::function<void(const QRgb* row)>;
    // Into a picture of its own (result()), or row by row to `out`.
    BoxShrinker(int width, int height, int factor, RowOut out = {});
    // One row of the source, ARGB32 (not premultiplied), in order from the top.
    void addRow(const QRgb* row);
    // The shrunk picture, premultiplied ARGB32; null until every row came.
    QImage result() const { return m_rowsIn == m_height ? m_out : QImage(); }
    // The size a picture of `size` shrinks to by `factor`.
    static QSize shrunkSize(QSize size, int factor);

private:
    void emitRow();
    int m_width, m_height, m_factor;
    int m_outWidth, m_outHeight;
    int m_rowsIn = 0;
    int m_groupRows = 0; // rows summed into the current output row
    int m_outRow = 0;
    std::vector<uint64_t> m_sums; // per output column: alpha-weighted R, G, B, and alpha
    RowOut m_rowOut;
    std::vector<QRgb> m_row; // the row handed out
    QImage m_out;
};

// Where a decoder that streams writes its rows: strips of rows of the
// width it streams at, handed on as they are written.
class RowWriter {
public:
    virtual ~RowWriter() = default;
    // Room for *room rows (ARGB32, premultiplied); null when the rows are
    // not wanted any more (the decoder stops).
    virtual uchar* const* rows(int* room) = 0;
    // The first `count` of them are written.
    virtual void written(int count) = 0;
};

// The stream of one picture: `sink` is started with the size of the rows to
// come, then `decode` writes them through the writer it is given, and each
// row reaches the sink brought into sRGB by `iccProfile`. Where there are two
// cores `decode` runs on a second thread while the sink takes the rows on
// this one. Damaged when `decode` fails, TooLarge when the sink refuses.
PictureStatus StreamRows(QSize size, QSize natural, const QByteArray& iccProfile, PictureRowSink& sink,
                         const std::function<bool(RowWriter&)>& decode);
PictureResult PictureStreamed(PictureStatus status, QSize natural);

// Shared by the decoders: the target bounded by the natural size, and results.
QSize WantedPictureSize(const PictureTarget& target, QSize natural);
PictureResult PictureFailure(PictureStatus status);
PictureResult PictureDecoded(QImage picture, QSize natural);

// What a check of the structure under `device` (a file or a buffer) makes
// of it, before a library that cannot be stopped reads it: Decoded when the
// library may go ahead, else why not, with the reason in the log.
using StructureCheck = std::function<Soundness(const ByteSource& bytes, Error* why)>;
PictureStatus CheckStructure(QIODevice& device, const char* kind, const StructureCheck& check);

// The shrink factor that keeps a picture at least `want` in both directions.
int ShrinkFactor(QSize natural, QSize want);
// What a decoder shrinks to while it reads, for a picture wanted at `want`:
// twice that (the reducer's filter needs the detail it smooths away), or the
// picture's own size when it is smaller. Decoders return pictures of at
// least this size; ReadPictureFile reduces them to the size wanted.
QSize OnLoadSize(QSize natural, QSize want);

// Every decoder below gives the picture shrunk on load to at least
// OnLoadSize, upright, with the colour profile it carries; those that take a
// sink stream into it when they can (PictureResult::streamed).

// A PNG decoded row by row into a shrunk picture (an interlaced one whole,
// within the whole-picture limit). libpng's complaints about damaged files
// are ours to report, never printed.
// Streams unless interlaced.
PictureResult DecodePng(QIODevice& device, qint64 fileBytes, const PictureTarget& target,
                        PictureRowSink* sink = nullptr);

// A JPEG decoded by libjpeg at the smallest of its eighths that is at least
// OnLoadSize. Nothing for CMYK and YCCK pictures (the caller hands them to
// Qt's reader). Streams unless the camera turned the picture.
std::optional<PictureResult> DecodeJpeg(QIODevice& device, qint64 fileBytes, const PictureTarget& target,
                                        PictureRowSink* sink = nullptr);

// A TIFF read a band of rows at a time through libtiff's RGBA reader (loaded
// on first use) into a shrunk picture. Nothing when libtiff cannot be loaded
// or does not take the layout (the caller hands it to Qt's reader).
std::optional<PictureResult> DecodeTiff(QIODevice& device, const PictureTarget& target);

// A still WebP decoded at OnLoadSize by libwebp's own scaler.
// Nothing for an animated one (the caller hands it to Qt's reader).
std::optional<PictureResult> DecodeWebp(const QByteArray& bytes, const PictureTarget& target);

// A HEIF or AVIF picture's primary image through libheif (loaded on first
// use), decoded whole, rotated and mirrored as the file says, deeper ones
// in 8 bits, shrunk to OnLoadSize; its stored thumbnail instead when that
// is the same picture at that size or more. Held to kMaxWholePicturePixels.
PictureResult DecodeHeif(QIODevice& device, const PictureTarget& target);
// Its size as shown; invalid when it is none.
QSize HeifPictureSize(QIODevice& device);

} // namespace pictomat
