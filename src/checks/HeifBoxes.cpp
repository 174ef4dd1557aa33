#include "checks/HeifBoxes.h"

#include "checks/HeifCheck.h"

namespace pictomat::heif {

namespace {

// Boxes holding the metadata; real files hold a few dozen.
constexpr qint64 kMaxMetaBytes = 16LL * 1024 * 1024;
constexpr int kMaxBoxes = 16 * kMaxHeifItems;
constexpr int kMaxTopLevelBoxes = 1000;
// Real files nest four deep (meta, iprp, ipco, a property).
constexpr int kMaxBoxDepth = 8;
// References (each box, and each item it names), as many as four an item.
constexpr int kMaxReferences = 4 * kMaxHeifItems;
// libheif's own limit.
constexpr int kMaxExtents = 32;

// The boxes libheif reads as lists of boxes, wherever they stand, and the
// bytes before the first child: a full box's version and flags, a count.
std::optional<qint64> childrenOffset(uint32_t type, QByteArrayView body)
{
    switch (type) {
    case FourCC("meta"): return 4;
    case FourCC("iinf"): return body.size() >= 1 && body[0] == 0 ? 6 : 8;
    case FourCC("dref"): return 8;
    case FourCC("iprp"):
    case FourCC("ipco"):
    case FourCC("dinf"):
    case FourCC("grpl"): return 0;
    default: return std::nullopt;
    }
}

// The box that starts `at` in bytes that hold at most `limit` of it;
// nothing when it does not fit there.
std::optional<Box> boxAt(QByteArrayView head, qint64 at, qint64 limit)
{
    Reader r(head);
    uint64_t size = r.u32();
    const uint32_t type = r.u32();
    qint64 header = 8;
    if (size == 1) {
        size = r.number(8);
        header = 16;
    } else if (size == 0) {
        size = uint64_t(limit);
    }
    if (type == FourCC("uuid"))
        header += 16;
    if (!r.ok() || size < uint64_t(header) || size > uint64_t(limit))
        return std::nullopt;
    return Box{type, at + header, at + qint64(size)};
}

class BoxReader : Finding {
public:
    BoxReader(const ByteSource& file, Boxes& out) : m_file(file), m_out(out) { }

    Soundness run(QString* why)
    {
        Soundness verdict = topLevel();
        if (verdict == Soundness::Sound)
            verdict = readMeta();
        if (verdict != Soundness::Sound && why)
            *why = m_why;
        return verdict;
    }

private:
    // Every box at the top of the file. libheif reads each one that is a
    // list of boxes, and stops at the first that runs past the end.
    Soundness topLevel()
    {
        qint64 at = 0;
        for (int count = 0; at < m_file.size(); ++count) {
            if (count == kMaxTopLevelBoxes)
                return tooLarge(QStringLiteral("the file holds more than %1 boxes").arg(kMaxTopLevelBoxes));
            qint64 got = 0;
            const char* head = m_file.peek(at, 32, &got);
            const std::optional<Box> box =
                head ? boxAt(QByteArrayView(head, got), at, m_file.size() - at) : std::nullopt;
            if (!box) {
                if (!m_out.meta.isEmpty())
                    break;
                return damaged(QStringLiteral("a box runs past the end of the file"));
            }
            if (count == 0 && box->type != FourCC("ftyp"))
                return damaged(QStringLiteral("the file does not start with its ftyp box"));
            if (childrenOffset(box->type, {})) {
                const qint64 length = box->end - at;
                if (length > kMaxMetaBytes)
                    return tooLarge(QStringLiteral("a box of %1 bytes holds metadata").arg(length));
                const std::optional<QByteArray> bytes = m_file.read(at, length);
                if (!bytes)
                    return damaged(QStringLiteral("the file cannot be read"));
                if (const Soundness s = walk(*bytes); s != Soundness::Sound)
                    return s;
                if (box->type == FourCC("meta") && m_out.meta.isEmpty()) {
                    m_out.meta = *bytes;
                } else if (box->type == FourCC("meta")) {
                    return damaged(QStringLiteral("the file has two meta boxes"));
                }
            }
            at = box->end;
        }
        if (m_out.meta.isEmpty())
            return damaged(QStringLiteral("the file has no meta box"));
        return Soundness::Sound;
    }

