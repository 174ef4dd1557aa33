#include "icns/IcnsCodec.h"

#include "icns/Deflate.h"

#include <cstring>
#include <memory>

namespace pictomat::icns::codec {

namespace {

struct DecompressorDeleter {
    const DeflateLibrary* lib;
    void operator()(libdeflate_decompressor* d) const { lib->libdeflate_free_decompressor(d); }
};

// One Adam7 pass, or the whole image when not interlaced.
struct Pass {
    int x0, y0, dx, dy;
};
constexpr Pass kWhole[] = {{0, 0, 1, 1}};
constexpr Pass kAdam7[] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                           {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};

int channelsOf(int colourType, int depth)
{
    switch (colourType) {
    case 0: return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16 ? 1 : 0;
    case 3: return depth == 1 || depth == 2 || depth == 4 || depth == 8 ? 1 : 0;
    case 2: return depth == 8 || depth == 16 ? 3 : 0;
    case 4: return depth == 8 || depth == 16 ? 2 : 0;
    case 6: return depth == 8 || depth == 16 ? 4 : 0;
    default: return 0;
    }
}

bool isCritical(const uchar* type)
{
    return (type[0] & 0x20) == 0;
}

} // namespace

bool PngIsWhole(const QByteArray& data)
{
    const std::optional<QSize> size = PngSize(data);
    if (!size || size->width() > kMaxDecodedEdge || size->height() > kMaxDecodedEdge)
        return false;
    const DeflateLibrary* deflate = Deflate();
    if (!deflate)
        return false;
    const auto* p = reinterpret_cast<const uchar*>(data.constData());
    const qsizetype n = data.size();
    const int depth = p[24], colourType = p[25], interlace = p[28];
    const int channels = channelsOf(colourType, depth);
    if (channels == 0 || p[26] != 0 || p[27] != 0 || interlace > 1)
        return false;

    // Every chunk whole with its CRC; the IDAT chunks in one run; IEND last.
    QByteArray zlib;
    bool palette = false, idatSeen = false, idatEnded = false;
    for (qsizetype at = 8;;) {
        if (n - at < 12)
            return false;
        const quint32 length = ReadU32(p + at);
        const uchar* type = p + at + 4;
        if (length > 0x7FFFFFFFu || qsizetype(length) > n - at - 12)
            return false;
        const quint32 crc = ReadU32(p + at + 8 + length);
        if (quint32(deflate->libdeflate_crc32(0, type, size_t(length) + 4)) != crc)
            return false;
        const bool ihdr = std::memcmp(type, "IHDR", 4) == 0;
        if ((at == 8) != ihdr)
            return false;
        if (std::memcmp(type, "IDAT", 4) == 0) {
            if (idatEnded)
                return false;
            idatSeen = true;
            zlib.append(reinterpret_cast<const char*>(type + 4), qsizetype(length));
        } else {
            idatEnded = idatSeen;
            if (std::memcmp(type, "PLTE", 4) == 0)
                palette = true;
            else if (std::memcmp(type, "IEND", 4) == 0)
                break;
            else if (isCritical(type) && !ihdr)
                return false; // readers refuse critical chunks they do not know
        }
        at += 12 + qsizetype(length);
    }
    if (!idatSeen || (colourType == 3 && !palette))
        return false;

    // The image data inflates to exactly the filtered rows the header
    // declares, and every row names a known filter.
    const int w = size->width(), h = size->height();
    const qsizetype bitsPerPixel = qsizetype(channels) * depth;
    auto rowBytes = [bitsPerPixel](int width) { return (qsizetype(width) * bitsPerPixel + 7) / 8; };
    const auto passes = interlace ? std::span<const Pass>(kAdam7) : std::span<const Pass>(kWhole);
    qsizetype expected = 0;
    for (const Pass& pass : passes) {
        const int pw = w > pass.x0 ? (w - pass.x0 + pass.dx - 1) / pass.dx : 0;
        const int ph = h > pass.y0 ? (h - pass.y0 + pass.dy - 1) / pass.dy : 0;
        if (pw > 0 && ph > 0)
            expected += qsizetype(ph) * (1 + rowBytes(pw));
    }
    const std::unique_ptr<libdeflate_decompressor, DecompressorDeleter> inflater(
        deflate->libdeflate_alloc_decompressor(), {deflate});
    const std::unique_ptr<uchar[]> rows(new (std::nothrow) uchar[size_t(expected)]);
    if (!inflater || !rows)
        return false;
    size_t produced = 0;
    if (deflate->libdeflate_zlib_decompress(inflater.get(), zlib.constData(), size_t(zlib.size()), rows.get(),
                                            size_t(expected), &produced)
            != LIBDEFLATE_SUCCESS
        || produced != size_t(expected))
        return false;
    const uchar* row = rows.get();
    for (const Pass& pass : passes) {
        const int pw = w > pass.x0 ? (w - pass.x0 + pass.dx - 1) / pass.dx : 0;
        const int ph = h > pass.y0 ? (h - pass.y0 + pass.dy - 1) / pass.dy : 0;
        if (pw <= 0 || ph <= 0)
            continue;
        for (int y = 0; y < ph; ++y, row += 1 + rowBytes(pw))
            if (*row > 4)
                return false;
    }
    return true;
}

} // namespace pictomat::icns::codec
