#include "icns/IcnsCodec.h"

#include "icns/Deflate.h"

#include <zlib.h>
#ifdef PICTOMAT_LIBRARY_ISAL
#include <isa-l/igzip_lib.h>
#endif

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace pictomat::icns::codec {

namespace {

// The rows are compressed as they come, so that compressing a large picture
// overlaps making it instead of following it. ISA-L's level 2 makes the
// filtered rows of a photo as small as zlib's fastest level does (within a
// thousandth) in a quarter of its time; zlib's fastest level stands in where
// ISA-L is not built. Both libraries are opened with the first PNG picture
// written.
#ifdef PICTOMAT_LIBRARY_ISAL
constexpr int kDeflateLevel = 2;
#else
constexpr int kDeflateLevel = 1;
#endif
// Rows compressed in one call.
constexpr int kBandRows = 32;

void appendChunk(const DeflateLibrary& deflate, QByteArray* out, const char type[4], const uchar* data, size_t size)
{
    AppendU32(out, quint32(size));
    const qsizetype start = out->size();
    out->append(type, 4);
    out->append(reinterpret_cast<const char*>(data), qsizetype(size));
    AppendU32(out, deflate.libdeflate_crc32(0, out->constData() + start, size_t(4 + size)));
}

// One ARGB32 row (premultiplied or not) as the RGBA bytes PNG stores;
// whether every byte is zero (a transparent row).
bool toRgba(const QRgb* in, int width, bool premultiplied, uchar* out)
{
    QRgb any = 0;
    for (int x = 0; x < width; ++x, out += 4) {
        const QRgb pixel = premultiplied ? qUnpremultiply(in[x]) : in[x];
        any |= pixel;
        out[0] = uchar(qRed(pixel));
        out[1] = uchar(qGreen(pixel));
        out[2] = uchar(qBlue(pixel));
        out[3] = uchar(qAlpha(pixel));
    }
    return any == 0;
}

inline uchar paeth(int a, int b, int c)
{
    const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
    return uchar((pa <= pb && pa <= pc) ? a : (pb <= pc ? b : c));
}

// The row behind the Paeth filter. The predictor looks at the unfiltered
// bytes only, so eight of them are filtered at once.
void paethRow(const uchar* current, const uchar* previous, size_t stride, uchar* out)
{
    for (size_t i = 0; i < 4 && i < stride; ++i)
        out[i] = uchar(current[i] - previous[i]);
    size_t i = 4;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    auto load = [&](const uchar* p) {
        return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)), zero);
    };
    auto magnitude = [](__m128i v) { return _mm_max_epi16(v, _mm_sub_epi16(_mm_setzero_si128(), v)); };
    for (; i + 8 <= stride; i += 8) {
        const __m128i a = load(current + i - 4), b = load(previous + i), c = load(previous + i - 4);
        const __m128i pa = magnitude(_mm_sub_epi16(b, c));
        const __m128i pb = magnitude(_mm_sub_epi16(a, c));
        const __m128i pc = magnitude(_mm_sub_epi16(_mm_add_epi16(a, b), _mm_add_epi16(c, c)));
        // a where pa <= pb and pa <= pc, else b where pb <= pc, else c.
        const __m128i takeA =
            _mm_andnot_si128(_mm_or_si128(_mm_cmpgt_epi16(pa, pb), _mm_cmpgt_epi16(pa, pc)), _mm_set1_epi16(-1));
        const __m128i takeB = _mm_andnot_si128(_mm_cmpgt_epi16(pb, pc), _mm_set1_epi16(-1));
        const __m128i bc = _mm_or_si128(_mm_and_si128(takeB, b), _mm_andnot_si128(takeB, c));
        const __m128i predictor = _mm_or_si128(_mm_and_si128(takeA, a), _mm_andnot_si128(takeA, bc));
        const __m128i filtered = _mm_and_si128(_mm_sub_epi16(load(current + i), predictor), _mm_set1_epi16(0xff));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(filtered, filtered));
    }
#endif
    for (; i < stride; ++i)
        out[i] = uchar(current[i] - paeth(current[i - 4], previous[i], previous[i - 4]));
}