    // The tree of boxes in `bytes` (one box from the top level), without
    // recursion: each box inside the one that holds it, at most
    // kMaxBoxDepth deep, at most kMaxBoxes in all.
    Soundness walk(const QByteArray& bytes)
    {
        struct List {
            qint64 at;
            qint64 end;
            int depth;
        };
        std::vector<List> open;
        const auto enter = [&](const Box& box, int depth) -> Soundness {
            const std::optional<qint64> skip = childrenOffset(box.type, body(bytes, box));
            if (!skip)
                return Soundness::Sound;
            if (depth >= kMaxBoxDepth)
                return damaged(QStringLiteral("the boxes nest deeper than %1 levels").arg(kMaxBoxDepth));
            if (*skip > box.end - box.body)
                return damaged(QStringLiteral("a box is too short for what it holds"));
            open.push_back(List{box.body + *skip, box.end, depth + 1});
            return Soundness::Sound;
        };
        const std::optional<Box> top = boxAt(bytes, 0, bytes.size());
        if (!top)
            return damaged(QStringLiteral("a box runs past the end of the file"));
        if (const Soundness s = enter(*top, 0); s != Soundness::Sound)
            return s;
        while (!open.empty()) {
            const List list = open.back();
            open.pop_back();
            for (qint64 at = list.at; at < list.end;) {
                if (++m_count > kMaxBoxes)
                    return tooLarge(QStringLiteral("the metadata holds more than %1 boxes").arg(kMaxBoxes));
                const std::optional<Box> box = boxAt(QByteArrayView(bytes).sliced(at), at, list.end - at);
                if (!box)
                    return damaged(QStringLiteral("a box runs past the box that holds it"));
                if (const Soundness s = enter(*box, list.depth); s != Soundness::Sound)
                    return s;
                at = box->end;
            }
        }
        return Soundness::Sound;
    }

    static QByteArrayView body(const QByteArray& bytes, const Box& box)
    {
        return QByteArrayView(bytes).sliced(box.body, box.end - box.body);
    }

    // The boxes of a list (already walked, so each lies inside it).
    std::vector<Box> children(const Box& list) const
    {
        std::vector<Box> out;
        const qint64 start = list.body + childrenOffset(list.type, m_out.body(list)).value_or(0);
        for (qint64 at = start; at < list.end;) {
            const std::optional<Box> box = boxAt(QByteArrayView(m_out.meta).sliced(at), at, list.end - at);
            if (!box)
                break;
            out.push_back(*box);
            at = box->end;
        }
        return out;
    }

    static std::optional<Box> first(const std::vector<Box>& boxes, uint32_t type)
    {
        for (const Box& box : boxes)
            if (box.type == type)
                return box;
        return std::nullopt;
    }

    // What libheif takes from the meta box: the first box of each kind, and
    // every ipma box of the first iprp.
    Soundness readMeta()
    {
        const std::optional<Box> meta = boxAt(m_out.meta, 0, m_out.meta.size());
        const std::vector<Box> boxes = children(*meta);
        if (const std::optional<Box> pitm = first(boxes, FourCC("pitm"))) {
            Reader r(m_out.body(*pitm));
            const uint32_t version = r.u8();
            r.skip(3);
            m_out.primary = version == 0 ? r.u16() : r.u32();
            m_out.hasPrimary = r.ok();
        }
        if (const std::optional<Box> idat = first(boxes, FourCC("idat")))
            m_out.idat = Extent{idat->body, idat->end - idat->body};
        if (const std::optional<Box> iinf = first(boxes, FourCC("iinf"))) {
            for (const Box& infe : children(*iinf))
                if (infe.type == FourCC("infe"))
                    if (const Soundness s = itemInfo(infe); s != Soundness::Sound)
                        return s;
        }
        if (const std::optional<Box> iloc = first(boxes, FourCC("iloc"))) {
            Reader r(m_out.body(*iloc));
            if (const Soundness s = locations(r); s != Soundness::Sound)
                return s;
        }
        if (const std::optional<Box> iref = first(boxes, FourCC("iref"))) {
            Reader r(m_out.body(*iref));
            if (const Soundness s = references(r); s != Soundness::Sound)
                return s;
        }
        if (const std::optional<Box> iprp = first(boxes, FourCC("iprp"))) {
            const std::vector<Box> lists = children(*iprp);
            if (const std::optional<Box> ipco = first(lists, FourCC("ipco")))
                m_out.properties = children(*ipco);
            for (const Box& ipma : lists)
                if (ipma.type == FourCC("ipma"))
                    if (const Soundness s = associations(ipma); s != Soundness::Sound)
                        return s;
        }
        return Soundness::Sound;
    }

    Soundness itemInfo(const Box& box)
    {
        if (++m_itemCount > kMaxHeifItems)
            return tooLarge(QStringLiteral("the file holds more than %1 items").arg(kMaxHeifItems));
        Reader r(m_out.body(box));
        const uint32_t version = r.u8();
        r.skip(3);
        if (version < 2)
            return Soundness::Sound; // no item type: nothing libheif decodes
        const uint32_t id = version == 2 ? r.u16() : r.u32();
        r.skip(2); // item_protection_index
        const uint32_t type = r.u32();
        if (!r.ok())
            return damaged(QStringLiteral("an item's infe box is cut short"));
        m_out.items[id] = type;
        return Soundness::Sound;
    }

