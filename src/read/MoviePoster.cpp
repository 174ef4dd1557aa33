#include "read/MoviePoster.h"

#include "files/FileIO.h"
#include "files/UniqueFd.h"
#include "read/MovieLibrary.h"

#include <QTransform>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

namespace pictomat {

namespace {

// Only called once the libraries have loaded.
const movie::Library& ff()
{
    return *movie::Load();
}

struct FormatCloser {
    void operator()(AVFormatContext* c) const { ff().avformat_close_input(&c); }
};
struct CodecFreer {
    void operator()(AVCodecContext* c) const { ff().avcodec_free_context(&c); }
};
struct FrameFreer {
    void operator()(AVFrame* f) const { ff().av_frame_free(&f); }
};
struct PacketFreer {
    void operator()(AVPacket* p) const { ff().av_packet_free(&p); }
};
struct ScalerFreer {
    void operator()(SwsContext* s) const { ff().sws_freeContext(s); }
};

using FormatPtr = std::unique_ptr<AVFormatContext, FormatCloser>;
using CodecPtr = std::unique_ptr<AVCodecContext, CodecFreer>;
using FramePtr = std::unique_ptr<AVFrame, FrameFreer>;
using PacketPtr = std::unique_ptr<AVPacket, PacketFreer>;
using ScalerPtr = std::unique_ptr<SwsContext, ScalerFreer>;

// The demuxer reads through our own descriptor: the file was opened without
// blocking and checked to be a regular file, and the demuxer opens nothing
// else (no second file, no network), whatever the movie refers to.
struct DescriptorInput {
    int fd = -1;
    int64_t position = 0;
    int64_t size = 0;
};

int readInput(void* opaque, uint8_t* buffer, int size)
{
    auto* input = static_cast<DescriptorInput*>(opaque);
    for (;;) {
        const ssize_t n = ::pread(input->fd, buffer, size_t(size), off_t(input->position));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return AVERROR(errno);
        if (n == 0)
            return AVERROR_EOF;
        input->position += n;
        return int(n);
    }
}

int64_t seekInput(void* opaque, int64_t offset, int whence)
{
    auto* input = static_cast<DescriptorInput*>(opaque);
    switch (whence & ~AVSEEK_FORCE) {
    case AVSEEK_SIZE: return input->size;
    case SEEK_SET: break;
    case SEEK_CUR: offset += input->position; break;
    case SEEK_END: offset += input->size; break;
    default: return AVERROR(EINVAL);
    }
    if (offset < 0)
        return AVERROR(EINVAL);
    input->position = offset;
    return offset;
}

int refuseNestedOpen(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**)
{
    return AVERROR(EPERM);
}

struct InputContextFreer {
    void operator()(AVIOContext* c) const
    {
        ff().av_free(c->buffer);
        ff().avio_context_free(&c);
    }
};
using InputPtr = std::unique_ptr<AVIOContext, InputContextFreer>;

// Enough packets to reach any poster frame from the keyframe before it in a
// sane file; a damaged index must not make us read a whole movie.
constexpr int kMaxPackets = 20000;

uint32_t bigEndian32(const unsigned char* p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

uint64_t bigEndian64(const unsigned char* p)
{
    return (uint64_t(bigEndian32(p)) << 32) | bigEndian32(p + 4);
}

bool readAt(int fd, int64_t offset, unsigned char* buffer, size_t length)
{
    size_t done = 0;
    while (done < length) {
        const ssize_t n = ::pread(fd, buffer + done, length - done, off_t(offset + int64_t(done)));
        if (n <= 0)
            return false;
        done += size_t(n);
    }
    return true;
}

struct Box {
    uint32_t type = 0;
    int64_t payload = 0; // offset of the payload
    int64_t end = 0;     // offset just past the box
};

// The box at offset, if its header is whole and it ends inside limit.
std::optional<Box> boxAt(int fd, int64_t offset, int64_t limit)
{
    unsigned char header[16];
    if (offset + 8 > limit || !readAt(fd, offset, header, 8))
        return std::nullopt;
    Box box;
    box.type = bigEndian32(header + 4);
    uint64_t size = bigEndian32(header);
    box.payload = offset + 8;
    if (size == 1) {
        if (offset + 16 > limit || !readAt(fd, offset + 8, header + 8, 8))
            return std::nullopt;
        size = bigEndian64(header + 8);
        box.payload = offset + 16;
    } else if (size == 0) {
        size = uint64_t(limit - offset); // the box runs to the end
    }
    if (size < uint64_t(box.payload - offset) || size > uint64_t(limit - offset))
        return std::nullopt;
    box.end = offset + int64_t(size);
    return box;
}

std::optional<Box> findChild(int fd, int64_t from, int64_t limit, uint32_t type)
{
    int64_t offset = from;
    for (int guard = 0; guard < 100000 && offset < limit; ++guard) {
        const std::optional<Box> box = boxAt(fd, offset, limit);
        if (!box)
            return std::nullopt;
        if (box->type == type)
            return box;
        offset = box->end;
    }
    return std::nullopt;
}

constexpr uint32_t fourCC(const char (&c)[5])
{
    return (uint32_t(uint8_t(c[0])) << 24) | (uint32_t(uint8_t(c[1])) << 16) | (uint32_t(uint8_t(c[2])) << 8)
           | uint32_t(uint8_t(c[3]));
}

// Clockwise rotation in whole quarter turns that the stream's display matrix asks for.
int displayRotation(const AVStream* stream)
{
    size_t size = 0;
    const uint8_t* matrix = ff().av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, &size);
    if (!matrix || size < 9 * sizeof(int32_t))
        return 0;
    const double counterClockwise = ff().av_display_rotation_get(reinterpret_cast<const int32_t*>(matrix));
    if (std::isnan(counterClockwise))
        return 0;
    int degrees = -int(std::lround(counterClockwise / 90.0)) * 90;
    degrees %= 360;
    if (degrees < 0)
        degrees += 360;
    return degrees;
}

// Decodes frames of one stream until the one shown at target (stream time
// base) has been passed; no target takes the first frame.
FramePtr decodePosterFrame(AVFormatContext* format, AVCodecContext* codec, int streamIndex,
                           std::optional<int64_t> target)
{
    PacketPtr packet(ff().av_packet_alloc());
    FramePtr frame(ff().av_frame_alloc());
    FramePtr kept(ff().av_frame_alloc());
    if (!packet || !frame || !kept)
        return nullptr;
    bool haveKept = false;

    // True when the search is over (the frame to use is in kept).
    auto takeFrames = [&]() -> bool {
        while (ff().avcodec_receive_frame(codec, frame.get()) == 0) {
            const int64_t pts = frame->best_effort_timestamp;
            const bool atOrBefore = !target || pts == AV_NOPTS_VALUE || pts <= *target;
            if (atOrBefore || !haveKept) {
                ff().av_frame_unref(kept.get());
                ff().av_frame_move_ref(kept.get(), frame.get());
                haveKept = true;
            }
            ff().av_frame_unref(frame.get());
            if (!target || (pts != AV_NOPTS_VALUE && pts >= *target))
                return true;
        }
        return false;
    };

    bool done = false;
    for (int count = 0; !done && count < kMaxPackets; ++count) {
        const int status = ff().av_read_frame(format, packet.get());
        if (status < 0)
            break;
        if (packet->stream_index == streamIndex) {
            // A damaged packet is refused and skipped; the decoder resynchronises
            // on the next one, so frames are collected either way.
            ff().avcodec_send_packet(codec, packet.get());
            done = takeFrames();
        }
        ff().av_packet_unref(packet.get());
    }
    if (!done) {
        ff().avcodec_send_packet(codec, nullptr); // drain what the decoder holds back
        takeFrames();
    }
    return haveKept ? std::move(kept) : nullptr;
}

QImage convertFrame(const AVFrame* frame, QSize size)
{
    if (frame->width <= 0 || frame->height <= 0 || frame->format < 0 || size.isEmpty())
        return {};
    ScalerPtr scaler(ff().sws_getContext(frame->width, frame->height, AVPixelFormat(frame->format), size.width(),
                                         size.height(), AV_PIX_FMT_RGBA, SWS_AREA, nullptr, nullptr, nullptr));
    if (!scaler)
        return {};
    if (frame->colorspace == AVCOL_SPC_BT709) {
        // High-definition video uses its own matrix; the scaler assumes BT.601.
        int* inverseTable = nullptr;
        int* table = nullptr;
        int srcRange = 0, dstRange = 0, brightness = 0, contrast = 0, saturation = 0;
        if (ff().sws_getColorspaceDetails(scaler.get(), &inverseTable, &srcRange, &table, &dstRange, &brightness,
                                          &contrast, &saturation)
            >= 0) {
            ff().sws_setColorspaceDetails(scaler.get(), ff().sws_getCoefficients(SWS_CS_ITU709), srcRange, table,
                                          dstRange, brightness, contrast, saturation);
        }
    }
    QImage image(size, QImage::Format_RGBA8888);
    if (image.isNull())
        return {};
    uint8_t* destination[4] = {image.bits(), nullptr, nullptr, nullptr};
    int strides[4] = {int(image.bytesPerLine()), 0, 0, 0};
    if (ff().sws_scale(scaler.get(), frame->data, frame->linesize, 0, frame->height, destination, strides) <= 0)
        return {};
    return image;
}

} // namespace

namespace {

std::optional<double> quickTimePosterTime(int fd)
{
    struct stat st { };
    if (::fstat(fd, &st) != 0)
        return std::nullopt;
    const off_t length = st.st_size;
    if (length <= 0)
        return std::nullopt;

    const std::optional<Box> movie = findChild(fd, 0, length, fourCC("moov"));
    if (!movie)
        return std::nullopt;
    const std::optional<Box> header = findChild(fd, movie->payload, movie->end, fourCC("mvhd"));
    if (!header)
        return std::nullopt;

    unsigned char body[96];
    const int64_t available = header->end - header->payload;
    if (available < 4 || !readAt(fd, header->payload, body, 4))
        return std::nullopt;
    const int version = body[0];
    const int64_t timescaleAt = version == 1 ? 20 : 12;
    const int64_t posterAt = version == 1 ? 92 : 80;
    if (available < posterAt + 4 || !readAt(fd, header->payload, body, size_t(posterAt + 4)))
        return std::nullopt;
    const uint32_t timescale = bigEndian32(body + timescaleAt);
    const uint32_t poster = bigEndian32(body + posterAt);
    if (timescale == 0)
        return std::nullopt;
    return double(poster) / double(timescale);
}

} // namespace

namespace {
std::optional<MoviePoster> readMoviePoster(int fd, const PictureTarget& fit);
} // namespace

std::optional<double> ReadQuickTimePosterTime(const QByteArray& path)
{
    const UniqueFd file = OpenDescriptorForReading(path);
    if (!file.valid())
        return std::nullopt;
    return quickTimePosterTime(file.get());
}

std::optional<MoviePoster> ReadMoviePoster(const QByteArray& path, const PictureTarget& fit)
{
    const UniqueFd file = OpenDescriptorForReading(path);
    if (!file.valid())
        return std::nullopt;
    return readMoviePoster(file.get(), fit);
}

std::optional<MoviePoster> ReadMoviePoster(const PictureSource& source, const PictureTarget& fit)
{
    if (source.descriptor() < 0)
        return std::nullopt;
    return readMoviePoster(source.descriptor(), fit);
}

namespace {

std::optional<MoviePoster> readMoviePoster(int fd, const PictureTarget& fit)
{
    if (!movie::Load())
        return std::nullopt;
    struct stat st { };
    if (::fstat(fd, &st) != 0)
        return std::nullopt;
    DescriptorInput input{fd, 0, int64_t(st.st_size)};
    constexpr int kInputBufferBytes = 64 * 1024;
    auto* buffer = static_cast<unsigned char*>(ff().av_malloc(kInputBufferBytes));
    if (!buffer)
        return std::nullopt;
    InputPtr io(ff().avio_alloc_context(buffer, kInputBufferBytes, 0, &input, readInput, nullptr, seekInput));
    if (!io) {
        ff().av_free(buffer);
        return std::nullopt;
    }
    AVFormatContext* opened = ff().avformat_alloc_context();
    if (!opened)
        return std::nullopt;
    opened->pb = io.get();
    opened->flags |= AVFMT_FLAG_CUSTOM_IO;
    opened->io_open = refuseNestedOpen;
    AVDictionary* options = nullptr;
    ff().av_dict_set(&options, "protocol_whitelist", "none", 0);
    // On failure the context is freed by the call itself.
    const int status = ff().avformat_open_input(&opened, nullptr, nullptr, &options);
    ff().av_dict_free(&options);
    if (status < 0)
        return std::nullopt;
    FormatPtr format(opened);
    // A text file with terminal escapes is a "movie" to the demuxer, not to us.
    if (std::strcmp(format->iformat->name, "tty") == 0)
        return std::nullopt;

    // Containers that describe their streams in a header (QuickTime, MPEG-4,
    // Matroska) need no probing; probing decodes frames, which costs more than
    // the poster itself. Others only reveal their streams by being read.
    const AVCodec* decoder = nullptr;
    int streamIndex = ff().av_find_best_stream(format.get(), AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0);
    if (streamIndex < 0 || !decoder || format->streams[streamIndex]->codecpar->width <= 0
        || format->streams[streamIndex]->codecpar->height <= 0) {
        if (ff().avformat_find_stream_info(format.get(), nullptr) < 0)
            return std::nullopt;
        streamIndex = ff().av_find_best_stream(format.get(), AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0);
    }
    if (streamIndex < 0 || !decoder)
        return std::nullopt;
    AVStream* stream = format->streams[streamIndex];

    CodecPtr codec(ff().avcodec_alloc_context3(decoder));
    if (!codec || ff().avcodec_parameters_to_context(codec.get(), stream->codecpar) < 0)
        return std::nullopt;
    if (ff().avcodec_open2(codec.get(), decoder, nullptr) < 0)
        return std::nullopt;

    std::optional<int64_t> target;
    FramePtr frame;
    if (stream->disposition & AV_DISPOSITION_ATTACHED_PIC) {
        // Cover art of a sound file stands for its picture.
        PacketPtr picture(ff().av_packet_clone(&stream->attached_pic));
        FramePtr decoded(ff().av_frame_alloc());
        if (picture && decoded && ff().avcodec_send_packet(codec.get(), picture.get()) >= 0) {
            ff().avcodec_send_packet(codec.get(), nullptr);
            if (ff().avcodec_receive_frame(codec.get(), decoded.get()) == 0)
                frame = std::move(decoded);
        }
    } else {
        if (std::strstr(format->iformat->name, "mov")) {
            const std::optional<double> seconds = quickTimePosterTime(fd);
            if (seconds && *seconds > 0 && stream->time_base.num > 0 && stream->time_base.den > 0) {
                const double ticks = *seconds * stream->time_base.den / stream->time_base.num;
                const int64_t start = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
                target = int64_t(std::llround(ticks)) + start;
                if (ff().av_seek_frame(format.get(), streamIndex, *target, AVSEEK_FLAG_BACKWARD) >= 0)
                    ff().avcodec_flush_buffers(codec.get());
            }
        }
        frame = decodePosterFrame(format.get(), codec.get(), streamIndex, target);
    }
    if (!frame || frame->width <= 0 || frame->height <= 0)
        return std::nullopt;

    // The display size: pixels stretched by the sample aspect ratio, then turned.
    double width = frame->width;
    const AVRational aspect = ff().av_guess_sample_aspect_ratio(format.get(), stream, frame.get());
    if (aspect.num > 0 && aspect.den > 0)
        width = width * aspect.num / aspect.den;
    QSize display(std::max(1, int(std::lround(std::min(width, 65535.0)))), frame->height);
    const int rotation = displayRotation(stream);
    const bool quarterTurn = rotation == 90 || rotation == 270;
    if (quarterTurn)
        display.transpose();

    const QSize fitted = fit(display);
    QSize size(std::min(display.width(), std::max(fitted.width(), 1)),
               std::min(display.height(), std::max(fitted.height(), 1)));
    QImage image = convertFrame(frame.get(), quarterTurn ? size.transposed() : size);
    if (image.isNull())
        return std::nullopt;
    if (rotation != 0)
        image = image.transformed(QTransform().rotate(rotation));

    MoviePoster poster;
    poster.frame = std::move(image);
    poster.displaySize = display;
    const int64_t pts = frame->best_effort_timestamp;
    if (pts != AV_NOPTS_VALUE)
        poster.time = double(pts) * av_q2d(stream->time_base);
    return poster;
}

} // namespace

} // namespace pictomat
