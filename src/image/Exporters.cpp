#include "image/Exporters.h"

#include <QImageWriter>
#include <QMimeDatabase>

#include <cstring>

namespace pictomat {

namespace {

struct KnownFormat {
    const char* writerFormat;
    const char* code;        // four characters, stored order
    const char* description; // short format name shown in the menu
};

// The type codes other programs know these formats by, and their short names.
constexpr KnownFormat kKnownFormats[] = {
    {"png", "PNGf", "PNG"},     {"jpeg", "JPEG", "JPEG"},      {"jpg", "JPEG", "JPEG"},    {"tiff", "TIFF", "TIFF"},
    {"tif", "TIFF", "TIFF"},    {"bmp", "BMPf", "BMP"},        {"gif", "GIFf", "GIF"},     {"webp", "WEBP", "WebP"},
    {"icns", "icns", "ICNS"},   {"ico", "ICO ", "ICO"},        {"cur", "CUR ", "CUR"},     {"tga", "TPIC", "TGA"},
    {"pbm", "PBMf", "PBM"},     {"pgm", "PGMf", "PGM"},        {"ppm", "PPMf", "PPM"},     {"jp2", "jp2 ", "JPEG 2000"},
    {"xbm", "XBM ", "XBM"},     {"xpm", "XPM ", "XPM"},        {"wbmp", "WBMP", "WBMP"},   {"svg", "svg ", "SVG"},
    {"heic", "heic", "HEIC"},   {"avif", "avif", "AVIF"},      {"jxl", "jxl ", "JPEG XL"}, {"psd", "8BPS", "Photoshop"},
    {"pcx", "PCX ", "PCX"},     {"ras", "SUNI", "Sun Raster"}, {"sgi", ".SGI", "SGI"},     {"rgb", ".SGI", "SGI"},
    {"exr", "EXR ", "OpenEXR"}, {"dds", "DDS ", "DDS"},
};

const KnownFormat* findKnown(const QByteArray& writerFormat)
{
    for (const KnownFormat& k : kKnownFormats) {
        if (writerFormat == k.writerFormat)
            return &k;
    }
    return nullptr;
}

void setTypeCode(ExporterInfo& info, const char* fourChars)
{
    std::memcpy(info.typeChars, fourChars, 4);
    info.typeChars[4] = '\0';
    info.fileType = (uint32_t(uint8_t(fourChars[0])) << 24) | (uint32_t(uint8_t(fourChars[1])) << 16)
                    | (uint32_t(uint8_t(fourChars[2])) << 8) | uint32_t(uint8_t(fourChars[3]));
    info.typeString = QString::fromLatin1(info.typeChars, 4);
}

// A format nobody has given a code: its first four letters in upper case,
// padded with spaces.
QByteArray inventedCode(const QByteArray& writerFormat)
{
    QByteArray code = writerFormat.toUpper().left(4);
    while (code.size() < 4)
        code.append(' ');
    return code;
}

ExporterInfo makeInfo(const QByteArray& mimeType, const QByteArray& writerFormat)
{
    ExporterInfo info;
    info.writerFormat = writerFormat;
    info.mimeString = QString::fromLatin1(mimeType);

    const KnownFormat* known = findKnown(writerFormat);
    if (known) {
        setTypeCode(info, known->code);
        info.descriptionString = QString::fromLatin1(known->description);
    } else {
        setTypeCode(info, inventedCode(writerFormat).constData());
        info.descriptionString = QString::fromLatin1(writerFormat.toUpper());
    }

    const QMimeType mime = QMimeDatabase().mimeTypeForName(info.mimeString);
    QString extension = mime.isValid() ? mime.preferredSuffix() : QString();
    if (extension.isEmpty())
        extension = QString::fromLatin1(writerFormat);
    info.extensionString = extension;
    return info;
}

} // namespace

GraphicsLayer::GraphicsLayer()
    : load([] { return !QImageWriter::supportedImageFormats().isEmpty(); }),
      writerMimeTypes([] { return QImageWriter::supportedMimeTypes(); })
{
}

ExporterList LoadExporterList(const DiagnosticOutput& output, const GraphicsLayer& layer)
{
    ExporterList list;
    for (const QByteArray& mimeType : layer.writerMimeTypes()) {
        const QList<QByteArray> formats = QImageWriter::imageFormatsForMimeType(mimeType);
        if (formats.isEmpty())
            continue;
        list.append(makeInfo(mimeType, formats.first()));
    }
    if (list.isEmpty())
        return list;

    output(QByteArray("Pictomat: Loading ") + QByteArray::number(list.size()) + " Quicktime exporters");
    for (qsizetype i = 0; i < list.size(); ++i)
        output(".");
    output("\nPictomat: Quicktime exporters successfully loaded.\n");
    return list;
}

const ExporterInfo* MatchExporterExtension(const ExporterList& list, const QString& extension)
{
    const ExporterInfo* found = nullptr;
    for (const ExporterInfo& info : list) {
        if (info.extensionString.compare(extension, Qt::CaseInsensitive) == 0)
            found = &info; // the last match in list order wins
    }
    return found;
}

bool FindExporterTypeForExtension(const DiagnosticOutput& output, const QString& extension, uint32_t* fileType,
                                  ExporterInfo* info, const GraphicsLayer& layer)
{
    const ExporterList list = LoadExporterList(output, layer);
    const ExporterInfo* found = MatchExporterExtension(list, extension);
    if (!found)
        return false;
    if (fileType)
        *fileType = found->fileType;
    if (info)
        *info = *found;
    return true;
}

bool LoadGraphicsLayer(const GraphicsLayer& layer)
{
    return layer.load();
}

} // namespace pictomat
