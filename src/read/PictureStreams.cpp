#include "read/PictureStreams.h"

#include "read/ColourProfile.h"
#include "read/Log.h"
#include "resample/RowPipe.h"

#include <QIODevice>

#include <png.h>
#include <webp/decode.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <thread>

namespace pictomat {

QSize WantedPictureSize(const PictureTarget& target, QSize natural)
{
    QSize want = target ? target(natural) : natural;
    if (!want.isValid() || want.isEmpty())
        want = natural;
    return want.boundedTo(natural).expandedTo(QSize(1, 1));
}

PictureResult PictureFailure(PictureStatus status)
{
    PictureResult result;
    result.status = status;
    return result;
}

PictureStatus CheckStructure(QIODevice& device, const char* kind, const StructureCheck& check)
{
    const std::optional<ByteSource> bytes = ByteSourceOf(device);
    if (!bytes)
        return PictureStatus::Decoded;
    Error why;
    const Soundness verdict = check(*bytes, &why);
    if (verdict == Soundness::Sound)
        return PictureStatus::Decoded;
    qCDebug(lcRead).noquote() << kind << "refused before it is read:" << why.message;
    return verdict == Soundness::TooLarge ? PictureStatus::TooLarge : PictureStatus::Damaged;
}

PictureResult PictureDecoded(QImage picture, QSize natural)
{
    if (picture.isNull())
        return PictureFailure(PictureStatus::Damaged);
    PictureResult result;
    result.status = PictureStatus::Decoded;
    result.decoded = DecodedPicture{std::move(picture), natural};
    return result;
}

int ShrinkFactor(QSize natural, QSize want)
{
    if (want.isEmpty())
        return 1;
    return std::max(1, std::min(natural.width() / want.width(), natural.height() / want.height()));
}

QSize OnLoadSize(QSize natural, QSize want)
{
    return (want * 2).boundedTo(natural).expandedTo(QSize(1, 1));
}

QSize BoxShrinker::shrunkSize(QSize size, int factor)
{
    factor = std::max(1, factor);
    return {std::max(1, (size.width() + factor - 1) / factor), std::max(1, (size.height() + factor - 1) / factor)};
}

BoxShrinker::BoxShrinker(int width, int height, int factor, RowOut out)
    : m_width(width), m_height(height), m_factor(std::max(1, factor)),
      m_outWidth(shrunkSize(QSize(width, height), factor).width()),
      m_outHeight(shrunkSize(QSize(width, height), factor).height()), m_sums(size_t(m_outWidth) * 4, 0),
      m_rowOut(std::move(out))
{
    if (m_rowOut)
        m_row.resize(size_t(m_outWidth));
    else
        m_out = QImage(m_outWidth, m_outHeight, QImage::Format_ARGB32_Premultiplied);
}

void BoxShrinker::addRow(const QRgb* row)
{
    if (m_rowsIn >= m_height || (!m_rowOut && m_out.isNull()))
        return;
    uint64_t* sum = m_sums.data();
    for (int column = 0; column < m_outWidth; ++column, sum += 4) {
        const int begin = column * m_factor;
        const int end = std::min(begin + m_factor, m_width);
        uint64_t red = 0, green = 0, blue = 0, alpha = 0;
        for (int x = begin; x < end; ++x) {
            const QRgb pixel = row[x];
            const uint32_t a = uint32_t(qAlpha(pixel));
            red += uint32_t(qRed(pixel)) * a;
            green += uint32_t(qGreen(pixel)) * a;
            blue += uint32_t(qBlue(pixel)) * a;
            alpha += a;
        }
        sum[0] += red;
        sum[1] += green;
        sum[2] += blue;
        sum[3] += alpha;
    }
    ++m_rowsIn;
    ++m_groupRows;
    if (m_groupRows == m_factor || m_rowsIn == m_height)
        emitRow();
}

void BoxShrinker::emitRow()
{
    QRgb* out = m_rowOut ? m_row.data() : reinterpret_cast<QRgb*>(m_out.scanLine(m_outRow));
    uint64_t* sum = m_sums.data();
    for (int column = 0; column < m_outWidth; ++column, sum += 4) {
        const int span = std::min(m_factor, m_width - column * m_factor);
        const uint64_t count = uint64_t(span) * uint64_t(m_groupRows);
        const uint64_t alpha = (sum[3] + count / 2) / count;
        auto channel = [&](uint64_t weighted) {
            return int(std::min<uint64_t>((weighted + 255 * count / 2) / (255 * count), alpha));
        };
        out[column] = qRgba(channel(sum[0]), channel(sum[1]), channel(sum[2]), int(alpha));
        sum[0] = sum[1] = sum[2] = sum[3] = 0;
    }
    m_groupRows = 0;
    ++m_outRow;
    if (m_rowOut)
        m_rowOut(out);
}

namespace {

constexpr int kStripRows = 16;
// Strips in flight between the decoder and the rows' reader: the decoder
// starts while the reader still makes ready for the rows.
constexpr int kStrips = 8;

class PipeWriter : public RowWriter {
public:
    explicit PipeWriter(RowPipe& pipe) : m_pipe(pipe) { }
    uchar* const* rows(int* room) override
    {
        *room = m_pipe.stripRows();
        return m_pipe.strip();
    }
    void written(int count) override { m_pipe.send(count); }

private:
    RowPipe& m_pipe;
};

// One core: each strip goes to the sink as soon as it is written.
class DirectWriter : public RowWriter {
public:
    DirectWriter(RowPipe& strip, int width, const SrgbConversion& conversion, PictureRowSink& sink)
        : m_strip(strip), m_width(width), m_conversion(conversion), m_sink(sink)
    {
    }
    uchar* const* rows(int* room) override
    {
        *room = m_strip.stripRows();
        return m_strip.strip();
    }
    void written(int count) override
    {
        m_strip.send(count);
        uint8_t* const* rows = nullptr;
        const int n = m_strip.receive(&rows);
        handOn(rows, n, m_width, m_conversion, m_sink);
    }
    static void handOn(uint8_t* const* rows, int count, int width, const SrgbConversion& conversion,
                       PictureRowSink& sink)
    {
        for (int i = 0; i < count; ++i) {
            conversion.convert(rows[i], width, 1, qsizetype(width) * 4);
            sink.take(reinterpret_cast<const QRgb*>(rows[i]));
        }
    }

private:
    RowPipe& m_strip;
    int m_width;
    const SrgbConversion& m_conversion;
    PictureRowSink& m_sink;
};

} // namespace

PictureStatus StreamRows(QSize size, QSize natural, const QByteArray& iccProfile, PictureRowSink& sink,
                         const std::function<bool(RowWriter&)>& decode)
{
    if (size.isEmpty())
        return PictureStatus::TooLarge;
    static const bool twoCores = std::thread::hardware_concurrency() >= 2;
    RowPipe pipe(size_t(size.width()) * 4, kStripRows, twoCores ? kStrips : 1);
    if (!pipe.valid())
        return PictureStatus::TooLarge;
    if (!twoCores) {
        const SrgbConversion conversion(iccProfile);
        if (!sink.start(size, natural))
            return PictureStatus::TooLarge;
        DirectWriter writer(pipe, size.width(), conversion, sink);
        return decode(writer) ? PictureStatus::Decoded : PictureStatus::Damaged;
    }
    // Decoding begins at once; the sink and the colour conversion are made
    // ready meanwhile.
    bool decoded = false;
    std::thread decoder([&] {
        PipeWriter writer(pipe);
        decoded = decode(writer);
        pipe.close();
    });
    const SrgbConversion conversion(iccProfile);
    const bool started = sink.start(size, natural);
    if (!started)
        pipe.stop();
    uint8_t* const* rows = nullptr;
    for (int n; (n = pipe.receive(&rows)) > 0;)
        if (started)
            DirectWriter::handOn(rows, n, size.width(), conversion, sink);
    decoder.join();
    if (!started)
        return PictureStatus::TooLarge;
    return decoded ? PictureStatus::Decoded : PictureStatus::Damaged;
}

PictureResult PictureStreamed(PictureStatus status, QSize natural)
{
    PictureResult result = PictureFailure(status);
    if (status == PictureStatus::Decoded) {
        result.decoded.natural = natural;
        result.streamed = true;
    }
    return result;
}

namespace {

void readFromDevice(png_structp png, png_bytep data, size_t length)
{
    auto* device = static_cast<QIODevice*>(png_get_io_ptr(png));
    size_t done = 0;
    while (done < length) {
        const qint64 n = device->read(reinterpret_cast<char*>(data) + done, qint64(length - done));
        if (n <= 0)
            png_error(png, "the file ends early");
        done += size_t(n);
    }
}

// What libpng says of a damaged picture is for the log, never the terminal.
[[noreturn]] void onPngError(png_structp png, png_const_charp text)
{
    qCDebug(lcRead, "libpng: %s", text);
    png_longjmp(png, 1);
}

void onPngWarning(png_structp, png_const_charp text)
{
    qCDebug(lcRead, "libpng: %s", text);
}

struct PngHandles {
    png_structp png = nullptr;
    png_infop info = nullptr;
    PngHandles()
    {
        png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, onPngError, onPngWarning);
        if (png)
            info = png_create_info_struct(png);
    }
    ~PngHandles() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }
    PngHandles(const PngHandles&) = delete;
    PngHandles& operator=(const PngHandles&) = delete;
};