// Deflate's bits, least significant first.
class BitWriter {
public:
    explicit BitWriter(QByteArray* out) : m_out(out) { }
    void bits(quint32 value, int count)
    {
        m_buffer |= quint64(value) << m_count;
        m_count += count;
        while (m_count >= 8) {
            m_out->append(char(m_buffer & 0xff));
            m_buffer >>= 8;
            m_count -= 8;
        }
    }
    // A Huffman code goes most significant bit first.
    void code(quint32 value, int length)
    {
        quint32 reversed = 0;
        for (int i = 0; i < length; ++i)
            reversed |= ((value >> i) & 1u) << (length - 1 - i);
        bits(reversed, length);
    }
    // An empty stored block: the stream continues on a byte boundary.
    void align()
    {
        bits(0, 3);
        if (m_count > 0)
            bits(0, 8 - m_count);
        m_out->append("\x00\x00\xff\xff", 4);
    }

private:
    QByteArray* m_out;
    quint64 m_buffer = 0;
    int m_count = 0;
};

// `count` zero bytes as one block of the fixed code: a literal, then copies
// of the byte before, about thirteen bits for every 258 bytes.
void appendZeros(QByteArray* out, qint64 count)
{
    BitWriter w(out);
    w.bits(0, 1);    // not the last block
    w.bits(1, 2);    // fixed Huffman codes
    w.code(0x30, 8); // literal 0
    qint64 left = count - 1;
    auto copy = [&w](int length) {
        if (length == 258)
            w.code(0xc5, 8); // length code 285
        else
            w.code(quint32(length - 3 + 1), 7); // length codes 257-264: lengths 3-10
        w.code(0, 5);                           // distance 1
    };
    for (; left >= 258; left -= 258)
        copy(258);
    while (left > 10) {
        const int length = left - 10 >= 3 ? 10 : int(left - 3);
        copy(length);
        left -= length;
    }
    if (left >= 3)
        copy(int(left));
    else
        for (; left > 0; --left)
            w.code(0x30, 8);
    w.code(0, 7); // end of block
    w.align();
}

} // namespace

#ifdef PICTOMAT_LIBRARY_ISAL
struct IsalLibrary {
    PICTOMAT_LIBRARY_TABLE(PICTOMAT_ISAL_FUNCTIONS)
};

// ISA-L's working memory, a third of a megabyte a stream, passes from one
// stream to the next instead of being made afresh for each picture of a
// family: memory first touched costs more than the compression of a small
// picture. It is left as it comes, as ISA-L sets up what it reads.
class LevelBuffers {
public:
    static constexpr size_t kSize = ISAL_DEF_LVL2_DEFAULT;
    std::unique_ptr<uint8_t[]> take()
    {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            if (!m_free.empty()) {
                std::unique_ptr<uint8_t[]> buffer = std::move(m_free.back());
                m_free.pop_back();
                return buffer;
            }
        }
        return std::unique_ptr<uint8_t[]>(new (std::nothrow) uint8_t[kSize]);
    }
    void give(std::unique_ptr<uint8_t[]> buffer)
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (buffer && m_free.size() < 4)
            m_free.push_back(std::move(buffer));
    }

private:
    std::mutex m_mutex;
    std::vector<std::unique_ptr<uint8_t[]>> m_free;
};

LevelBuffers& levelBuffers()
{
    static LevelBuffers buffers;
    return buffers;
}

struct PngWriter::Stream {
    const IsalLibrary* lib = nullptr;
    isal_zstream isal{};
    std::unique_ptr<uint8_t[]> levelBuffer;
    bool open = false;
    ~Stream() { levelBuffers().give(std::move(levelBuffer)); }

