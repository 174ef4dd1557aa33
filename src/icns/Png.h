#pragma once

// The PNG parts of the icon codec: recognising, checking, decoding with a
// cap and encoding fast. Icon families store PNG payloads, and so do the
// Windows icon codec and the outputs that are folders of PNG files; bytes in,
// bytes out, like the rest of this library.

#include <QByteArray>
#include <QImage>
#include <QSize>

#include <memory>
#include <optional>
#include <vector>

namespace pictomat::icns::codec {

bool IsPng(const QByteArray& data);
// The dimensions a PNG's IHDR declares, read without a decoder.
std::optional<QSize> PngSize(const QByteArray& data);
// Whether a PNG would decode, found without decoding it: every chunk whole
// and its CRC right, the chunks readers need in order, and the image data
// inflating to exactly the rows its header declares, each with a known
// filter. Several times faster than decoding.
bool PngIsWhole(const QByteArray& data);
// ARGB32 (non-premultiplied); null for an image larger than kMaxDecodedEdge
// (icns/IconFamily.h), refused before decoding, or one that does not decode.
QImage DecodePng(const QByteArray& data);

// A PNG written a row at a time while the picture is still being made:
// each row is filtered as it comes and compressed a band of rows at a time,
// so compressing overlaps making the rows; a run of transparent rows costs
// next to nothing.
class PngWriter {
public:
    PngWriter(int width, int height);
    ~PngWriter();
    PngWriter(const PngWriter&) = delete;
    PngWriter& operator=(const PngWriter&) = delete;
    // The next row, ARGB32 premultiplied or not, `width` pixels.
    void addRow(const QRgb* row, bool premultiplied);
    // After the last row: the PNG bytes; empty when a row was missing or
    // compression failed.
    QByteArray finish();

private:
    struct Stream;
    enum class Flush { None, Full, Finish };
    bool flushBand(Flush flush);
    void flushZeros();
    int m_width, m_height;
    size_t m_stride;
    bool m_valid = false;
    int m_rowsIn = 0;
    std::vector<uchar> m_band; // filtered rows not yet compressed
    size_t m_bandBytes = 0;
    std::vector<uchar> m_rows; // this row and the one before, as RGBA
    qint64 m_zeros = 0;        // bytes of transparent rows not yet written
    unsigned long m_adler = 1;
    QByteArray m_deflated;
    std::unique_ptr<Stream> m_stream;
};

// PNG bytes for a picture.
class PngEncoder {
public:
    QByteArray encode(const QImage& image);
};
QByteArray EncodePng(const QImage& image);

} // namespace pictomat::icns::codec