// libpng reports errors by jumping back here, so these two make nothing that
// has a destructor between the jump target and the library's calls.
bool readPngHeader(PngHandles& h, QIODevice* device)
{
    if (setjmp(png_jmpbuf(h.png)))
        return false;
    png_set_read_fn(h.png, device, readFromDevice);
    // Text and colour-profile chunks can inflate far: no real profile is
    // near this, and text is not read.
    png_set_chunk_malloc_max(h.png, 8 * 1024 * 1024);
    png_set_user_limits(h.png, 1u << 20, 1u << 20);
    png_read_info(h.png, h.info);
    return true;
}

// Every kind of PNG as 8-bit ARGB32 pixels in memory order.
void setPngPixelLayout(png_structp png)
{
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    png_set_bgr(png);
    png_set_filler(png, 0xff, PNG_FILLER_AFTER);
#else
    png_set_filler(png, 0xff, PNG_FILLER_BEFORE);
    png_set_swap_alpha(png);
#endif
}

bool readPngRows(PngHandles& h, BoxShrinker* shrinker, png_bytep row, png_uint_32 height)
{
    if (setjmp(png_jmpbuf(h.png)))
        return false;
    setPngPixelLayout(h.png);
    png_read_update_info(h.png, h.info);
    for (png_uint_32 y = 0; y < height; ++y) {
        png_read_row(h.png, row, nullptr);
        shrinker->addRow(reinterpret_cast<const QRgb*>(row));
    }
    return true;
}

