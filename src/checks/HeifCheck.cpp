#include "checks/HeifCheck.h"

#include "checks/CodedSize.h"
#include "checks/HeifBoxes.h"

#include <algorithm>
#include <optional>
#include <unordered_map>
#include <vector>

// libheif reads every box of a file into a tree by recursion, looks up each
// item's properties and references by walking lists (so its time grows with
// the square of the items), allocates a grid's or overlay's canvas at the
// size its data states, and hands the decoder whatever sequence header the
// stream carries. Before it sees a file, the boxes are walked here once,
// without recursion, and each picture it may decode is measured from the
// file's own statements.

namespace pictomat {

namespace {

using heif::Extent;
using heif::FourCC;
using heif::Location;
using heif::Reader;
using heif::Reference;

// Derived pictures (a grid, an overlay, an identity) over derived pictures.
constexpr int kMaxDerivationDepth = 4;
// The most pixels one byte of coded data can stand for. HEVC codes a
// picture of one flat colour in about eight bits for each 64 x 64 block
// (x265: 64 megapixels in 14.5 KB), AV1 in about a bit and a half for each
// 128 x 128 one (libaom: 720 bytes); these allow half a bit, and a quarter.
constexpr qint64 kHevcPixelsPerByte = 64 * 64 * 16;
constexpr qint64 kOtherPixelsPerByte = 128 * 128 * 32;

// What one picture costs to decode, summed over the pictures it is made of.
struct Tally {
    int decodes = 0;
    // The coded data of every picture decoded, in the file and in idat.
    std::vector<Extent> extents;
    std::vector<Extent> idatExtents;
    qint64 pixelsPerByte = kHevcPixelsPerByte;
};

class Checker : Finding {
public:
    Checker(const ByteSource& file, qint64 maxPixels) : m_file(file), m_maxPixels(maxPixels) { }

    Soundness run(Error* why)
    {
        QString reason;
        Soundness verdict = heif::ReadBoxes(m_file, &m_boxes, &reason);
        if (verdict == Soundness::Sound)
            verdict = pictures();
        else
            m_why = reason;
        if (verdict != Soundness::Sound)
            SetError(why, m_why);
        return verdict;
    }

private:
    std::optional<CodedSize> spatialExtent(uint32_t id) const
    {
        const std::optional<QByteArrayView> ispe = m_boxes.property(id, FourCC("ispe"));
        if (!ispe)
            return std::nullopt;
        Reader r(*ispe);
        r.skip(4);
        const CodedSize size{r.u32(), r.u32()};
        return r.ok() ? std::optional(size) : std::nullopt;
    }

    bool isAlpha(uint32_t id) const
    {
        const std::optional<QByteArrayView> auxC = m_boxes.property(id, FourCC("auxC"));
        if (!auxC || auxC->size() < 4)
            return false;
        const QByteArrayView type = auxC->sliced(4);
        return type.startsWith("urn:mpeg:hevc:2015:auxid:1")
               || type.startsWith("urn:mpeg:mpegB:cicp:systems:auxiliary:alpha");
    }

    // The pictures libheif may decode for us: the primary one, the
    // thumbnails stored for it, and its transparency.
    Soundness pictures()
    {
        if (!m_boxes.hasPrimary || !m_boxes.items.count(m_boxes.primary))
            return damaged(QStringLiteral("the file names no primary picture it holds"));
        std::vector<uint32_t> wanted{m_boxes.primary};
        for (const Reference& reference : m_boxes.references) {
            if (std::find(reference.to.begin(), reference.to.end(), m_boxes.primary) == reference.to.end())
                continue;
            if (reference.type == FourCC("thmb") || (reference.type == FourCC("auxl") && isAlpha(reference.from)))
                wanted.push_back(reference.from);
        }
        for (const uint32_t id : wanted) {
            Tally tally;
            std::optional<CodedSize> canvas;
            if (const Soundness s = picture(id, 0, tally, &canvas); s != Soundness::Sound)
                return s;
            const qint64 bytes = distinctBytes(tally.extents) + distinctBytes(tally.idatExtents);
            if (canvas && canvas->pixels() / tally.pixelsPerByte > bytes)
                return tooLarge(QStringLiteral("a picture of %1 x %2 pixels has %3 bytes of data")
                                    .arg(canvas->width)
                                    .arg(canvas->height)
                                    .arg(bytes));
        }
        return Soundness::Sound;
    }

