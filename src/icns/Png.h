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

struct libdeflate_compressor;

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

// PNG bytes for a picture. One encoder reuses its compressor and buffers
// across pictures: fresh memory costs more than compressing (page faults).
class PngEncoder {
public:
    PngEncoder();
    ~PngEncoder();
    PngEncoder(const PngEncoder&) = delete;
    PngEncoder& operator=(const PngEncoder&) = delete;
    QByteArray encode(const QImage& image);

private:
    struct CompressorDeleter {
        void operator()(libdeflate_compressor* c) const;
    };
    std::unique_ptr<libdeflate_compressor, CompressorDeleter> m_compressor;
    std::unique_ptr<uchar[]> m_filtered;
    std::unique_ptr<uchar[]> m_rows;
    size_t m_capacity = 0;     // bytes of m_filtered
    size_t m_rowCapacity = 0;  // bytes of each row in m_rows
};
QByteArray EncodePng(const QImage& image);

} // namespace pictomat::icns::codec