// An interlaced PNG's rows are only whole after the last pass, so the
// picture is held whole (within kMaxWholePicturePixels) while it is read.
bool readInterlacedPng(PngHandles& h, QImage* whole, png_uint_32 height)
{
    if (setjmp(png_jmpbuf(h.png)))
        return false;
    setPngPixelLayout(h.png);
    const int passes = png_set_interlace_handling(h.png);
    png_read_update_info(h.png, h.info);
    for (int pass = 0; pass < passes; ++pass)
        for (png_uint_32 y = 0; y < height; ++y)
            png_read_row(h.png, whole->scanLine(int(y)), nullptr);
    return true;
}

// Rows made one at a time, gathered into the writer's strips.
class StripFiller {
public:
    StripFiller(RowWriter& writer, int width) : m_writer(writer), m_bytes(size_t(width) * 4) { }
    void add(const QRgb* row)
    {
        if (m_used == m_room) {
            flush();
            m_rows = m_writer.rows(&m_room);
            if (!m_rows)
                m_room = 0;
        }
        if (m_rows)
            std::memcpy(m_rows[m_used++], row, m_bytes);
    }
    void flush()
    {
        if (m_used > 0)
            m_writer.written(m_used);
        m_used = m_room = 0;
    }

private:
    RowWriter& m_writer;
    size_t m_bytes;
    uchar* const* m_rows = nullptr;
    int m_room = 0, m_used = 0;
};

int pngChannels(int colorType)
{
    switch (colorType) {
    case PNG_COLOR_TYPE_GRAY_ALPHA: return 2;
    case PNG_COLOR_TYPE_RGB: return 3;
    case PNG_COLOR_TYPE_RGB_ALPHA: return 4;
    default: return 1;
    }
}

} // namespace

