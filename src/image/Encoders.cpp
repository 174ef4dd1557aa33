#include "image/Encoders.h"

#include "icns/IconFamily.h"
#include "read/ColourProfile.h"

#include <QCoreApplication>
#include <QBuffer>
#include <QColorSpace>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

namespace pictomat {

namespace {

QColor opaque(const BackgroundColor& background)
{
    auto unit = [](float v) { return std::isnan(v) ? 1.0f : std::clamp(v, 0.0f, 1.0f); };
    return QColor::fromRgbF(unit(background.red), unit(background.green), unit(background.blue), 1.0f);
}

QImage flattened(const QImage& picture, const BackgroundColor& background)
{
    QImage out(picture.size(), QImage::Format_RGB32);
    if (out.isNull())
        return out;
    out.fill(opaque(background));
    QPainter painter(&out);
    painter.drawImage(QPoint(0, 0), picture);
    return out;
}

// WBMP type 0: a header of multi-byte integers (7 bits a byte, high bit set
// on all but the last), then rows of one bit a pixel, 1 for white, each row
// padded to whole bytes.
void appendMultiByte(QByteArray& out, quint32 value)
{
    char groups[5];
    int n = 0;
    do {
        groups[n++] = char(value & 0x7f);
        value >>= 7;
    } while (value != 0);
    while (n-- > 0)
        out.append(char(groups[n] | (n > 0 ? 0x80 : 0)));
}

// Dithered as Qt dithers the other one-bit formats (PBM, XBM): a threshold
// at middle grey would leave light lines on white, a page's text, blank.
QByteArray wbmp(const QImage& opaque)
{
    const QImage opaquePicture = opaque.convertToFormat(QImage::Format_Mono, Qt::DiffuseDither);
    QByteArray out;
    out.append('\0');
    out.append('\0');
    appendMultiByte(out, quint32(opaquePicture.width()));
    appendMultiByte(out, quint32(opaquePicture.height()));
    const int rowBytes = (opaquePicture.width() + 7) / 8;
    for (int y = 0; y < opaquePicture.height(); ++y) {
        QByteArray bits(rowBytes, '\0');
        for (int x = 0; x < opaquePicture.width(); ++x) {
            if (qGray(opaquePicture.pixel(x, y)) >= 128)
                bits[x / 8] = char(bits[x / 8] | (0x80 >> (x % 8)));
        }
        out.append(bits);
    }
    return out;
}

struct JpegErrors {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

[[noreturn]] void onJpegError(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<JpegErrors*>(info->err)->jump, 1);
}

// Everything that may jump back is in here, which makes nothing that has a destructor.
bool compressJpeg(jpeg_compress_struct* info, JpegErrors* errors, const QImage& rgb, int quality, unsigned char** out,
                  unsigned long* size, const QByteArray& profile)
{
    info->err = jpeg_std_error(&errors->manager);
    errors->manager.error_exit = onJpegError;
    if (setjmp(errors->jump)) {
        jpeg_destroy_compress(info);
        return false;
    }
    jpeg_create_compress(info);
    jpeg_mem_dest(info, out, size);
    info->image_width = JDIMENSION(rgb.width());
    info->image_height = JDIMENSION(rgb.height());
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    info->in_color_space = JCS_EXT_BGRX;
#else
    info->in_color_space = JCS_EXT_XRGB;
#endif
    info->input_components = 4;
    jpeg_set_defaults(info);
    jpeg_set_quality(info, quality, TRUE);
    info->optimize_coding = TRUE;
    if (quality >= 90) {
        // Full colour resolution: a small, saturated icon loses its edges to 4:2:0.
        for (int c = 0; c < info->num_components; ++c)
            info->comp_info[c].h_samp_factor = info->comp_info[c].v_samp_factor = 1;
    }
    jpeg_start_compress(info, TRUE);
    if (!profile.isEmpty())
        jpeg_write_icc_profile(info, reinterpret_cast<const JOCTET*>(profile.constData()), unsigned(profile.size()));
    while (info->next_scanline < info->image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(rgb.constScanLine(int(info->next_scanline)));
        jpeg_write_scanlines(info, &row, 1);
    }
    jpeg_finish_compress(info);
    jpeg_destroy_compress(info);
    return true;
}

std::optional<QByteArray> jpeg(const QImage& rgb, int quality)
{
    jpeg_compress_struct info{};
    JpegErrors errors{};
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    const bool done = compressJpeg(&info, &errors, rgb, quality < 0 ? 90 : std::clamp(quality, 1, 100), &buffer, &size,
                                   SrgbIccProfile());
    std::optional<QByteArray> out;
    if (done && buffer)
        out = QByteArray(reinterpret_cast<const char*>(buffer), qsizetype(size));
    std::free(buffer);
    return out;
}

bool isOneOf(const QByteArray& format, std::initializer_list<const char*> names)
{
    for (const char* name : names)
        if (format == name)
            return true;
    return false;
}

} // namespace

bool FormatKeepsAlpha(const QByteArray& writerFormat)
{
    const QByteArray f = writerFormat.toLower();
    return isOneOf(f, {"png", "tif", "tiff", "webp", "ico", "cur", "icns", "tga", "jp2", "j2k", "heic", "heif", "avif",
                       "jxl", "exr", "dds", "psd", "gif", "svg"});
}

std::optional<QByteArray> EncodePicture(const QImage& source, const QByteArray& writerFormat, int quality,
                                        const BackgroundColor& background, QString* error)
{
    auto fail = [error](const QString& why) -> std::optional<QByteArray> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    if (source.isNull())
        return fail(QCoreApplication::translate("Picture", "there is no picture to write"));
    const QByteArray format = writerFormat.toLower();
    QImage picture = FormatKeepsAlpha(format) ? source : flattened(source, background);
    if (picture.isNull())
        return fail(QCoreApplication::translate("Picture", "out of memory"));
    picture.setColorSpace(QColorSpace::SRgb);

    std::optional<QByteArray> encoded;
    if (format == "icns") {
        // Our own codec, whose files every reader takes; the format holds
        // only the sizes of its slots.
        static const QList<int> kSlots{16, 32, 48, 64, 128, 256, 512, 1024};
        if (picture.width() != picture.height() || !kSlots.contains(picture.width()))
            return fail(
                QCoreApplication::translate("Picture",
                                            "an icon file holds only pictures of 16, 32, 48, 64, 128, 256, 512 or 1024 "
                                            "pixels, not %1 x %2")
                    .arg(picture.width())
                    .arg(picture.height()));
        icns::IconFamily::WriteOptions options;
        options.legacy48 = true;
        options.legacy128 = true;
        encoded = icns::IconFamily::fromImages({{picture.width(), picture}}, options).toIcns();
    } else if (format == "wbmp") {
        encoded = wbmp(picture);
    } else if (format == "jpeg" || format == "jpg") {
        encoded = jpeg(picture, quality);
        if (!encoded)
            return fail(QCoreApplication::translate("Picture", "the JPEG encoder failed"));
    } else {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, writerFormat);
        if (quality >= 0)
            writer.setQuality(quality);
        if (format == "tiff" || format == "tif")
            writer.setCompression(1); // LZW: lossless and much smaller
        if (!writer.canWrite() || !writer.write(picture))
            return fail(writer.errorString());
        encoded = std::move(bytes);
    }
    // A writer that reports success with a file no reader opens is a failure
    // the user must hear of, not an output.
    if (QImageReader::supportedImageFormats().contains(format)) {
        QBuffer check(&*encoded);
        check.open(QIODevice::ReadOnly);
        QImageReader reader(&check, format);
        if (!reader.canRead() || reader.read().size() != source.size())
            return fail(
                QCoreApplication::translate("Picture", "what the writer made does not read back as a %1 x %2 picture")
                    .arg(source.width())
                    .arg(source.height()));
    }
    return encoded;
}

} // namespace pictomat