    // One picture and those it is made of. *canvas is the size it is
    // decoded at, as far as the file says.
    Soundness picture(uint32_t id, int depth, Tally& tally, std::optional<CodedSize>* canvas)
    {
        if (depth > kMaxDerivationDepth)
            return damaged(
                QStringLiteral("pictures made of pictures nest deeper than %1 levels").arg(kMaxDerivationDepth));
        const auto item = m_boxes.items.find(id);
        if (item == m_boxes.items.end())
            return damaged(QStringLiteral("a picture refers to item %1, which the file does not hold").arg(id));
        *canvas = spatialExtent(id);
        if (*canvas && (*canvas)->pixels() > m_maxPixels)
            return tooLarge(QStringLiteral("a picture of %1 x %2 pixels").arg((*canvas)->width).arg((*canvas)->height));
        switch (item->second) {
        case FourCC("grid"): return grid(id, depth, tally, canvas);
        case FourCC("iovl"): return overlay(id, depth, tally, canvas);
        case FourCC("iden"): {
            const std::vector<uint32_t> sources = m_boxes.referencesFrom(id, FourCC("dimg"));
            if (sources.size() != 1)
                return damaged(QStringLiteral("a derived picture names %1 sources").arg(sources.size()));
            std::optional<CodedSize> source;
            return picture(sources.front(), depth + 1, tally, *canvas ? &source : canvas);
        }
        default: return coded(id, item->second, tally, canvas);
        }
    }

    // A grid: its canvas within the limits, covered by its tiles, each tile
    // named once (a tile repeated stands for more pixels than its bytes).
    Soundness grid(uint32_t id, int depth, Tally& tally, std::optional<CodedSize>* canvas)
    {
        const std::optional<QByteArray> data = itemData(id, 12);
        if (!data)
            return damaged(QStringLiteral("a grid's description lies outside the file"));
        Reader r(*data);
        r.skip(1);
        const int fieldSize = (r.u8() & 1) ? 4 : 2;
        const uint32_t rows = r.u8() + 1, columns = r.u8() + 1;
        const CodedSize size{qint64(r.number(fieldSize)), qint64(r.number(fieldSize))};
        if (!r.ok())
            return damaged(QStringLiteral("a grid's description is cut short"));
        if (size.pixels() > m_maxPixels)
            return tooLarge(QStringLiteral("a grid of %1 x %2 pixels").arg(size.width).arg(size.height));
        *canvas = size;
        const std::vector<uint32_t> tiles = m_boxes.referencesFrom(id, FourCC("dimg"));
        if (tiles.size() != size_t(rows) * columns)
            return damaged(QStringLiteral("a grid of %1 tiles names %2").arg(rows * columns).arg(tiles.size()));
        std::vector<uint32_t> sorted = tiles;
        std::sort(sorted.begin(), sorted.end());
        if (std::adjacent_find(sorted.begin(), sorted.end()) != sorted.end())
            return tooLarge(QStringLiteral("a grid of %1 tiles repeats one of them").arg(tiles.size()));
        qint64 across = 0, down = 0;
        for (size_t i = 0; i < tiles.size(); ++i) {
            std::optional<CodedSize> tile;
            if (const Soundness s = picture(tiles[i], depth + 1, tally, &tile); s != Soundness::Sound)
                return s;
            if (!tile)
                return damaged(QStringLiteral("a grid's tile has no size"));
            across += i < columns ? tile->width : 0;
            down += i % columns == 0 ? tile->height : 0;
        }
        if (across < size.width || down < size.height)
            return tooLarge(QStringLiteral("tiles of %1 x %2 pixels in all stand for a grid of %3 x %4")
                                .arg(across)
                                .arg(down)
                                .arg(size.width)
                                .arg(size.height));
        return Soundness::Sound;
    }

    Soundness overlay(uint32_t id, int depth, Tally& tally, std::optional<CodedSize>* canvas)
    {
        const std::optional<QByteArray> data = itemData(id, 20);
        if (!data)
            return damaged(QStringLiteral("an overlay's description lies outside the file"));
        Reader r(*data);
        r.skip(1);
        const int fieldSize = (r.u8() & 1) ? 4 : 2;
        r.skip(8); // the fill colour
        const CodedSize size{qint64(r.number(fieldSize)), qint64(r.number(fieldSize))};
        if (!r.ok())
            return damaged(QStringLiteral("an overlay's description is cut short"));
        if (size.pixels() > m_maxPixels)
            return tooLarge(QStringLiteral("an overlay of %1 x %2 pixels").arg(size.width).arg(size.height));
        *canvas = size;
        for (const uint32_t layer : m_boxes.referencesFrom(id, FourCC("dimg"))) {
            std::optional<CodedSize> ignored;
            if (const Soundness s = picture(layer, depth + 1, tally, &ignored); s != Soundness::Sound)
                return s;
        }
        return Soundness::Sound;
    }