    Soundness locations(Reader& r)
    {
        const uint32_t version = r.u8();
        r.skip(3);
        const uint32_t sizes = r.u16();
        const int offsetSize = int(sizes >> 12), lengthSize = int(sizes >> 8 & 0xF);
        const int baseSize = int(sizes >> 4 & 0xF), indexSize = version >= 1 ? int(sizes & 0xF) : 0;
        for (const int size : {offsetSize, lengthSize, baseSize, indexSize})
            if (size != 0 && size != 4 && size != 8)
                return damaged(QStringLiteral("the iloc box gives a field of %1 bytes").arg(size));
        const uint32_t count = version < 2 ? r.u16() : r.u32();
        if (count > uint32_t(kMaxHeifItems))
            return tooLarge(QStringLiteral("the file locates more than %1 items").arg(kMaxHeifItems));
        for (uint32_t i = 0; i < count && r.ok(); ++i) {
            const uint32_t id = version < 2 ? r.u16() : r.u32();
            Location location;
            location.method = version >= 1 ? r.u16() & 0xF : 0;
            location.elsewhere = r.u16() != 0; // data_reference_index: another file
            const uint64_t base = r.number(baseSize);
            const uint32_t extents = r.u16();
            if (extents > uint32_t(kMaxExtents))
                return damaged(QStringLiteral("an item's data lies in more than %1 pieces").arg(kMaxExtents));
            for (uint32_t e = 0; e < extents; ++e) {
                r.skip(indexSize);
                const uint64_t offset = r.number(offsetSize);
                const uint64_t length = r.number(lengthSize);
                // No file comes near 2^60 bytes; below it no sum overflows.
                constexpr uint64_t kFar = uint64_t(1) << 60;
                if (base > kFar || offset > kFar || length > kFar)
                    return damaged(QStringLiteral("an item's data lies past the end of the file"));
                location.extents.push_back(Extent{qint64(base + offset), qint64(length)});
            }
            m_out.locations.emplace(id, std::move(location));
        }
        return r.ok() ? Soundness::Sound : damaged(QStringLiteral("the iloc box is cut short"));
    }

    Soundness references(Reader& r)
    {
        const uint32_t version = r.u8();
        r.skip(3);
        const int idSize = version == 0 ? 2 : 4;
        int total = 0;
        while (r.ok() && r.left() > 0) {
            const qint64 start = r.at();
            const qint64 size = r.u32();
            Reference reference;
            reference.type = r.u32();
            reference.from = uint32_t(r.number(idSize));
            const uint32_t count = r.u16();
            total += 1 + int(count);
            if (total > kMaxReferences)
                return tooLarge(QStringLiteral("the file holds more than %1 references").arg(kMaxReferences));
            for (uint32_t i = 0; i < count; ++i)
                reference.to.push_back(uint32_t(r.number(idSize)));
            if (!r.ok() || r.at() - start > size)
                return damaged(QStringLiteral("a reference runs past its box"));
            r.skip(size - (r.at() - start));
            m_out.references.push_back(std::move(reference));
        }
        return r.ok() ? Soundness::Sound : damaged(QStringLiteral("the iref box is cut short"));
    }

    Soundness associations(const Box& box)
    {
        Reader r(m_out.body(box));
        const uint32_t version = r.u8();
        const uint64_t flags = r.number(3);
        const uint32_t count = r.u32();
        m_associated += qint64(count);
        if (m_associated > kMaxHeifItems)
            return tooLarge(QStringLiteral("the file gives properties to more than %1 items").arg(kMaxHeifItems));
        for (uint32_t i = 0; i < count && r.ok(); ++i) {
            const uint32_t id = version < 1 ? r.u16() : r.u32();
            const uint32_t n = r.u8();
            std::vector<uint32_t> properties;
            for (uint32_t p = 0; p < n; ++p)
                properties.push_back(flags & 1 ? r.u16() & 0x7FFF : r.u8() & 0x7F);
            // libheif takes an item's first entry.
            m_out.associations.emplace(id, std::move(properties));
        }
        return r.ok() ? Soundness::Sound : damaged(QStringLiteral("the ipma box is cut short"));
    }

    const ByteSource& m_file;
    Boxes& m_out;
    int m_count = 0;
    int m_itemCount = 0;
    qint64 m_associated = 0;
};

} // namespace

std::optional<QByteArrayView> Boxes::property(uint32_t item, uint32_t type) const
{
    const auto found = associations.find(item);
    if (found == associations.end())
        return std::nullopt;
    for (const uint32_t index : found->second) {
        if (index == 0 || index > properties.size())
            continue;
        const Box& box = properties[index - 1];
        if (box.type == type)
            return body(box);
    }
    return std::nullopt;
}

std::vector<uint32_t> Boxes::referencesFrom(uint32_t from, uint32_t type) const
{
    for (const Reference& reference : references)
        if (reference.from == from && reference.type == type)
            return reference.to; // libheif takes the first box of a kind
    return {};
}

Soundness ReadBoxes(const ByteSource& file, Boxes* boxes, QString* why)
{
    return BoxReader(file, *boxes).run(why);
}

} // namespace pictomat::heif
