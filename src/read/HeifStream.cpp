#include "read/PictureStreams.h"

#include "files/SharedLibrary.h"
#include "read/ReaderLibraries.h"
#include "checks/HeifCheck.h"

#include <QColorSpace>
#include <QIODevice>

#include <libheif/heif.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace pictomat {

namespace {

// libheif and the HEVC and AV1 decoders behind it are opened when a HEIF or
// AVIF picture is read: linked, they would add a fifth to every start of the
// program.
struct HeifLibrary {
    PICTOMAT_LIBRARY_TABLE(PICTOMAT_HEIF_FUNCTIONS)
};

const HeifLibrary* heifLibrary()
{
    return LoadLibrary<HeifLibrary>(PICTOMAT_LIBRARY_HEIF);
}

// libheif reads the boxes it needs from the device, never the whole file at once.
int64_t devicePosition(void* device)
{
    return static_cast<QIODevice*>(device)->pos();
}

int readDevice(void* data, size_t size, void* device)
{
    return static_cast<QIODevice*>(device)->read(static_cast<char*>(data), qint64(size)) == qint64(size) ? 0 : -1;
}

int seekDevice(int64_t position, void* device)
{
    return static_cast<QIODevice*>(device)->seek(position) ? 0 : -1;
}

heif_reader_grow_status deviceHolds(int64_t size, void* device)
{
    return size <= static_cast<QIODevice*>(device)->size() ? heif_reader_grow_status_size_reached
                                                           : heif_reader_grow_status_size_beyond_eof;
}

const heif_reader kDeviceReader{1, devicePosition, readDevice, seekDevice, deviceHolds};

// A file's context and primary picture, released together.
struct HeifFile {
    const HeifLibrary* lib = nullptr;
    heif_context* context = nullptr;
    heif_image_handle* primary = nullptr;
    QSize natural; // as shown: rotation, mirroring and cropping applied
    ~HeifFile()
    {
        if (primary)
            lib->heif_image_handle_release(primary);
        if (context)
            lib->heif_context_free(context);
    }
};

PictureStatus openHeif(QIODevice& device, HeifFile& file)
{
    file.lib = heifLibrary();
    if (!file.lib)
        return PictureStatus::NotAPicture;
    // libheif cannot be stopped once it reads: the boxes are looked at first.
    if (const PictureStatus checked = CheckStructure(
            device, "HEIF",
            [](const ByteSource& bytes, Error* why) { return CheckHeifStructure(bytes, kMaxWholePicturePixels, why); });
        checked != PictureStatus::Decoded)
        return checked;
    file.context = file.lib->heif_context_alloc();
    if (!file.context)
        return PictureStatus::TooLarge;
    file.lib->heif_context_set_maximum_image_size_limit(file.context, 1 << 15);
    if (file.lib->heif_context_read_from_reader(file.context, &kDeviceReader, &device, nullptr).code != heif_error_Ok
        || file.lib->heif_context_get_primary_image_handle(file.context, &file.primary).code != heif_error_Ok)
        return PictureStatus::Damaged;
    file.natural = QSize(file.lib->heif_image_handle_get_width(file.primary),
                         file.lib->heif_image_handle_get_height(file.primary));
    if (file.natural.isEmpty())
        return PictureStatus::Damaged;
    // Decoded whole: held to the limit of pictures decoded so.
    if (qint64(file.natural.width()) * file.natural.height() > kMaxWholePicturePixels)
        return PictureStatus::TooLarge;
    return PictureStatus::Decoded;
}

// The ICC profile the picture carries, or one made from its colour
// primaries for the wide-gamut pictures that state only those (the
// standard's sRGB needs none).
QByteArray colourProfileOf(const HeifLibrary* lib, const heif_image_handle* handle)
{
    const heif_color_profile_type type = lib->heif_image_handle_get_color_profile_type(handle);
    if (type == heif_color_profile_type_prof || type == heif_color_profile_type_rICC) {
        QByteArray icc(qsizetype(lib->heif_image_handle_get_raw_color_profile_size(handle)), Qt::Uninitialized);
        if (icc.isEmpty() || lib->heif_image_handle_get_raw_color_profile(handle, icc.data()).code != heif_error_Ok)
            return {};
        return icc;
    }
    heif_color_profile_nclx* nclx = nullptr;
    if (lib->heif_image_handle_get_nclx_color_profile(handle, &nclx).code != heif_error_Ok || !nclx)
        return {};
    const QPointF white(nclx->color_primary_white_x, nclx->color_primary_white_y);
    const QPointF red(nclx->color_primary_red_x, nclx->color_primary_red_y);
    const QPointF green(nclx->color_primary_green_x, nclx->color_primary_green_y);
    const QPointF blue(nclx->color_primary_blue_x, nclx->color_primary_blue_y);
    const bool wide = nclx->color_primaries == heif_color_primaries_SMPTE_EG_432_1
                      || nclx->color_primaries == heif_color_primaries_ITU_R_BT_2020_2_and_2100_0;
    const bool linear = nclx->transfer_characteristics == heif_transfer_characteristic_linear;
    lib->heif_nclx_color_profile_free(nclx);
    if (!wide)
        return {};
    // Television's transfer curves are near enough to sRGB's for an icon;
    // PQ and HLG pictures are left as they are.
    return QColorSpace(white, red, green, blue,
                       linear ? QColorSpace::TransferFunction::Linear : QColorSpace::TransferFunction::SRgb)
        .iccProfile();
}

// The thumbnail a camera stored, where it is the same picture at no less
// than the size a decoder keeps for the reducer: the same aspect within two
// pixels (writers round it to even sizes) and the same transparency. Null
// otherwise.
heif_image_handle* faithfulThumbnail(const HeifFile& file, QSize need)
{
    const HeifLibrary* lib = file.lib;
    const int count = std::min(lib->heif_image_handle_get_number_of_thumbnails(file.primary), 8);
    heif_item_id ids[8] = {};
    lib->heif_image_handle_get_list_of_thumbnail_IDs(file.primary, ids, count);
    heif_image_handle* best = nullptr;
    for (int i = 0; i < count; ++i) {
        heif_image_handle* thumb = nullptr;
        if (lib->heif_image_handle_get_thumbnail(file.primary, ids[i], &thumb).code != heif_error_Ok || !thumb)
            continue;
        const QSize size(lib->heif_image_handle_get_width(thumb), lib->heif_image_handle_get_height(thumb));
        const qint64 skew = qint64(size.width()) * file.natural.height() - qint64(size.height()) * file.natural.width();
        const bool fits = size.width() >= need.width() && size.height() >= need.height()
                          && std::abs(skew) <= 2 * qint64(std::max(file.natural.width(), file.natural.height()))
                          && lib->heif_image_handle_has_alpha_channel(thumb)
                                 == lib->heif_image_handle_has_alpha_channel(file.primary);
        if (fits && (!best || size.width() < lib->heif_image_handle_get_width(best)))
            std::swap(best, thumb);
        if (thumb)
            lib->heif_image_handle_release(thumb);
    }
    return best;
}

} // namespace

