#pragma once

#include "checks/ByteSource.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <unordered_map>
#include <vector>

// The boxes of a HEIF or AVIF file, read as libheif reads them: each box
// that holds boxes walked (without recursion) and checked to hold together,
// and of the meta box what libheif takes (the first box of each kind).

namespace pictomat::heif {

constexpr uint32_t FourCC(const char (&name)[5])
{
    return uint32_t(uchar(name[0])) << 24 | uint32_t(uchar(name[1])) << 16 | uint32_t(uchar(name[2])) << 8
           | uint32_t(uchar(name[3]));
}

// Big-endian numbers from bytes in memory; past the end it gives zeros and
// remembers that it ran out.
class Reader {
public:
    explicit Reader(QByteArrayView bytes) : m_bytes(bytes) { }
    bool ok() const { return m_ok; }
    qint64 left() const { return m_bytes.size() - m_at; }
    qint64 at() const { return m_at; }

    uint64_t number(int size)
    {
        if (size < 0 || size > 8 || left() < size) {
            m_ok = false;
            m_at = m_bytes.size();
            return 0;
        }
        uint64_t n = 0;
        for (int i = 0; i < size; ++i)
            n = n << 8 | uchar(m_bytes[m_at++]);
        return n;
    }
    uint32_t u8() { return uint32_t(number(1)); }
    uint32_t u16() { return uint32_t(number(2)); }
    uint32_t u32() { return uint32_t(number(4)); }
    void skip(qint64 count)
    {
        if (count > left()) {
            m_ok = false;
            count = left();
        }
        m_at += count;
    }

private:
    QByteArrayView m_bytes;
    qint64 m_at = 0;
    bool m_ok = true;
};

// Where a box lies: its type, its body and its end, counted from the start
// of the bytes it was found in.
struct Box {
    uint32_t type = 0;
    qint64 body = 0;
    qint64 end = 0;
};

struct Extent {
    qint64 offset = 0;
    qint64 length = 0;
};

// Where an item's data lies: in the file (construction method 0), in the
// idat box (1), or somewhere libheif does not read.
struct Location {
    uint32_t method = 0;
    bool elsewhere = false; // in another file
    std::vector<Extent> extents;
};

struct Reference {
    uint32_t type = 0;
    uint32_t from = 0;
    std::vector<uint32_t> to;
};

// What libheif takes from a file's meta box.
struct Boxes {
    QByteArray meta; // the whole box, which Box positions below count in
    bool hasPrimary = false;
    uint32_t primary = 0;
    std::optional<Extent> idat;
    std::unordered_map<uint32_t, uint32_t> items; // item type by ID
    std::unordered_map<uint32_t, Location> locations;
    std::unordered_map<uint32_t, std::vector<uint32_t>> associations; // property indexes, from 1
    std::vector<Box> properties;
    std::vector<Reference> references;

    QByteArrayView body(const Box& box) const { return QByteArrayView(meta).sliced(box.body, box.end - box.body); }
    // The body of an item's property of the given type, as libheif finds it.
    std::optional<QByteArrayView> property(uint32_t item, uint32_t type) const;
    // The items an item refers to by a reference of the given type.
    std::vector<uint32_t> referencesFrom(uint32_t from, uint32_t type) const;
};

// Reads a file's boxes into *boxes. Sound when they hold together: every box
// inside the one that holds it, nested at most a few levels, few enough
// (kMaxHeifItems items); else why not, in *why.
Soundness ReadBoxes(const ByteSource& file, Boxes* boxes, QString* why);

} // namespace pictomat::heif