    // A picture coded by HEVC, AV1 or another codec: its data in the file,
    // the size its stream declares within the limits, and enough bytes for
    // the pixels it stands for.
    Soundness coded(uint32_t id, uint32_t type, Tally& tally, std::optional<CodedSize>* canvas)
    {
        if (++tally.decodes > kMaxHeifItems)
            return tooLarge(QStringLiteral("a picture is made of more than %1 pictures").arg(kMaxHeifItems));
        const auto location = m_boxes.locations.find(id);
        if (location == m_boxes.locations.end())
            return damaged(QStringLiteral("a picture's data is not located"));
        qint64 bytes = 0;
        for (const Extent& extent : location->second.extents) {
            if (const QString problem = outside(location->second, extent); !problem.isEmpty())
                return damaged(problem);
            bytes += extent.length;
            (location->second.method == 0 ? tally.extents : tally.idatExtents).push_back(extent);
        }
        if (bytes == 0)
            return damaged(QStringLiteral("a picture has no data"));
        const qint64 perByte = type == FourCC("hvc1") ? kHevcPixelsPerByte : kOtherPixelsPerByte;
        tally.pixelsPerByte = std::max(tally.pixelsPerByte, perByte);
        const DataReader read = [&](qint64 at, qint64 length) { return readData(location->second, at, length); };
        StreamFacts stream;
        if (type == FourCC("hvc1"))
            stream = HevcStream(m_boxes.property(id, FourCC("hvcC")).value_or(QByteArrayView()), read, bytes);
        else if (type == FourCC("av01"))
            stream = Av1Stream(m_boxes.property(id, FourCC("av1C")).value_or(QByteArrayView()), read, bytes);
        if (stream.units > kMaxStreamUnits)
            return tooLarge(QStringLiteral("a picture's stream holds more than %1 units").arg(kMaxStreamUnits));
        const std::optional<CodedSize>& declared = stream.size;
        if (declared && declared->pixels() > m_maxPixels)
            return tooLarge(QStringLiteral("a picture's stream declares %1 x %2 pixels")
                                .arg(declared->width)
                                .arg(declared->height));
        // The stream's size is the box's, padded to whole coding blocks; a
        // stream that is far larger decodes what no box shows.
        if (declared && *canvas
            && (declared->width > 2 * (*canvas)->width + 64 || declared->height > 2 * (*canvas)->height + 64))
            return tooLarge(QStringLiteral("a picture of %1 x %2 pixels has a stream of %3 x %4")
                                .arg((*canvas)->width)
                                .arg((*canvas)->height)
                                .arg(declared->width)
                                .arg(declared->height));
        const qint64 pixels = std::max(declared ? declared->pixels() : 0, *canvas ? (*canvas)->pixels() : 0);
        if (pixels / perByte > bytes)
            return tooLarge(QStringLiteral("a picture of %1 pixels has %2 bytes of data").arg(pixels).arg(bytes));
        if (!*canvas)
            *canvas = declared;
        return Soundness::Sound;
    }

    // Why a piece of an item's data is out of libheif's reach; empty when it is not.
    QString outside(const Location& location, const Extent& extent) const
    {
        if (location.elsewhere || location.method > 1 || (location.method == 1 && !m_boxes.idat))
            return QStringLiteral("a picture's data is not in the file");
        const qint64 size = location.method == 0 ? m_file.size() : m_boxes.idat->length;
        if (extent.offset > size || extent.length > size - extent.offset)
            return QStringLiteral("a picture's data lies past the end of the file");
        return {};
    }

    std::optional<QByteArray> itemData(uint32_t id, qint64 length) const
    {
        const auto location = m_boxes.locations.find(id);
        if (location == m_boxes.locations.end())
            return std::nullopt;
        return readData(location->second, 0, length);
    }

    // At most `length` bytes of an item's data from `at`, read across its
    // pieces; fewer where the data ends.
    std::optional<QByteArray> readData(const Location& location, qint64 at, qint64 length) const
    {
        QByteArray out;
        for (const Extent& extent : location.extents) {
            if (length <= 0)
                break;
            if (at >= extent.length) {
                at -= extent.length;
                continue;
            }
            if (!outside(location, extent).isEmpty())
                return std::nullopt;
            const qint64 n = std::min(length, extent.length - at);
            if (location.method == 1) {
                out += QByteArrayView(m_boxes.meta).sliced(m_boxes.idat->offset + extent.offset + at, n);
            } else if (qint64 got = 0; n <= ByteSource::kWindow) {
                // NAL and OBU headers: small reads from the window kept.
                const char* piece = m_file.peek(extent.offset + at, n, &got);
                if (!piece || got != n)
                    return std::nullopt;
                out += QByteArrayView(piece, n);
            } else {
                const std::optional<QByteArray> piece = m_file.read(extent.offset + at, n);
                if (!piece)
                    return std::nullopt;
                out += *piece;
            }
            length -= n;
            at = 0;
        }
        return out;
    }

    // The bytes the extents cover, each byte once however often it is named.
    static qint64 distinctBytes(std::vector<Extent> extents)
    {
        std::sort(extents.begin(), extents.end(), [](const Extent& a, const Extent& b) { return a.offset < b.offset; });
        qint64 total = 0, reached = 0;
        for (const Extent& extent : extents) {
            const qint64 end = extent.offset + extent.length;
            total += std::max<qint64>(0, end - std::max(extent.offset, reached));
            reached = std::max(reached, end);
        }
        return total;
    }

    const ByteSource& m_file;
    const qint64 m_maxPixels;
    heif::Boxes m_boxes;
};

} // namespace

Soundness CheckHeifStructure(const ByteSource& file, qint64 maxPixels, Error* why)
{
    return Checker(file, maxPixels).run(why);
}

} // namespace pictomat
