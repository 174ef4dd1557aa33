#include "prefs/PlistCodec.h"

#include <cstdint>
#include <optional>
#include <vector>

// libplist walks a binary property list by recursion, compares every object
// with each of its ancestors, and parses an object once for every reference
// to it. So a file of 100,000 nested arrays overflows the stack, 20,000 take
// seconds, and 24 arrays that each name the next one twice grow into 16
// million values (5 GB). Before libplist sees a file, its structure is walked
// here once, without recursion: every offset and reference inside the file,
// no cycle, no text with a NUL (on which libplist aborts), and limits on
// depth and on the values the file unfolds into that no settings file
// approaches.

namespace pictomat::prefs::plist {

namespace {

constexpr uint64_t kTrailerSize = 32;
constexpr uint64_t kHeaderSize = 8;

struct Trailer {
    uint64_t offsetSize = 0;
    uint64_t refSize = 0;
    uint64_t count = 0;
    uint64_t root = 0;
    uint64_t table = 0; // where the offset table starts: the end of the objects
};

// An unsigned big-endian number of `size` bytes at `at`, when it lies inside.
std::optional<uint64_t> bigEndian(const QByteArray& bytes, uint64_t at, uint64_t size)
{
    if (size == 0 || size > 8 || at > uint64_t(bytes.size()) || size > uint64_t(bytes.size()) - at)
        return std::nullopt;
    uint64_t n = 0;
    for (uint64_t i = 0; i < size; ++i)
        n = (n << 8) | uint8_t(bytes[qsizetype(at + i)]);
    return n;
}

// One object as far as the structure goes: where its payload lies and, for
// a container, where its references are.
struct Object {
    uint64_t end = 0;      // one past its last byte
    uint64_t refs = 0;     // where its references start
    uint64_t refCount = 0; // a dictionary's keys and values together
    bool container = false;
    bool textWithNul = false;
};

class Checker {
public:
    explicit Checker(const QByteArray& bytes) : m_bytes(bytes) { }

    QString run()
    {
        if (!readTrailer())
            return QStringLiteral("the binary property list is damaged");
        if (m_t.count > kMaxBinaryValues)
            return QStringLiteral("the binary property list holds more than %1 objects").arg(kMaxBinaryValues);
        return walk();
    }

private:
    bool readTrailer()
    {
        const uint64_t size = uint64_t(m_bytes.size());
        if (size < kHeaderSize + kTrailerSize)
            return false;
        const uint64_t at = size - kTrailerSize;
        m_t.offsetSize = uint8_t(m_bytes[qsizetype(at + 6)]);
        m_t.refSize = uint8_t(m_bytes[qsizetype(at + 7)]);
        m_t.count = *bigEndian(m_bytes, at + 8, 8);
        m_t.root = *bigEndian(m_bytes, at + 16, 8);
        m_t.table = *bigEndian(m_bytes, at + 24, 8);
        if (m_t.offsetSize < 1 || m_t.offsetSize > 8 || m_t.refSize < 1 || m_t.refSize > 8 || m_t.count == 0)
            return false;
        if (m_t.root >= m_t.count || m_t.table < kHeaderSize || m_t.table > at)
            return false;
        // The offset table lies between the objects and the trailer.
        return m_t.count <= (at - m_t.table) / m_t.offsetSize;
    }

    // The count that follows a marker whose low nibble is 0xF: an integer
    // object of 1, 2, 4 or 8 bytes.
    std::optional<uint64_t> extendedCount(uint64_t at, uint64_t* next) const
    {
        const std::optional<uint64_t> marker = bigEndian(m_bytes, at, 1);
        if (!marker || (*marker >> 4) != 0x1 || (*marker & 0x0F) > 3)
            return std::nullopt;
        const uint64_t width = uint64_t(1) << (*marker & 0x0F);
        const std::optional<uint64_t> n = bigEndian(m_bytes, at + 1, width);
        *next = at + 1 + width;
        return n;
    }