QSize HeifPictureSize(QIODevice& device)
{
    HeifFile file;
    return openHeif(device, file) == PictureStatus::Decoded ? file.natural : QSize();
}

PictureResult DecodeHeif(QIODevice& device, const PictureTarget& target)
{
    HeifFile file;
    if (const PictureStatus opened = openHeif(device, file); opened != PictureStatus::Decoded)
        return PictureFailure(opened);
    const HeifLibrary* lib = file.lib;
    const QSize want = OnLoadSize(file.natural, WantedPictureSize(target, file.natural));
    const std::unique_ptr<heif_image_handle, decltype(lib->heif_image_handle_release)> thumbnail(
        faithfulThumbnail(file, want), lib->heif_image_handle_release);
    const heif_image_handle* source = thumbnail ? thumbnail.get() : file.primary;

    const bool alpha = lib->heif_image_handle_has_alpha_channel(source);
    const bool premultiplied = alpha && lib->heif_image_handle_is_premultiplied_alpha(source);
    const std::unique_ptr<heif_decoding_options, decltype(lib->heif_decoding_options_free)> options(
        lib->heif_decoding_options_alloc(), lib->heif_decoding_options_free);
    if (!options)
        return PictureFailure(PictureStatus::TooLarge);
    // Deeper pictures come out in 8 bits; rotation and mirroring are applied.
    options->convert_hdr_to_8bit = 1;
    // AV1 through libaom, which tells damage to us alone (dav1d prints it on
    // the terminal); libheif takes its own choice for HEVC, or where libaom
    // is missing.
    options->decoder_id = "aom";
    heif_image* decoded = nullptr;
    if (lib->heif_decode_image(source, &decoded, heif_colorspace_RGB,
                               alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, options.get())
                .code
            != heif_error_Ok
        || !decoded)
        return PictureFailure(PictureStatus::Damaged);
    const std::unique_ptr<heif_image, decltype(lib->heif_image_release)> image(decoded, lib->heif_image_release);
    int stride = 0;
    const uint8_t* pixels = lib->heif_image_get_plane_readonly(decoded, heif_channel_interleaved, &stride);
    // The decoded plane's own size: a damaged file's may differ from what its header says.
    const QSize size(lib->heif_image_get_width(decoded, heif_channel_interleaved),
                     lib->heif_image_get_height(decoded, heif_channel_interleaved));
    if (!pixels || size.isEmpty() || stride < size.width() * (alpha ? 4 : 3))
        return PictureFailure(PictureStatus::Damaged);

    BoxShrinker shrinker(size.width(), size.height(), ShrinkFactor(size, want));
    std::vector<QRgb> row(size_t(size.width()));
    for (int y = 0; y < size.height(); ++y) {
        const uint8_t* in = pixels + qsizetype(y) * stride;
        for (int x = 0; x < size.width(); ++x, in += alpha ? 4 : 3) {
            const QRgb pixel = qRgba(in[0], in[1], in[2], alpha ? in[3] : 255);
            row[size_t(x)] = premultiplied ? qUnpremultiply(pixel) : pixel;
        }
        shrinker.addRow(row.data());
    }
    PictureResult result = PictureDecoded(shrinker.result(), file.natural);
    result.iccProfile = colourProfileOf(lib, file.primary);
    return result;
}

} // namespace pictomat