PictureResult DecodePng(QIODevice& device, qint64 fileBytes, const PictureTarget& target, PictureRowSink* sink)
{
    PngHandles h;
    if (!h.png || !h.info || !readPngHeader(h, &device))
        return PictureFailure(PictureStatus::Damaged);
    png_uint_32 width = 0, height = 0;
    int depth = 0, colorType = 0, interlace = 0;
    if (!png_get_IHDR(h.png, h.info, &width, &height, &depth, &colorType, &interlace, nullptr, nullptr))
        return PictureFailure(PictureStatus::Damaged);
    const qint64 pixels = qint64(width) * qint64(height);
    if (pixels > kMaxPicturePixels)
        return PictureFailure(PictureStatus::TooLarge);
    // Deflate makes at most about 1032 bytes of one: a header promising more
    // filtered rows than that is a bomb or a cut file.
    const qint64 rowBytes = 1 + (qint64(width) * pngChannels(colorType) * depth + 7) / 8;
    if (qint64(height) * rowBytes > 1100 * std::max<qint64>(fileBytes, 1))
        return PictureFailure(PictureStatus::TooLarge);
    QByteArray icc;
    png_charp profileName = nullptr;
    png_bytep profile = nullptr;
    png_uint_32 profileLength = 0;
    int compression = 0;
    if (png_get_iCCP(h.png, h.info, &profileName, &compression, &profile, &profileLength) && profile)
        icc = QByteArray(reinterpret_cast<const char*>(profile), qsizetype(profileLength));
    const QSize natural{int(width), int(height)};
    QImage picture;
    if (interlace != PNG_INTERLACE_NONE) {
        if (pixels > kMaxWholePicturePixels)
            return PictureFailure(PictureStatus::TooLarge);
        picture = QImage(natural, QImage::Format_ARGB32);
        if (picture.isNull())
            return PictureFailure(PictureStatus::TooLarge);
        if (!readInterlacedPng(h, &picture, height))
            return PictureFailure(PictureStatus::Damaged);
    } else {
        const QSize want = WantedPictureSize(target, natural);
        const int factor = ShrinkFactor(natural, OnLoadSize(natural, want));
        std::vector<png_byte> row(size_t(width) * 4);
        if (sink) {
            const QSize size = BoxShrinker::shrunkSize(natural, factor);
            return PictureStreamed(StreamRows(size, natural, icc, *sink,
                                              [&](RowWriter& writer) {
                                                  StripFiller strips(writer, size.width());
                                                  BoxShrinker shrinker(natural.width(), natural.height(), factor,
                                                                       [&strips](const QRgb* out) { strips.add(out); });
                                                  const bool read = readPngRows(h, &shrinker, row.data(), height);
                                                  strips.flush();
                                                  return read;
                                              }),
                                   natural);
        }
        BoxShrinker shrinker(natural.width(), natural.height(), factor);
        if (!readPngRows(h, &shrinker, row.data(), height))
            return PictureFailure(PictureStatus::Damaged);
        picture = shrinker.result();
    }
    PictureResult result = PictureDecoded(std::move(picture), natural);
    result.iccProfile = icc;
    return result;
}

namespace {
// The ICCP chunk of an extended WebP file (RIFF chunks, each padded to even length).
QByteArray webpProfile(const QByteArray& bytes)
{
    qsizetype at = 12;
    while (at + 8 <= bytes.size()) {
        const auto* p = reinterpret_cast<const uchar*>(bytes.constData() + at);
        const qint64 length = qint64(p[4]) | qint64(p[5]) << 8 | qint64(p[6]) << 16 | qint64(p[7]) << 24;
        if (length > bytes.size() - at - 8)
            break;
        if (bytes.mid(at, 4) == "ICCP")
            return bytes.mid(at + 8, qsizetype(length));
        if (bytes.mid(at, 4) != "VP8X")
            break; // the profile comes right after the extended header or not at all
        at += 8 + qsizetype(length) + (length & 1);
    }
    return {};
}
} // namespace

std::optional<PictureResult> DecodeWebp(const QByteArray& bytes, const PictureTarget& target)
{
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.constData());
    const size_t size = size_t(bytes.size());
    WebPBitstreamFeatures features;
    if (WebPGetFeatures(data, size, &features) != VP8_STATUS_OK)
        return PictureFailure(PictureStatus::Damaged);
    if (features.has_animation)
        return std::nullopt;
    if (qint64(features.width) * features.height > kMaxPicturePixels || features.width <= 0 || features.height <= 0)
        return PictureFailure(PictureStatus::TooLarge);
    const QSize natural(features.width, features.height);
    const QSize want = OnLoadSize(natural, WantedPictureSize(target, natural));
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config))
        return PictureFailure(PictureStatus::Damaged);
    if (want != natural) {
        config.options.use_scaling = 1;
        config.options.scaled_width = want.width();
        config.options.scaled_height = want.height();
    }
    QImage picture(want, QImage::Format_ARGB32_Premultiplied);
    if (picture.isNull())
        return PictureFailure(PictureStatus::TooLarge);
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    config.output.colorspace = MODE_bgrA;
#else
    config.output.colorspace = MODE_Argb;
#endif
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = picture.bits();
    config.output.u.RGBA.stride = int(picture.bytesPerLine());
    config.output.u.RGBA.size = size_t(picture.sizeInBytes());
    const VP8StatusCode status = WebPDecode(data, size, &config);
    WebPFreeDecBuffer(&config.output);
    if (status != VP8_STATUS_OK)
        return PictureFailure(PictureStatus::Damaged);
    PictureResult result = PictureDecoded(std::move(picture), natural);
    result.iccProfile = webpProfile(bytes);
    return result;
}

} // namespace pictomat