    std::optional<Object> object(uint64_t index) const
    {
        const std::optional<uint64_t> at = bigEndian(m_bytes, m_t.table + index * m_t.offsetSize, m_t.offsetSize);
        if (!at || *at < kHeaderSize || *at >= m_t.table)
            return std::nullopt;
        const uint8_t marker = uint8_t(m_bytes[qsizetype(*at)]);
        const unsigned kind = marker >> 4;
        const unsigned low = marker & 0x0F;
        uint64_t start = *at + 1;
        uint64_t length = low;
        const bool counted = kind == 0x4 || kind == 0x5 || kind == 0x6 || kind == 0x7 || kind >= 0xA;
        if (counted && low == 0x0F) {
            const std::optional<uint64_t> n = extendedCount(start, &start);
            if (!n)
                return std::nullopt;
            length = *n;
        }
        // Every length is checked against what is left, so no product below overflows.
        const uint64_t left = start <= m_t.table ? m_t.table - start : 0;
        Object o;
        uint64_t payload = 0;
        switch (kind) {
        case 0x0: payload = 0; break; // null, booleans, fill
        case 0x1:
        case 0x2: payload = uint64_t(1) << std::min(low, 4u); break; // integer, real
        case 0x3: payload = 8; break;                                // date
        case 0x4:
        case 0x5:
        case 0x7: payload = length; break; // data, ASCII, UTF-8 text
        case 0x6:                          // UTF-16 text
            if (length > left / 2)
                return std::nullopt;
            payload = length * 2;
            break;
        case 0x8: payload = low + 1; break; // UID
        case 0xA:
        case 0xB:
        case 0xC:
        case 0xD: { // array, ordered set, set, dictionary
            const uint64_t refs = kind == 0xD ? 2 : 1;
            if (length > left / m_t.refSize / refs)
                return std::nullopt;
            o.container = true;
            o.refs = start;
            o.refCount = length * refs;
            payload = o.refCount * m_t.refSize;
            break;
        }
        default:
            payload = 0; // no such kind: libplist refuses it
            break;
        }
        if (payload > left)
            return std::nullopt;
        o.end = start + payload;
        if (kind == 0x5 || kind == 0x6 || kind == 0x7) {
            const uint64_t unit = kind == 0x6 ? 2 : 1;
            for (uint64_t i = start; i + unit <= o.end && !o.textWithNul; i += unit)
                o.textWithNul = m_bytes[qsizetype(i)] == 0 && (unit == 1 || m_bytes[qsizetype(i + 1)] == 0);
        }
        return o;
    }

    // Depth-first from the root with a stack of our own, which holds the
    // containers on the way to the object in hand. Each object's depth (the
    // containers in its deepest chain) and unfolded size are summed up once
    // from its references, however often it is referred to.
    QString walk()
    {
        enum : uint8_t { Unseen, Open, Done };
        std::vector<uint8_t> state(m_t.count, Unseen);
        std::vector<uint16_t> depth(m_t.count, 0);
        std::vector<uint32_t> values(m_t.count, 0);
        struct Frame {
            uint64_t index;
            Object object;
            uint64_t next = 0;   // the next reference to follow
            uint32_t below = 0;  // the deepest chain of containers under it
            uint64_t values = 1; // itself and everything it unfolds into
        };
        std::vector<Frame> stack;
        const auto tooDeep = [] {
            return QStringLiteral("the binary property list nests deeper than %1 levels").arg(kMaxBinaryDepth);
        };
        const auto tooMany = [] {
            return QStringLiteral("the binary property list unfolds into more than %1 values").arg(kMaxBinaryValues);
        };
        // Takes in a finished object (a leaf, or a container whose
        // references were all followed) as part of the container on top.
        const auto count = [&](uint64_t index) -> QString {
            if (stack.empty())
                return {};
            Frame& parent = stack.back();
            if (stack.size() + depth[index] > kMaxBinaryDepth)
                return tooDeep();
            parent.below = std::max<uint32_t>(parent.below, depth[index]);
            parent.values += values[index];
            return parent.values > kMaxBinaryValues ? tooMany() : QString();
        };
        const auto visit = [&](uint64_t index) -> QString {
            if (index >= m_t.count)
                return QStringLiteral("the binary property list is damaged");
            if (state[index] == Open)
                return QStringLiteral("the binary property list refers to itself");
            if (state[index] == Done)
                return count(index);
            const std::optional<Object> o = object(index);
            if (!o)
                return QStringLiteral("the binary property list is damaged");
            if (o->textWithNul)
                return QStringLiteral("the binary property list holds text with a NUL character");
            if (!o->container) {
                state[index] = Done;
                values[index] = 1;
                return count(index);
            }
            if (stack.size() + 1 > kMaxBinaryDepth)
                return tooDeep();
            state[index] = Open;
            stack.push_back(Frame{index, *o});
            return {};
        };
        if (QString why = visit(m_t.root); !why.isEmpty())
            return why;
        while (!stack.empty()) {
            Frame& top = stack.back();
            if (top.next < top.object.refCount) {
                // Inside the objects: the object's extent was checked.
                const uint64_t child = *bigEndian(m_bytes, top.object.refs + top.next * m_t.refSize, m_t.refSize);
                ++top.next;
                if (QString why = visit(child); !why.isEmpty())
                    return why;
                continue;
            }
            const Frame done = top;
            stack.pop_back();
            state[done.index] = Done;
            depth[done.index] = uint16_t(done.below + 1);
            values[done.index] = uint32_t(done.values);
            if (QString why = count(done.index); !why.isEmpty())
                return why;
        }
        return {};
    }

    const QByteArray& m_bytes;
    Trailer m_t;
};

} // namespace

QString CheckBinaryStructure(const QByteArray& bytes)
{
    return Checker(bytes).run();
}

} // namespace pictomat::prefs::plist
