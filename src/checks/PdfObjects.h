#pragma once

#include "checks/ByteSource.h"

#include <QByteArray>

#include <optional>
#include <unordered_map>
#include <vector>

// Just enough of PDF to walk from a file's trailer to its first page and
// what the page draws: values, indirect objects found through the
// cross-reference tables and streams (or, where those are damaged, by
// scanning the file as poppler then does), object streams, and the filters
// that content and cross-reference streams use. Every read is bounded.

namespace pictomat::pdf {

struct Value {
    enum class Kind : uint8_t { Null, Boolean, Number, Name, String, Array, Dictionary, Reference };
    Kind kind = Kind::Null;
    double number = 0;
    uint32_t object = 0; // a reference's object number
    QByteArray text;     // a name, without its slash; a string's bytes as written
    // An array's values; a dictionary's keys (as names) and values in turn.
    std::vector<Value> items;

    bool isDictionary() const { return kind == Kind::Dictionary; }
    bool isName(QByteArrayView name) const { return kind == Kind::Name && text == name; }
    // A dictionary's value for `key`; null when it is no dictionary or has none.
    const Value* get(QByteArrayView key) const;
};

// An indirect object: its value and, for a stream, where its data lies.
struct Object {
    Value value;
    bool stream = false;
    qint64 dataAt = 0;
    qint64 dataLength = 0;
};

// What reading a stream's data through its filters came to.
enum class Decoded {
    Whole,   // all of it, within the cap
    OverCap, // it decodes to more than the cap
    Unknown, // a filter this reader does not undo (or encryption)
    Damaged, // the filters fail on it
};

class Document {
public:
    explicit Document(const ByteSource& file);

    // Reads the cross-reference sections from the end of the file, or finds
    // the objects by scanning when they do not hold together. False when
    // there is no trailer with a catalog either way.
    bool open();
    const Value& trailer() const { return m_trailer; }
    bool encrypted() const { return m_trailer.get("Encrypt") != nullptr; }
    // Set when reading was cut short by a limit rather than by damage.
    bool overLimit() const { return m_overLimit; }

    // The indirect object with this number; nothing when the file does not
    // hold it (or it cannot be read).
    std::optional<Object> object(uint32_t number);
    // The value itself, or the object a reference names (followed a few times).
    std::optional<Value> resolve(const Value& value);

    // A stream's data through its filters, at most `cap` bytes of it. With
    // `out` null, the data is only counted (into *length when given).
    Decoded decode(const Object& stream, qint64 cap, QByteArray* out, qint64* length = nullptr);

private:
    struct Entry {
        uint8_t type = 0; // 1: at an offset in the file; 2: in an object stream
        qint64 where = 0; // the offset, or the object stream's number
        uint32_t index = 0;
    };
    // A subsection of a cross-reference table: its entries are read as needed.
    struct Table {
        uint32_t first = 0;
        uint32_t count = 0;
        qint64 at = 0;
    };
    // An object stream, inflated, with the numbers and offsets its header gives.
    struct ObjectStream {
        QByteArray data;
        qint64 first = 0;
        std::vector<std::pair<uint32_t, qint64>> objects;
    };
    bool readSections(qint64 at);
    bool readTable(qint64 at, Value* trailer);
    bool readXrefStream(qint64 at, Value* trailer);
    bool reconstruct();
    std::optional<Object> objectAt(qint64 offset, uint32_t number, int depth);
    // Counts bytes read towards kMaxBytesRead; false once past it.
    bool spend(qint64 bytes);
    qint64 streamLength(qint64 dataAt, qint64 stated);
    std::optional<Object> fromObjectStream(uint32_t stream, uint32_t index, uint32_t number);
    Entry entryOf(uint32_t number);
    std::optional<Object> lookup(uint32_t number, int depth);

    const ByteSource& m_file;
    Value m_trailer;
    std::unordered_map<uint32_t, Entry> m_entries;
    std::vector<Table> m_tables;
    std::unordered_map<uint32_t, ObjectStream> m_objectStreams;
    bool m_reconstructed = false;
    bool m_overLimit = false;
    qint64 m_read = 0;
};

} // namespace pictomat::pdf