    bool begin()
    {
        lib = LoadLibrary<IsalLibrary>(PICTOMAT_LIBRARY_ISAL);
        if (!lib)
            return false;
        levelBuffer = levelBuffers().take();
        if (!levelBuffer)
            return false;
        lib->isal_deflate_init(&isal);
        isal.level = kDeflateLevel;
        isal.level_buf = levelBuffer.get();
        isal.level_buf_size = uint32_t(LevelBuffers::kSize);
        isal.gzip_flag = IGZIP_DEFLATE;
        return true;
    }
    // The input is taken whole (the stream keeps the history it needs), and
    // what it makes is appended to `out`.
    bool deflate(const uchar* in, size_t size, Flush flush, QByteArray* out)
    {
        isal.next_in = const_cast<uint8_t*>(in);
        isal.avail_in = uint32_t(size);
        isal.flush = flush == Flush::Full ? FULL_FLUSH : NO_FLUSH;
        isal.end_of_stream = flush == Flush::Finish;
        for (;;) {
            const qsizetype at = out->size();
            const size_t room = std::max<size_t>(size + size / 8, 64 * 1024);
            out->resize(at + qsizetype(room));
            isal.next_out = reinterpret_cast<uint8_t*>(out->data() + at);
            isal.avail_out = uint32_t(room);
            if (lib->isal_deflate(&isal) != COMP_OK)
                return false;
            out->resize(out->size() - qsizetype(isal.avail_out));
            // Room left over means every byte given (and, for a flush, the
            // block it ends) is out.
            const bool finished = flush == Flush::Finish ? isal.internal_state.state == ZSTATE_END
                                                         : isal.avail_in == 0 && isal.avail_out > 0;
            if (finished)
                return true;
        }
    }
};
#else
struct PngWriter::Stream {
    z_stream zlib{};
    bool open = false;
    ~Stream()
    {
        if (open)
            deflateEnd(&zlib);
    }

    bool begin() { return deflateInit2(&zlib, kDeflateLevel, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) == Z_OK; }
    bool deflate(const uchar* in, size_t size, Flush flush, QByteArray* out)
    {
        z_stream& z = zlib;
        z.next_in = const_cast<Bytef*>(in);
        z.avail_in = uInt(size);
        const int mode = flush == Flush::Full ? Z_FULL_FLUSH : flush == Flush::Finish ? Z_FINISH : Z_NO_FLUSH;
        int status = Z_OK;
        do {
            const qsizetype at = out->size();
            const size_t room = std::max<size_t>(deflateBound(&z, z.avail_in), 64 * 1024);
            out->resize(at + qsizetype(room));
            z.next_out = reinterpret_cast<Bytef*>(out->data() + at);
            z.avail_out = uInt(room);
            status = ::deflate(&z, mode);
            out->resize(out->size() - qsizetype(z.avail_out));
            if (status == Z_STREAM_ERROR)
                return false;
        } while (z.avail_out == 0 || (mode == Z_FINISH && status != Z_STREAM_END));
        return true;
    }
};
#endif

namespace {
// The signature, the IHDR chunk and the IDAT chunk's length and type, then
// the zlib header (deflate, 32 KiB window, fastest).
constexpr qsizetype kIdatAt = 8 + 25;
constexpr qsizetype kPngHead = kIdatAt + 8 + 2;
} // namespace

PngWriter::PngWriter(int width, int height)
    : m_width(width), m_height(height), m_stride(size_t(std::max(width, 0)) * 4), m_stream(std::make_unique<Stream>())
{
    const DeflateLibrary* deflate = Deflate();
    if (!deflate || width <= 0 || height <= 0 || width > (1 << 24))
        return;
    m_band.resize((m_stride + 1) * kBandRows);
    m_rows.assign(2 * m_stride, 0);
    // The file is made in place: the compressed rows follow its head, and
    // finish() adds the rest, so the bytes are never copied into a file of
    // their own (as much fresh memory again).
    m_deflated.reserve(qsizetype(std::min<size_t>(m_stride * size_t(height) / 2, 1 << 24)) + kPngHead + 32);
    uchar header[13] = {};
    for (int i = 0; i < 4; ++i) {
        header[i] = uchar(quint32(m_width) >> (24 - 8 * i));
        header[4 + i] = uchar(quint32(m_height) >> (24 - 8 * i));
    }
    header[8] = 8; // bits per channel
    header[9] = 6; // RGBA
    m_deflated.append("\x89PNG\r\n\x1a\n", 8);
    appendChunk(*deflate, &m_deflated, "IHDR", header, sizeof header);
    m_deflated.append("\0\0\0\0IDAT\x78\x01", 10); // the length is known at the end
    m_valid = true;
}

