#include "icns/IcnsCodec.h"
#include "icns/Log.h"

#include "files/SharedLibrary.h"
#include "icns/IcnsLibraries.h"

#include <openjpeg.h>

#include <cstring>
#include <memory>

namespace pictomat::icns::codec {

namespace {

// OpenJPEG is opened with the first JPEG 2000 picture: few icon families hold one.
struct OpenJpegLibrary {
    PICTOMAT_LIBRARY_TABLE(PICTOMAT_OPENJP2_FUNCTIONS)
};

constexpr uchar kJp2Signature[12] = {0x00, 0x00, 0x00, 0x0C, 0x6A, 0x50, 0x20, 0x20, 0x0D, 0x0A, 0x87, 0x0A};
constexpr uchar kJ2kSignature[4] = {0xFF, 0x4F, 0xFF, 0x51};

bool startsWith(const QByteArray& data, const uchar* magic, int n)
{
    return data.size() >= n && std::memcmp(data.constData(), magic, size_t(n)) == 0;
}

bool acceptableSize(quint32 w, quint32 h)
{
    return w > 0 && h > 0 && w <= quint32(kMaxDecodedEdge) && h <= quint32(kMaxDecodedEdge);
}

// The codestream's SIZ segment follows its SOC marker directly.
std::optional<QSize> codestreamSize(const uchar* p, qsizetype size)
{
    if (size < 24 || std::memcmp(p, kJ2kSignature, 4) != 0)
        return std::nullopt;
    const quint32 xsiz = ReadU32(p + 8), ysiz = ReadU32(p + 12);
    const quint32 xo = ReadU32(p + 16), yo = ReadU32(p + 20);
    if (xsiz <= xo || ysiz <= yo)
        return std::nullopt;
    return QSize(int(qMin<quint32>(xsiz - xo, 0x7FFFFFFF)), int(qMin<quint32>(ysiz - yo, 0x7FFFFFFF)));
}

// Walks a run of JP2 boxes; returns the payload of the first box of the type.
bool findBox(const uchar* p, qsizetype size, quint32 type, qsizetype* start, qsizetype* length)
{
    qsizetype at = 0;
    while (size - at >= 8) {
        quint64 boxLength = ReadU32(p + at);
        const quint32 boxType = ReadU32(p + at + 4);
        qsizetype header = 8;
        if (boxLength == 1) {
            if (size - at < 16)
                return false;
            boxLength = (quint64(ReadU32(p + at + 8)) << 32) | ReadU32(p + at + 12);
            header = 16;
        } else if (boxLength == 0) {
            boxLength = quint64(size - at);
        }
        if (boxLength < quint64(header) || boxLength > quint64(size - at))
            return false;
        if (boxType == type) {
            *start = at + header;
            *length = qsizetype(boxLength) - header;
            return true;
        }
        at += qsizetype(boxLength);
    }
    return false;
}

struct MemoryStream {
    const uchar* data;
    OPJ_SIZE_T size;
    OPJ_SIZE_T pos;
};

OPJ_SIZE_T readStream(void* buffer, OPJ_SIZE_T n, void* user)
{
    auto* s = static_cast<MemoryStream*>(user);
    if (s->pos >= s->size)
        return OPJ_SIZE_T(-1);
    const OPJ_SIZE_T count = qMin(n, s->size - s->pos);
    std::memcpy(buffer, s->data + s->pos, count);
    s->pos += count;
    return count;
}

OPJ_OFF_T skipStream(OPJ_OFF_T n, void* user)
{
    auto* s = static_cast<MemoryStream*>(user);
    if (n < 0) {
        const OPJ_SIZE_T back = qMin<OPJ_SIZE_T>(OPJ_SIZE_T(-n), s->pos);
        s->pos -= back;
        return -OPJ_OFF_T(back);
    }
    const OPJ_SIZE_T forward = qMin<OPJ_SIZE_T>(OPJ_SIZE_T(n), s->size - s->pos);
    s->pos += forward;
    return OPJ_OFF_T(forward);
}

OPJ_BOOL seekStream(OPJ_OFF_T n, void* user)
{
    auto* s = static_cast<MemoryStream*>(user);
    if (n < 0 || OPJ_SIZE_T(n) > s->size)
        return OPJ_FALSE;
    s->pos = OPJ_SIZE_T(n);
    return OPJ_TRUE;
}

// What the decoder says of a damaged stream is for the log, never the terminal.
void decoderMessage(const char* text, void*)
{
    qCDebug(lcIcns, "OpenJPEG: %s", QByteArray(text).trimmed().constData());
}

struct CodecDeleter {
    const OpenJpegLibrary* lib;
    void operator()(opj_codec_t* c) const { lib->opj_destroy_codec(c); }
};
struct StreamDeleter {
    const OpenJpegLibrary* lib;
    void operator()(opj_stream_t* s) const { lib->opj_stream_destroy(s); }
};
struct ImageDeleter {
    const OpenJpegLibrary* lib;
    void operator()(opj_image_t* i) const { lib->opj_image_destroy(i); }
};

int to8Bit(OPJ_INT32 v, const opj_image_comp_t& comp)
{
    const int prec = int(comp.prec);
    if (comp.sgnd)
        v += OPJ_INT32(1) << (prec - 1);
    const OPJ_INT32 maxValue = (OPJ_INT32(1) << prec) - 1;
    v = qBound<OPJ_INT32>(0, v, maxValue);
    if (prec >= 8)
        return int(v >> (prec - 8));
    return int(v * 255 / maxValue);
}

} // namespace

bool IsJpeg2000(const QByteArray& data)
{
    return startsWith(data, kJp2Signature, 8) || startsWith(data, kJ2kSignature, 4);
}

std::optional<QSize> Jpeg2000Size(const QByteArray& data)
{
    const auto* p = reinterpret_cast<const uchar*>(data.constData());
    if (startsWith(data, kJ2kSignature, 4))
        return codestreamSize(p, data.size());
    if (!startsWith(data, kJp2Signature, 8))
        return std::nullopt;
    qsizetype start = 0, length = 0;
    if (!findBox(p, data.size(), 0x6A703268 /* jp2h */, &start, &length))
        return std::nullopt;
    qsizetype ihdr = 0, ihdrLength = 0;
    if (!findBox(p + start, length, 0x69686472 /* ihdr */, &ihdr, &ihdrLength) || ihdrLength < 8)
        return std::nullopt;
    const quint32 h = ReadU32(p + start + ihdr), w = ReadU32(p + start + ihdr + 4);
    if (w == 0 || h == 0)
        return std::nullopt;
    return QSize(int(qMin<quint32>(w, 0x7FFFFFFF)), int(qMin<quint32>(h, 0x7FFFFFFF)));
}

QImage DecodeJpeg2000(const QByteArray& data)
{
    const std::optional<QSize> declared = Jpeg2000Size(data);
    if (!declared || !acceptableSize(quint32(declared->width()), quint32(declared->height())))
        return {};
    const bool isCodestream = startsWith(data, kJ2kSignature, 4);
    const OpenJpegLibrary* lib = LoadLibrary<OpenJpegLibrary>(PICTOMAT_LIBRARY_OPENJP2);
    if (!lib)
        return {};

    MemoryStream source{reinterpret_cast<const uchar*>(data.constData()), OPJ_SIZE_T(data.size()), 0};
    std::unique_ptr<opj_stream_t, StreamDeleter> stream(lib->opj_stream_create(OPJ_J2K_STREAM_CHUNK_SIZE, OPJ_TRUE),
                                                        {lib});
    std::unique_ptr<opj_codec_t, CodecDeleter> codec(
        lib->opj_create_decompress(isCodestream ? OPJ_CODEC_J2K : OPJ_CODEC_JP2), {lib});
    if (!stream || !codec)
        return {};
    lib->opj_stream_set_user_data(stream.get(), &source, nullptr);
    lib->opj_stream_set_user_data_length(stream.get(), source.size);
    lib->opj_stream_set_read_function(stream.get(), readStream);
    lib->opj_stream_set_skip_function(stream.get(), skipStream);
    lib->opj_stream_set_seek_function(stream.get(), seekStream);
    lib->opj_set_info_handler(codec.get(), decoderMessage, nullptr);
    lib->opj_set_warning_handler(codec.get(), decoderMessage, nullptr);
    lib->opj_set_error_handler(codec.get(), decoderMessage, nullptr);

    opj_dparameters_t parameters;
    lib->opj_set_default_decoder_parameters(&parameters);
    if (!lib->opj_setup_decoder(codec.get(), &parameters))
        return {};
    opj_image_t* rawImage = nullptr;
    const bool headerRead = lib->opj_read_header(stream.get(), codec.get(), &rawImage);
    std::unique_ptr<opj_image_t, ImageDeleter> image(rawImage, {lib});
    if (!headerRead || !image)
        return {};
    // The codestream may declare another size than the JP2 header did.
    if (image->x1 <= image->x0 || image->y1 <= image->y0
        || !acceptableSize(image->x1 - image->x0, image->y1 - image->y0))
        return {};
    const int width = int(image->x1 - image->x0), height = int(image->y1 - image->y0);
    if (image->numcomps < 1 || image->numcomps > 4)
        return {};
    for (OPJ_UINT32 c = 0; c < image->numcomps; ++c) {
        const opj_image_comp_t& comp = image->comps[c];
        if (comp.dx != 1 || comp.dy != 1 || comp.prec < 1 || comp.prec > 16)
            return {};
    }
    if (!lib->opj_decode(codec.get(), stream.get(), image.get()) || !lib->opj_end_decompress(codec.get(), stream.get()))
        return {};
    for (OPJ_UINT32 c = 0; c < image->numcomps; ++c) {
        const opj_image_comp_t& comp = image->comps[c];
        if (!comp.data || int(comp.w) != width || int(comp.h) != height)
            return {};
    }

    QImage out(width, height, QImage::Format_ARGB32);
    if (out.isNull())
        return {};
    const opj_image_comp_t* comps = image->comps;
    const OPJ_UINT32 n = image->numcomps;
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const qsizetype i = qsizetype(y) * width + x;
            int r, g, b, a = 255;
            if (n <= 2) {
                r = g = b = to8Bit(comps[0].data[i], comps[0]);
                if (n == 2)
                    a = to8Bit(comps[1].data[i], comps[1]);
            } else {
                r = to8Bit(comps[0].data[i], comps[0]);
                g = to8Bit(comps[1].data[i], comps[1]);
                b = to8Bit(comps[2].data[i], comps[2]);
                if (n == 4)
                    a = to8Bit(comps[3].data[i], comps[3]);
            }
            line[x] = qRgba(r, g, b, a);
        }
    }
    return out;
}

} // namespace pictomat::icns::codec
