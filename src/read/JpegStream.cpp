#include "read/PictureStreams.h"

#include "read/Log.h"

#include <QIODevice>
#include <QImageIOHandler>
#include <QTransform>

#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <vector>

#include <jpeglib.h>

namespace pictomat {

namespace {

// libjpeg reports errors by jumping back to the last setjmp; its warnings
// (damaged but readable data) are not ours to print.
struct JpegErrors {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

[[noreturn]] void onJpegError(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<JpegErrors*>(info->err)->jump, 1);
}

// A damaged picture's warnings are for the log, never the terminal; the
// decoder's trace is for nobody.
void onJpegMessage(j_common_ptr info, int level)
{
    if (level >= 0 || !lcRead().isDebugEnabled())
        return;
    char text[JMSG_LENGTH_MAX];
    info->err->format_message(info, text);
    qCDebug(lcRead, "libjpeg: %s", text);
}

struct JpegDecoder {
    jpeg_decompress_struct info{};
    JpegErrors errors{};
    bool created = false;
    JOCTET* profile = nullptr; // the APP2 colour profile, allocated by libjpeg with malloc
    unsigned int profileLength = 0;
    ~JpegDecoder()
    {
        std::free(profile);
        if (created)
            jpeg_destroy_decompress(&info);
    }
};

// The file read in large pieces: libjpeg takes its fast Huffman path only
// while several kilobytes are at hand, and Qt's reader hands it 4 KiB at a
// time, which keeps it on the slow path for most of a photo.
struct DeviceSource {
    jpeg_source_mgr manager;
    QIODevice* device;
    std::vector<JOCTET> buffer;
};

void initSource(j_decompress_ptr) { }
void termSource(j_decompress_ptr) { }

boolean fillInput(j_decompress_ptr info)
{
    auto* source = reinterpret_cast<DeviceSource*>(info->src);
    qint64 n = source->device->read(reinterpret_cast<char*>(source->buffer.data()), qint64(source->buffer.size()));
    if (n <= 0) {
        // A cut file ends as if it ended there; libjpeg fills in the rest.
        source->buffer[0] = 0xff;
        source->buffer[1] = JPEG_EOI;
        n = 2;
    }
    source->manager.next_input_byte = source->buffer.data();
    source->manager.bytes_in_buffer = size_t(n);
    return TRUE;
}

void skipInput(j_decompress_ptr info, long count)
{
    auto* source = reinterpret_cast<DeviceSource*>(info->src);
    while (count > long(source->manager.bytes_in_buffer)) {
        count -= long(source->manager.bytes_in_buffer);
        fillInput(info);
    }
    if (count > 0) {
        source->manager.next_input_byte += count;
        source->manager.bytes_in_buffer -= size_t(count);
    }
}

// Everything that may jump back happens in these two, which make nothing
// that has a destructor.
bool readJpegHeader(JpegDecoder* d, DeviceSource* source)
{
    d->info.err = jpeg_std_error(&d->errors.manager);
    d->errors.manager.error_exit = onJpegError;
    d->errors.manager.emit_message = onJpegMessage;
    if (setjmp(d->errors.jump))
        return false;
    jpeg_create_decompress(&d->info);
    d->created = true;
    // Progressive pictures keep every coefficient until the end: past this
    // they are refused rather than allowed to take the machine's memory.
    d->info.mem->max_memory_to_use = 512L * 1024 * 1024;
    d->info.src = &source->manager;
    jpeg_save_markers(&d->info, JPEG_APP0 + 2, 0xffff);
    jpeg_read_header(&d->info, TRUE);
    if (!jpeg_read_icc_profile(&d->info, &d->profile, &d->profileLength))
        d->profile = nullptr;
    return true;
}

bool startJpeg(JpegDecoder* d, unsigned scaleNumerator)
{
    if (setjmp(d->errors.jump))
        return false;
    d->info.scale_num = scaleNumerator;
    d->info.scale_denom = 8;
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    d->info.out_color_space = JCS_EXT_BGRA;
#else
    d->info.out_color_space = JCS_EXT_ARGB;
#endif
    jpeg_start_decompress(&d->info);
    return true;
}

// The rows in the writer's strips, on the thread that decodes.
bool streamJpegRows(JpegDecoder* d, RowWriter* writer)
{
    if (setjmp(d->errors.jump))
        return false;
    while (d->info.output_scanline < d->info.output_height) {
        int room = 0;
        uchar* const* rows = writer->rows(&room);
        if (!rows)
            return false;
        const int want = int(std::min<JDIMENSION>(JDIMENSION(room), d->info.output_height - d->info.output_scanline));
        int done = 0;
        while (done < want) {
            const JDIMENSION n =
                jpeg_read_scanlines(&d->info, const_cast<JSAMPARRAY>(rows + done), JDIMENSION(want - done));
            if (n == 0)
                break;
            done += int(n);
        }
        writer->written(done);
        if (done < want)
            return false;
    }
    jpeg_finish_decompress(&d->info);
    return true;
}

bool readJpegRows(JpegDecoder* d, unsigned scaleNumerator, QImage* out)
{
    if (!startJpeg(d, scaleNumerator))
        return false;
    if (setjmp(d->errors.jump))
        return false;
    *out = QImage(int(d->info.output_width), int(d->info.output_height), QImage::Format_ARGB32_Premultiplied);
    if (out->isNull()) {
        jpeg_abort_decompress(&d->info);
        return false;
    }
    JSAMPROW rows[8];
    while (d->info.output_scanline < d->info.output_height) {
        int count = 0;
        for (; count < 8 && d->info.output_scanline + unsigned(count) < d->info.output_height; ++count)
            rows[count] = out->scanLine(int(d->info.output_scanline) + count);
        if (jpeg_read_scanlines(&d->info, rows, JDIMENSION(count)) == 0)
            break;
    }
    jpeg_finish_decompress(&d->info);
    return true;
}

quint16 read16(const uchar* p, bool little)
{
    return little ? quint16(p[0] | (p[1] << 8)) : quint16((p[0] << 8) | p[1]);
}

quint32 read32(const uchar* p, bool little)
{
    return little ? quint32(p[0] | (p[1] << 8) | (p[2] << 16) | (quint32(p[3]) << 24))
                  : quint32((quint32(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3]);
}

// The camera's orientation (EXIF tag 0x0112) from the APP1 segment, as Qt names it.
QImageIOHandler::Transformations exifOrientation(const uchar* data, size_t size)
{
    size_t at = 2;
    while (at + 4 <= size && data[at] == 0xff) {
        const uchar marker = data[at + 1];
        const size_t length = size_t(data[at + 2] << 8 | data[at + 3]);
        if (marker == 0xda || marker == 0xd9 || length < 2 || at + 2 + length > size)
            break;
        const uchar* segment = data + at + 4;
        const size_t segmentSize = length - 2;
        if (marker == 0xe1 && segmentSize >= 14 && std::memcmp(segment, "Exif\0\0", 6) == 0) {
            const uchar* tiff = segment + 6;
            const size_t tiffSize = segmentSize - 6;
            const bool little = tiff[0] == 'I';
            const quint32 ifd = read32(tiff + 4, little);
            if (ifd + 2 > tiffSize)
                break;
            const quint16 entries = read16(tiff + ifd, little);
            for (quint32 i = 0; i < entries && ifd + 2 + 12 * (i + 1) <= tiffSize; ++i) {
                const uchar* entry = tiff + ifd + 2 + 12 * i;
                if (read16(entry, little) != 0x0112)
                    continue;
                switch (read16(entry + 8, little)) {
                case 2: return QImageIOHandler::TransformationMirror;
                case 3: return QImageIOHandler::TransformationRotate180;
                case 4: return QImageIOHandler::TransformationFlip;
                case 5: return QImageIOHandler::TransformationFlipAndRotate90;
                case 6: return QImageIOHandler::TransformationRotate90;
                case 7: return QImageIOHandler::TransformationMirrorAndRotate90;
                case 8: return QImageIOHandler::TransformationRotate270;
                default: return QImageIOHandler::TransformationNone;
                }
            }
            break;
        }
        at += 2 + length;
    }
    return QImageIOHandler::TransformationNone;
}

QImage upright(QImage image, QImageIOHandler::Transformations t)
{
    if (t == QImageIOHandler::TransformationNone)
        return image;
    if (t == QImageIOHandler::TransformationRotate270)
        return image.transformed(QTransform().rotate(270));
    image = image.mirrored(t.testFlag(QImageIOHandler::TransformationMirror),
                           t.testFlag(QImageIOHandler::TransformationFlip));
    if (t.testFlag(QImageIOHandler::TransformationRotate90))
        image = image.transformed(QTransform().rotate(90));
    return image;
}

} // namespace

std::optional<PictureResult> DecodeJpeg(QIODevice& device, qint64 fileBytes, const PictureTarget& target,
                                        PictureRowSink* sink)
{
    // The camera's orientation is in the first segments, before any decoding.
    const QByteArray head = device.peek(128 * 1024);
    DeviceSource source;
    source.manager.init_source = initSource;
    source.manager.fill_input_buffer = fillInput;
    source.manager.skip_input_data = skipInput;
    source.manager.resync_to_restart = jpeg_resync_to_restart;
    source.manager.term_source = termSource;
    source.manager.next_input_byte = nullptr;
    source.manager.bytes_in_buffer = 0;
    source.device = &device;
    source.buffer.resize(256 * 1024);
    JpegDecoder decoder;
    if (!readJpegHeader(&decoder, &source))
        return PictureFailure(PictureStatus::Damaged);
    // Four-colour pictures (CMYK, YCCK) take Qt's reader, which knows their conventions.
    if (decoder.info.jpeg_color_space == JCS_CMYK || decoder.info.jpeg_color_space == JCS_YCCK)
        return std::nullopt;
    const QSize stored(int(decoder.info.image_width), int(decoder.info.image_height));
    const qint64 pixels = qint64(stored.width()) * stored.height();
    if (pixels > kMaxPicturePixels)
        return PictureFailure(PictureStatus::TooLarge);
    // Every 8 x 8 block of brightness costs at least a bit (Huffman coding):
    // a header promising more is a bomb or a cut file.
    if (!decoder.info.arith_code && pixels > 512 * std::max<qint64>(fileBytes, 1))
        return PictureFailure(PictureStatus::TooLarge);
    if (pixels <= 0)
        return PictureFailure(PictureStatus::Damaged);
    const QImageIOHandler::Transformations orientation =
        exifOrientation(reinterpret_cast<const uchar*>(head.constData()), size_t(head.size()));
    const bool swapped = orientation.testFlag(QImageIOHandler::TransformationRotate90);
    const QSize natural = swapped ? stored.transposed() : stored;
    const QSize want = OnLoadSize(natural, WantedPictureSize(target, natural));
    const QSize wantStored = swapped ? want.transposed() : want;
    // The smallest of libjpeg's eighths that is still at least as large.
    unsigned numerator = 1;
    while (numerator < 8
           && (qint64(stored.width()) * numerator < qint64(wantStored.width()) * 8
               || qint64(stored.height()) * numerator < qint64(wantStored.height()) * 8))
        ++numerator;
    const QByteArray profile =
        decoder.profile ? QByteArray(reinterpret_cast<const char*>(decoder.profile), qsizetype(decoder.profileLength))
                        : QByteArray();
    // A turned picture's rows are not its rows upright: it is turned whole.
    if (sink && orientation == QImageIOHandler::TransformationNone) {
        if (!startJpeg(&decoder, numerator))
            return PictureFailure(PictureStatus::Damaged);
        const QSize size(int(decoder.info.output_width), int(decoder.info.output_height));
        return PictureStreamed(StreamRows(size, natural, profile, *sink,
                                          [&](RowWriter& writer) { return streamJpegRows(&decoder, &writer); }),
                               natural);
    }
    QImage picture;
    if (!readJpegRows(&decoder, numerator, &picture))
        return PictureFailure(PictureStatus::Damaged);
    picture = upright(std::move(picture), orientation);
    PictureResult result = PictureDecoded(std::move(picture), natural);
    result.iccProfile = profile;
    return result;
}

} // namespace pictomat
