#include "read/Sniff.h"

#include <QByteArrayView>
#include <QtEndian>

#include <algorithm>
#include <cstring>

namespace pictomat {

namespace {

bool startsWith(const QByteArray& head, const char* magic, qsizetype length)
{
    return head.size() >= length && std::memcmp(head.constData(), magic, size_t(length)) == 0;
}

QByteArray extensionOf(const QByteArray& name)
{
    const qsizetype slash = name.lastIndexOf('/');
    const qsizetype dot = name.lastIndexOf('.');
    return dot > slash + 1 ? name.mid(dot + 1).toLower() : QByteArray();
}

// HEIF and AVIF: an ISO media file whose first box names a still-image brand.
// Movies (MP4, QuickTime) name others.
QByteArray heifFormat(const QByteArray& head)
{
    if (head.size() < 16 || head.mid(4, 4) != "ftyp")
        return {};
    const qint64 boxSize = qFromBigEndian<quint32>(head.constData());
    QByteArray format;
    for (qsizetype at = 8; at + 4 <= std::min<qint64>(head.size(), boxSize); at += at == 8 ? 8 : 4) {
        const QByteArray brand = head.mid(at, 4);
        if (brand == "avif")
            return "avif";
        if (brand == "heic" || brand == "heix" || brand == "heim" || brand == "heis")
            format = "heic";
        else if ((brand == "mif1" || brand == "mif2") && format.isEmpty())
            format = "heif";
    }
    return format;
}

bool looksLikeSvgText(const QByteArray& head)
{
    const QByteArray text = head.trimmed();
    if (!text.startsWith('<'))
        return false;
    return text.contains("<svg") || text.startsWith("<?xml") || text.startsWith("<!DOCTYPE svg");
}

} // namespace

QByteArray SniffPictureFormat(const QByteArray& head, const QByteArray& name)
{
    if (startsWith(head, "\x89PNG\r\n\x1a\n", 8))
        return "png";
    if (startsWith(head, "\xff\xd8\xff", 3))
        return "jpeg";
    if (startsWith(head, "GIF87a", 6) || startsWith(head, "GIF89a", 6))
        return "gif";
    if (startsWith(head, "RIFF", 4) && head.size() >= 12 && head.mid(8, 4) == "WEBP")
        return "webp";
    if (startsWith(head, "II*\0", 4) || startsWith(head, "MM\0*", 4))
        return "tiff";
    if (startsWith(head, "\x8aMNG\r\n\x1a\n", 8))
        return "mng";
    if (startsWith(head, "BM", 2) && head.size() >= 26)
        return "bmp";
    // ICO and CUR: reserved 0, type 1 or 2, at least one image.
    if (head.size() >= 6 && head[0] == 0 && head[1] == 0 && (head[2] == 1 || head[2] == 2) && head[3] == 0
        && (head[4] != 0 || head[5] != 0))
        return "ico";
    if (head.size() >= 3 && head[0] == 'P' && head[1] >= '1' && head[1] <= '6'
        && QByteArrayView(" \t\r\n#").contains(head[2]))
        return head[1] == '1' || head[1] == '4' ? "pbm" : head[1] == '2' || head[1] == '5' ? "pgm" : "ppm";
    if (head.startsWith("/* XPM */"))
        return "xpm";
    if (head.startsWith("#define ") && head.contains("_width"))
        return "xbm";
    if (QByteArray heif = heifFormat(head); !heif.isEmpty())
        return heif;
    // Adobe Illustrator's files are PDF too, unless they are PostScript.
    if (head.startsWith("%PDF-"))
        return "pdf";
    if (startsWith(head, "\x1f\x8b", 2))
        return "svgz"; // whether it is SVG shows once inflated
    if (looksLikeSvgText(head))
        return "svg";
    // Formats without a signature are known by their name alone.
    const QByteArray extension = extensionOf(name);
    if (extension == "tga" || extension == "wbmp")
        return extension;
    return {};
}

bool IsHeifFormat(const QByteArray& format)
{
    return format == "heic" || format == "heif" || format == "avif";
}

bool IsDrawingFormat(const QByteArray& format)
{
    return format == "svg" || format == "svgz" || format == "pdf";
}

Sniffed SniffContent(const QByteArray& head, const QByteArray& name)
{
    if (head.startsWith("icns"))
        return {Content::IconFamily, {}};
    QByteArray format = SniffPictureFormat(head, name);
    if (format.isEmpty())
        return {};
    const Content content = IsDrawingFormat(format) ? Content::Drawing : Content::Picture;
    return {content, std::move(format)};
}

} // namespace pictomat
