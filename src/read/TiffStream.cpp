#include "read/PictureStreams.h"

#include "files/SharedLibrary.h"
#include "read/ReaderLibraries.h"
#include "read/Log.h"

#include <QIODevice>

#include <tiffio.h>

#include <algorithm>
#include <memory>

namespace pictomat {

namespace {

// libtiff and the codecs behind it are opened when a TIFF is read, not at
// every start of the program.
struct TiffLibrary {
    PICTOMAT_LIBRARY_TABLE(PICTOMAT_TIFF_FUNCTIONS)
};

// Damaged files are ordinary input here: what libtiff says of them is for
// the log, never the terminal.
void tiffMessage(const char* module, const char* format, va_list arguments)
{
    if (lcRead().isDebugEnabled())
        qCDebug(lcRead, "libtiff: %s: %s", module ? module : "", qUtf8Printable(QString::vasprintf(format, arguments)));
}

const TiffLibrary* tiffLibrary()
{
    static const TiffLibrary* const library = [] {
        const TiffLibrary* l = LoadLibrary<TiffLibrary>(PICTOMAT_LIBRARY_TIFF);
        if (l) {
            l->TIFFSetErrorHandler(tiffMessage);
            l->TIFFSetWarningHandler(tiffMessage);
        }
        return l;
    }();
    return library;
}

tsize_t readDevice(thandle_t handle, tdata_t buffer, tsize_t size)
{
    return tsize_t(static_cast<QIODevice*>(handle)->read(static_cast<char*>(buffer), qint64(size)));
}

tsize_t writeNothing(thandle_t, tdata_t, tsize_t)
{
    return -1;
}

toff_t seekDevice(thandle_t handle, toff_t offset, int whence)
{
    auto* device = static_cast<QIODevice*>(handle);
    qint64 to = qint64(offset);
    if (whence == SEEK_CUR)
        to += device->pos();
    else if (whence == SEEK_END)
        to += device->size();
    return device->seek(to) ? toff_t(to) : toff_t(-1);
}

int closeNothing(thandle_t)
{
    return 0;
}

toff_t sizeOfDevice(thandle_t handle)
{
    return toff_t(static_cast<QIODevice*>(handle)->size());
}

int mapNothing(thandle_t, tdata_t*, toff_t*)
{
    return 0;
}

void unmapNothing(thandle_t, tdata_t, toff_t) { }

} // namespace

std::optional<PictureResult> DecodeTiff(QIODevice& device, const PictureTarget& target)
{
    const TiffLibrary* tiff = tiffLibrary();
    if (!tiff)
        return std::nullopt;
    const auto closer = [tiff](TIFF* t) { tiff->TIFFClose(t); };
    const std::unique_ptr<TIFF, decltype(closer)> file(tiff->TIFFClientOpen("picture", "rm", &device, readDevice,
                                                                            writeNothing, seekDevice, closeNothing,
                                                                            sizeOfDevice, mapNothing, unmapNothing),
                                                       closer);
    if (!file)
        return PictureFailure(PictureStatus::Damaged);
    uint32_t width = 0, height = 0;
    if (!tiff->TIFFGetField(file.get(), TIFFTAG_IMAGEWIDTH, &width)
        || !tiff->TIFFGetField(file.get(), TIFFTAG_IMAGELENGTH, &height) || width == 0 || height == 0)
        return PictureFailure(PictureStatus::Damaged);
    if (qint64(width) * qint64(height) > kMaxPicturePixels || width > (1u << 20) || height > (1u << 20))
        return PictureFailure(PictureStatus::TooLarge);
    char message[1024] = {};
    if (!tiff->TIFFRGBAImageOK(file.get(), message))
        return std::nullopt; // a layout the RGBA reader does not take: Qt's reader decodes it whole
    TIFFRGBAImage image{};
    if (!tiff->TIFFRGBAImageBegin(&image, file.get(), 0, message))
        return PictureFailure(PictureStatus::Damaged);
    const auto ender = [tiff](TIFFRGBAImage* i) { tiff->TIFFRGBAImageEnd(i); };
    const std::unique_ptr<TIFFRGBAImage, decltype(ender)> ending(&image, ender);
    image.req_orientation = ORIENTATION_TOPLEFT;

    const QSize natural{int(width), int(height)};
    const QSize want = OnLoadSize(natural, WantedPictureSize(target, natural));
    BoxShrinker shrinker(natural.width(), natural.height(), ShrinkFactor(natural, want));
    QByteArray icc;
    uint32_t profileLength = 0;
    void* profile = nullptr;
    if (tiff->TIFFGetField(file.get(), TIFFTAG_ICCPROFILE, &profileLength, &profile) && profile)
        icc = QByteArray(static_cast<const char*>(profile), qsizetype(profileLength));
    // Rows are read a band at a time; only one band is ever held.
    constexpr uint32_t kBandRows = 64;
    std::vector<uint32_t> band(size_t(width) * kBandRows);
    std::vector<QRgb> row(width);
    for (uint32_t top = 0; top < height; top += kBandRows) {
        const uint32_t rows = std::min(kBandRows, height - top);
        image.row_offset = int(top);
        image.col_offset = 0;
        if (!tiff->TIFFRGBAImageGet(&image, band.data(), width, rows))
            return PictureFailure(PictureStatus::Damaged);
        // Top row first (as asked above), premultiplied, as A B G R in one word.
        for (uint32_t r = 0; r < rows; ++r) {
            const uint32_t* in = band.data() + size_t(r) * width;
            for (uint32_t x = 0; x < width; ++x)
                row[x] = qUnpremultiply(
                    qRgba(int(TIFFGetR(in[x])), int(TIFFGetG(in[x])), int(TIFFGetB(in[x])), int(TIFFGetA(in[x]))));
            shrinker.addRow(row.data());
        }
    }
    PictureResult result = PictureDecoded(shrinker.result(), natural);
    result.iccProfile = icc;
    return result;
}

} // namespace pictomat
