#pragma once

// Windows icon files (.ico, and .cur cursors, which share the layout): a
// directory of pictures, each a PNG file or a headerless BMP ("DIB") of 1,
// 4, 8, 16, 24 or 32 bits per pixel followed by a 1-bit AND mask. Bytes in,
// bytes out: no file I/O here.

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QStringList>
#include <QVector>

#include <optional>

namespace pictomat::ico {

// The largest icon file worth reading. Windows' own icons are well under a
// megabyte; ten sizes with a 1024-pixel PNG are a few.
inline constexpr qint64 kMaxIcoFileSize = 32LL * 1024 * 1024;
// The most pictures a file may list. Windows' richest icons hold every size
// at three depths, fewer than forty; a file that lists more is made to cost
// time, not to show an icon.
inline constexpr int kMaxEntries = 256;
// The largest edge a picture may declare before it is refused: the format's
// directory stops at 256, and PNG pictures past 1024 are no icons.
inline constexpr int kMaxEdge = 1024;
// The most pixels all pictures of a file may declare together; pictures past
// it are left out. Ten sizes with a 1024-pixel PNG declare 1.2 million.
inline constexpr qint64 kMaxTotalPixels = 16LL * 1024 * 1024;

enum class Format { Bitmap, Png };

// One picture as the file describes it, found without decoding it.
struct Entry {
    Format format = Format::Bitmap;
    int width = 0; // from the picture's own header
    int height = 0;
    int depth = 0;     // bits per pixel
    int colours = 0;   // palette entries of a bitmap of 8 bits or fewer, else 0
    bool mask = false; // a bitmap followed by its AND mask
    qsizetype offset = 0;
    qsizetype bytes = 0;
};

class IcoFile {
public:
    // Parses .ico or .cur bytes. Never reads outside the input; every
    // picture's place and size, and every dimension and palette it declares,
    // is checked against the bytes there before it is listed. A picture that
    // fails, or comes past kMaxTotalPixels, is left out and the rest are
    // kept; the error tells of it.
    // Nothing when the header is no icon header, it lists more than
    // kMaxEntries pictures, or no picture is whole.
    static std::optional<IcoFile> parse(const QByteArray& bytes, QString* error = nullptr);

    bool isCursor() const { return m_cursor; }
    const QVector<Entry>& entries() const { return m_entries; }
    // The entry's picture as ARGB32 (not premultiplied); null when it does
    // not decode. A bitmap's alpha is its own when it has one (32 bits with
    // any alpha set), else its AND mask's, else opaque.
    QImage image(qsizetype index) const;
    // The entry's bytes as stored.
    QByteArray payload(qsizetype index) const;

private:
    QByteArray m_bytes;
    QVector<Entry> m_entries;
    bool m_cursor = false;
};

// A picture to write: its pixels, and the PNG file to store as it is when
// the picture goes in as PNG (it must show the same pixels).
struct IcoImage {
    QImage image;
    QByteArray png;
};

// The bytes of an .ico holding the pictures, smallest first, as Windows
// writes them: pictures under 256 pixels as 32-bit bitmaps with alpha and
// the AND mask older readers go by, pictures of 256 pixels and more as PNG.
// Empty when there are none or more than kMaxEntries, or one is null or
// larger than kMaxEdge.
QByteArray WriteIco(const QVector<IcoImage>& images);

// A picture as the bytes of a PNG file, under a file name without folder.
struct NamedPng {
    QByteArray name;
    QByteArray png;
};

// Every picture of the file as PNG, named by size and depth
// ("16x16-32bit.png", a second of the same "16x16-32bit-2.png"). PNG
// pictures are kept as stored. The ones that do not decode are told of in
// skipped.
QVector<NamedPng> PicturesAsPng(const IcoFile& file, QStringList* skipped = nullptr);

// What a listing says of an entry: "bitmap + mask", "bitmap", "PNG".
QString StorageOf(const Entry& entry);

} // namespace pictomat::ico