PngWriter::~PngWriter() = default;

bool PngWriter::flushBand(Flush flush)
{
    if (!m_stream->open) {
        if (!m_stream->begin())
            return false;
        m_stream->open = true;
    }
    m_adler = adler32(m_adler, m_band.data(), uInt(m_bandBytes));
    const bool done = m_stream->deflate(m_band.data(), m_bandBytes, flush, &m_deflated);
    m_bandBytes = 0;
    return done;
}

void PngWriter::flushZeros()
{
    if (m_zeros == 0)
        return;
    // The compressed rows end on a byte boundary, their window forgotten, so
    // that nothing after the zeros refers back across them.
    if ((m_stream->open || m_bandBytes > 0) && !flushBand(Flush::Full))
        m_valid = false;
    appendZeros(&m_deflated, m_zeros);
    // The checksum of zeros: the first sum stays, the second grows by it per byte.
    const uLong zeros = uLong((m_zeros % 65521) << 16) | 1u;
    m_adler = adler32_combine(m_adler, zeros, z_off_t(m_zeros));
    m_zeros = 0;
}

void PngWriter::addRow(const QRgb* row, bool premultiplied)
{
    if (!m_valid || m_rowsIn >= m_height)
        return;
    uchar* current = m_rows.data() + (m_rowsIn % 2) * m_stride;
    uchar* previous = m_rows.data() + ((m_rowsIn + 1) % 2) * m_stride;
    ++m_rowsIn;
    if (toRgba(row, m_width, premultiplied, current)) {
        // No filter: the row is all zeros, and so is its filtered form.
        m_zeros += qint64(m_stride) + 1;
        return;
    }
    flushZeros();
    uchar* out = m_band.data() + m_bandBytes;
    out[0] = 4; // Paeth
    paethRow(current, previous, m_stride, out + 1);
    m_bandBytes += m_stride + 1;
    if (m_bandBytes + m_stride + 1 > m_band.size() && !flushBand(Flush::None))
        m_valid = false;
}

QByteArray PngWriter::finish()
{
    if (!m_valid || m_rowsIn != m_height)
        return {};
    flushZeros();
    if (m_stream->open || m_bandBytes > 0) {
        if (!flushBand(Flush::Finish))
            return {};
    } else {
        m_deflated.append("\x03\x00", 2); // an empty last block
    }
    if (!m_valid)
        return {};
    AppendU32(&m_deflated, quint32(m_adler));
    const quint32 idatLength = quint32(m_deflated.size() - kIdatAt - 8);
    for (int i = 0; i < 4; ++i)
        m_deflated[kIdatAt + i] = char(idatLength >> (24 - 8 * i));
    // libdeflate was open when this writer was made, or it would not be valid.
    const DeflateLibrary& deflate = *Deflate();
    AppendU32(&m_deflated, deflate.libdeflate_crc32(0, m_deflated.constData() + kIdatAt + 4, size_t(idatLength) + 4));
    appendChunk(deflate, &m_deflated, "IEND", nullptr, 0);
    m_valid = false;
    return std::move(m_deflated);
}

QByteArray PngEncoder::encode(const QImage& source)
{
    // Premultiplied pictures are taken as they are, a row at a time, rather
    // than converted whole first: a copy of a large picture costs more in
    // fresh memory than the conversion itself.
    const bool premultiplied = source.format() == QImage::Format_ARGB32_Premultiplied;
    const QImage image = premultiplied ? source : source.convertToFormat(QImage::Format_ARGB32);
    if (image.isNull())
        return {};
    PngWriter writer(image.width(), image.height());
    for (int y = 0; y < image.height(); ++y)
        writer.addRow(reinterpret_cast<const QRgb*>(image.constScanLine(y)), premultiplied);
    return writer.finish();
}

QByteArray EncodePng(const QImage& image)
{
    return PngEncoder().encode(image);
}

} // namespace pictomat::icns::codec
