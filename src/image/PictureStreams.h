#pragma once

#include "image/PictureFile.h"

#include <QByteArray>
#include <QImage>

#include <cstdint>
#include <optional>
#include <vector>

class QIODevice;

namespace pictomat {

// Shrinks a picture while its rows arrive, by a whole factor: each output
// pixel is the mean of a factor x factor block (the last row and column of
// blocks also take the remainder), alpha weighted. Only one row of sums is
// held, so memory follows the output, not the picture.
class BoxShrinker {
public:
    BoxShrinker(int width, int height, int factor);
    // One row of the source, ARGB32 (not premultiplied), in order from the top.
    void addRow(const QRgb* row);
    // The shrunk picture, premultiplied ARGB32; null until every row came.
    QImage result() const { return m_rowsIn == m_height ? m_out : QImage(); }

private:
    void emitRow();
    int m_width, m_height, m_factor;
    int m_outWidth, m_outHeight;
    int m_rowsIn = 0;
    int m_groupRows = 0;  // rows summed into the current output row
    int m_outRow = 0;
    std::vector<uint64_t> m_sums;  // per output column: alpha-weighted R, G, B, and alpha
    QImage m_out;
};

// Shared by the decoders: the target bounded by the natural size, and results.
QSize WantedPictureSize(const PictureTarget& target, QSize natural);
PictureResult PictureFailure(PictureStatus status);
PictureResult PictureDecoded(QImage picture, QSize natural);

// The shrink factor that keeps a picture at least `want` in both directions.
int ShrinkFactor(QSize natural, QSize want);

// A non-interlaced PNG decoded row by row into a shrunk picture, then scaled
// smoothly to the target. Nothing for an interlaced PNG (the caller decodes
// it whole); a result saying why otherwise.
std::optional<PictureResult> DecodePngStream(QIODevice& device, qint64 fileBytes, const PictureTarget& target);

// A JPEG decoded by libjpeg at the smallest of its eighths that is at least
// the target, then scaled smoothly to it, upright. Nothing for CMYK and YCCK
// pictures (the caller hands them to Qt's reader).
std::optional<PictureResult> DecodeJpeg(QIODevice& device, qint64 fileBytes, const PictureTarget& target);

// A TIFF read a band of rows at a time through libtiff's RGBA reader (loaded
// on first use) into a shrunk picture. Nothing when libtiff cannot be loaded
// or does not take the layout (the caller hands it to Qt's reader).
std::optional<PictureResult> DecodeTiff(QIODevice& device, const PictureTarget& target);

// A still WebP decoded straight at the target size by libwebp's own scaler.
// Nothing for an animated one (the caller hands it to Qt's reader).
std::optional<PictureResult> DecodeWebp(const QByteArray& bytes, const PictureTarget& target);

} // namespace pictomat
