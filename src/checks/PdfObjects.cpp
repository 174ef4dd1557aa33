#include "checks/PdfObjects.h"

#include "checks/PdfSyntax.h"
#include "files/Inflate.h"

#include <algorithm>
#include <cctype>
#include <unordered_set>

namespace pictomat::pdf {

namespace {

// No object on the way to a first page is near this large; a page tree
// node listing every page of a 100,000-page book is about a megabyte.
constexpr qint64 kMaxObjectBytes = 4LL * 1024 * 1024;
constexpr qint64 kFirstRead = 4 * 1024;
// All the object and object stream bytes read on the way to a first page
// (a real file needs a few kilobytes for each object looked at).
constexpr qint64 kMaxBytesRead = 256LL * 1024 * 1024;
// Values in one object: a page tree node listing 100,000 pages holds as many.
constexpr int kMaxValues = 200'000;
constexpr int kMaxSections = 64;
// Cross-reference and object streams, inflated.
constexpr qint64 kMaxXrefStreamBytes = 64LL * 1024 * 1024;
constexpr qint64 kMaxObjectStreamBytes = 16LL * 1024 * 1024;
constexpr qint64 kMaxCachedObjectStreams = 64LL * 1024 * 1024;
// Objects a damaged file's scan may find (each costs a table entry).
constexpr size_t kMaxScannedObjects = 1'000'000;
// How far past a stream's stated length its end is looked for.
constexpr qint64 kEndstreamSearch = 1024 * 1024;

} // namespace

Document::Document(const ByteSource& file) : m_file(file) { }

bool Document::open()
{
    // "startxref" and the offset after it, near the end of the file.
    const qint64 tail = std::min<qint64>(m_file.size(), 1024);
    const std::optional<QByteArray> end = m_file.read(m_file.size() - tail, tail);
    const qint64 mark = end ? end->lastIndexOf("startxref") : -1;
    if (mark >= 0) {
        Lexer lexer(*end, mark + 9);
        const Lexer::Token offset = lexer.next();
        if (offset.type == Lexer::Type::Number && offset.integer && readSections(Whole(offset.number))
            && m_trailer.get("Root"))
            return true;
    }
    return reconstruct();
}

// The sections from the newest back through /Prev; an object's newest entry
// stands. The newest section's dictionary is the trailer.
bool Document::readSections(qint64 at)
{
    std::unordered_set<qint64> seen;
    for (int i = 0; i < kMaxSections && seen.insert(at).second; ++i) {
        Value trailer;
        const std::optional<QByteArray> head = m_file.read(at, std::min<qint64>(m_file.size() - at, 4));
        if (!head || !(*head == "xref" ? readTable(at, &trailer) : readXrefStream(at, &trailer)))
            return false;
        if (i == 0)
            m_trailer = trailer;
        // A file updated by a writer that knows both kinds names its stream too.
        if (const Value* stream = trailer.get("XRefStm"); stream && stream->kind == Value::Kind::Number) {
            Value ignored;
            readXrefStream(Whole(stream->number), &ignored);
        }
        const Value* previous = trailer.get("Prev");
        if (!previous || previous->kind != Value::Kind::Number)
            return true;
        at = Whole(previous->number);
    }
    return true;
}

// A cross-reference table: subsections of 20-byte entries, then "trailer"
// and its dictionary. The entries are read when an object is asked for.
bool Document::readTable(qint64 at, Value* trailer)
{
    for (int subsections = 0; subsections < 100'000; ++subsections) {
        const std::optional<QByteArray> head = m_file.read(at, std::min<qint64>(m_file.size() - at, 256));
        if (!head)
            return false;
        Lexer lexer(*head, subsections == 0 ? 4 : 0);
        lexer.skipSpace();
        if (QByteArrayView(*head).sliced(lexer.at()).startsWith("trailer")) {
            const std::optional<QByteArray> rest =
                m_file.read(at + lexer.at() + 7, std::min<qint64>(m_file.size() - at - lexer.at() - 7, kFirstRead));
            if (!rest)
                return false;
            Lexer dictionary(*rest);
            int budget = kMaxValues;
            return ParseValue(dictionary, *trailer, budget) && trailer->isDictionary();
        }
        const Lexer::Token first = lexer.next(), count = lexer.next();
        if (first.type != Lexer::Type::Number || count.type != Lexer::Type::Number || first.number < 0
            || count.number < 0 || first.number + count.number > 4294967295.0)
            return false;
        lexer.skipSpace();
        m_tables.push_back(Table{uint32_t(first.number), uint32_t(count.number), at + lexer.at()});
        at += lexer.at() + Whole(count.number) * 20;
    }
    return false;
}

// A cross-reference stream: entries of the widths /W gives, for the
// numbers /Index gives, decoded through its filters.
bool Document::readXrefStream(qint64 at, Value* trailer)
{
    const std::optional<Object> stream = objectAt(at, 0, 0);
    if (!stream || !stream->stream || !stream->value.get("Type") || !stream->value.get("Type")->isName("XRef"))
        return false;
    *trailer = stream->value;
    const Value* widths = stream->value.get("W");
    if (!widths || widths->kind != Value::Kind::Array || widths->items.size() < 3)
        return false;
    int w[3] = {};
    for (int i = 0; i < 3; ++i) {
        w[i] = int(std::clamp<qint64>(Whole(widths->items[size_t(i)].number), -1, 9));
        if (w[i] < 0 || w[i] > 8)
            return false;
    }
    QByteArray data;
    const Decoded decoded = decode(*stream, kMaxXrefStreamBytes, &data);
    if (decoded == Decoded::OverCap)
        m_overLimit = true;
    if (decoded != Decoded::Whole)
        return false;
    std::vector<double> index;
    if (const Value* given = stream->value.get("Index"); given && given->kind == Value::Kind::Array) {
        for (const Value& v : given->items)
            index.push_back(v.number);
    } else if (const Value* size = stream->value.get("Size")) {
        index = {0, size->number};
    }
    const qint64 entryBytes = w[0] + w[1] + w[2];
    qint64 at0 = 0;
    const auto field = [&](qint64 from, int width) {
        uint64_t n = 0;
        for (int i = 0; i < width; ++i)
            n = n << 8 | uchar(data[from + i]);
        return n;
    };
    for (size_t i = 0; i + 1 < index.size(); i += 2) {
        if (index[i] < 0 || index[i + 1] < 0 || index[i] + index[i + 1] > 4294967295.0)
            return false;
        for (uint32_t n = 0; n < uint32_t(index[i + 1]); ++n, at0 += entryBytes) {
            if (entryBytes == 0 || at0 + entryBytes > data.size())
                return true;
            const uint64_t type = w[0] ? field(at0, w[0]) : 1;
            const uint64_t second = field(at0 + w[0], w[1]);
            const uint64_t third = field(at0 + w[0] + w[1], w[2]);
            if (type == 1 || type == 2 || type == 0)
                m_entries.try_emplace(uint32_t(index[i]) + n,
                                      Entry{uint8_t(type), qint64(std::min<uint64_t>(second, uint64_t(1) << 62)),
                                            uint32_t(std::min<uint64_t>(third, 0xFFFFFFFF))});
        }
    }
    return true;
}

// A damaged file's objects, found as poppler finds them: every line that
// starts "N G obj", the later of two with the same number, and the last
// "trailer" dictionary that names a catalog.
bool Document::reconstruct()
{
    if (m_reconstructed)
        return false;
    m_reconstructed = true;
    m_entries.clear();
    m_tables.clear();
    constexpr qint64 kChunk = 1024 * 1024;
    bool found = false;
    for (qint64 at = 0; at < m_file.size(); at += kChunk) {
        // Each chunk overlaps the next by a line's length, so that no header is cut.
        const std::optional<QByteArray> chunk = m_file.read(at, std::min(kChunk + 256, m_file.size() - at));
        if (!chunk)
            return false;
        for (qint64 line = 0; line < std::min<qint64>(kChunk, chunk->size());) {
            qint64 p = line;
            while (p < chunk->size() && (chunk->at(p) == ' ' || chunk->at(p) == '\t'))
                ++p;
            if (QByteArrayView(*chunk).sliced(p).startsWith("trailer")) {
                const std::optional<QByteArray> rest =
                    m_file.read(at + p + 7, std::min<qint64>(m_file.size() - at - p - 7, kFirstRead));
                Value trailer;
                int budget = kMaxValues;
                Lexer lexer(rest.value_or(QByteArray()));
                if (rest && ParseValue(lexer, trailer, budget) && trailer.get("Root")
                    && trailer.get("Root")->kind == Value::Kind::Reference) {
                    m_trailer = trailer;
                    found = true;
                }
            } else if (p < chunk->size() && std::isdigit(uchar(chunk->at(p)))) {
                Lexer lexer(*chunk, p);
                const Lexer::Token number = lexer.next(), generation = lexer.next(), keyword = lexer.next();
                if (number.type == Lexer::Type::Number && number.integer && generation.type == Lexer::Type::Number
                    && keyword.type == Lexer::Type::Keyword && keyword.text == "obj" && number.number >= 0
                    && number.number < 4294967295.0) {
                    if (m_entries.size() >= kMaxScannedObjects) {
                        m_overLimit = true;
                        return false;
                    }
                    m_entries[uint32_t(number.number)] = Entry{1, at + p, 0};
                }
            }
            const auto end =
                std::find_if(chunk->begin() + p, chunk->end(), [](char c) { return c == '\n' || c == '\r'; });
            if (end == chunk->end())
                break;
            line = (end - chunk->begin()) + 1;
        }
    }
    return found;
}

bool Document::spend(qint64 bytes)
{
    m_read += bytes;
    if (m_read > kMaxBytesRead)
        m_overLimit = true;
    return !m_overLimit;
}

std::optional<Object> Document::object(uint32_t number)
{
    if (std::optional<Object> found = lookup(number, 0))
        return found;
    // An entry that leads nowhere: poppler then scans the file, and so do we.
    if (!m_reconstructed && !m_overLimit && reconstruct())
        return lookup(number, 0);
    return std::nullopt;
}

Document::Entry Document::entryOf(uint32_t number)
{
    if (const auto found = m_entries.find(number); found != m_entries.end())
        return found->second;
    // In a table: each entry is "oooooooooo ggggg n" and an end of line.
    for (const Table& table : m_tables) {
        if (number < table.first || number - table.first >= table.count)
            continue;
        const std::optional<QByteArray> line = m_file.read(table.at + qint64(number - table.first) * 20, 18);
        if (!line || (line->at(17) != 'n' && line->at(17) != 'f'))
            return Entry{};
        const Entry entry{uint8_t(line->at(17) == 'n' ? 1 : 0), line->left(10).toLongLong(), 0};
        m_entries.emplace(number, entry);
        return entry;
    }
    return Entry{};
}

std::optional<Object> Document::lookup(uint32_t number, int depth)
{
    if (depth > 4)
        return std::nullopt;
    const Entry entry = entryOf(number);
    if (entry.type == 1)
        return objectAt(entry.where, number, depth);
    if (entry.type == 2 && entry.where >= 0 && entry.where <= 0xFFFFFFFF)
        return fromObjectStream(uint32_t(entry.where), entry.index, number);
    return std::nullopt;
}

// "N G obj", a value and, for a stream, where its data lies: its /Length
// where "endstream" follows, else up to the "endstream" that comes first.
// `number` 0 takes any number.
std::optional<Object> Document::objectAt(qint64 offset, uint32_t number, int depth)
{
    for (qint64 want = kFirstRead;; want *= 2) {
        const qint64 length = std::min({want, kMaxObjectBytes, m_file.size() - std::max<qint64>(offset, 0)});
        if (!spend(length))
            return std::nullopt;
        const std::optional<QByteArray> bytes = m_file.read(offset, length);
        if (!bytes)
            return std::nullopt;
        Lexer lexer(*bytes);
        const Lexer::Token n = lexer.next(), g = lexer.next(), keyword = lexer.next();
        if (n.type != Lexer::Type::Number || g.type != Lexer::Type::Number || keyword.text != "obj"
            || (number != 0 && n.number != number))
            return std::nullopt;
        Object object;
        int budget = kMaxValues;
        if (!ParseValue(lexer, object.value, budget)) {
            if (budget < 0) {
                m_overLimit = true;
                return std::nullopt;
            }
            if (lexer.incomplete() && length < m_file.size() - offset) {
                if (length == kMaxObjectBytes) {
                    m_overLimit = true;
                    return std::nullopt;
                }
                continue;
            }
            return std::nullopt;
        }
        const qint64 back = lexer.at();
        const Lexer::Token after = lexer.next();
        if (after.type != Lexer::Type::Keyword || after.text != "stream") {
            lexer.seek(back);
            return object;
        }
        object.stream = true;
        object.dataAt = offset + AfterEndOfLine(*bytes, lexer.at());
        qint64 stated = -1;
        if (const Value* given = object.value.get("Length")) {
            if (given->kind == Value::Kind::Reference) {
                if (const std::optional<Object> held = lookup(given->object, depth + 1))
                    stated = held->value.kind == Value::Kind::Number ? Whole(held->value.number) : -1;
            } else if (given->kind == Value::Kind::Number) {
                stated = Whole(given->number);
            }
        }
        object.dataLength = streamLength(object.dataAt, stated);
        return object;
    }
}

qint64 Document::streamLength(qint64 dataAt, qint64 stated)
{
    const qint64 left = m_file.size() - dataAt;
    if (stated >= 0 && stated <= left) {
        const std::optional<QByteArray> after = m_file.read(dataAt + stated, std::min<qint64>(left - stated, 32));
        if (after && after->trimmed().startsWith("endstream"))
            return stated;
    }
    // The stated length is wrong or missing: up to the first "endstream".
    constexpr qint64 kStep = 64 * 1024;
    for (qint64 at = 0; at < std::min(left, kEndstreamSearch); at += kStep) {
        const std::optional<QByteArray> chunk = m_file.read(dataAt + at, std::min(kStep + 9, left - at));
        const qint64 found = chunk ? chunk->indexOf("endstream") : -1;
        if (found >= 0) {
            // The end of line before "endstream" belongs to neither.
            qint64 end = at + found;
            const std::optional<QByteArray> before =
                m_file.read(dataAt + std::max<qint64>(end - 2, 0), std::min<qint64>(end, 2));
            if (before && before->endsWith('\n'))
                --end;
            if (before && before->endsWith(end < at + found ? "\r\n" : "\r"))
                --end;
            return end;
        }
    }
    return stated >= 0 ? std::min(stated, left) : std::min(left, kEndstreamSearch);
}

// An object in an object stream: the stream (itself in the file, as
// poppler requires) is inflated once and its table of numbers and offsets
// read; the object is the one at `index` there, if it has that number.
std::optional<Object> Document::fromObjectStream(uint32_t stream, uint32_t index, uint32_t number)
{
    auto cached = m_objectStreams.find(stream);
    if (cached == m_objectStreams.end()) {
        const Entry entry = entryOf(stream);
        const std::optional<Object> holder = entry.type == 1 ? objectAt(entry.where, stream, 1) : std::nullopt;
        if (!holder || !holder->stream)
            return std::nullopt;
        ObjectStream held;
        const Decoded decoded = decode(*holder, kMaxObjectStreamBytes, &held.data);
        if (decoded == Decoded::OverCap || !spend(held.data.size()))
            m_overLimit = true;
        const Value* first = holder->value.get("First");
        const Value* count = holder->value.get("N");
        if (decoded != Decoded::Whole || !first || !count || first->number < 0 || first->number > held.data.size()
            || count->number < 0 || count->number > 1'000'000)
            return std::nullopt;
        held.first = Whole(first->number);
        Lexer lexer(held.data);
        for (qint64 i = 0; i < Whole(count->number); ++i) {
            const Lexer::Token n = lexer.next(), offset = lexer.next();
            if (n.type != Lexer::Type::Number || offset.type != Lexer::Type::Number || lexer.at() > held.first)
                break;
            held.objects.emplace_back(uint32_t(std::clamp<qint64>(Whole(n.number), 0, 0xFFFFFFFF)),
                                      Whole(offset.number));
        }
        qint64 total = held.data.size();
        for (const auto& [key, other] : m_objectStreams)
            total += other.data.size();
        if (total > kMaxCachedObjectStreams)
            m_objectStreams.clear();
        cached = m_objectStreams.emplace(stream, std::move(held)).first;
    }
    const ObjectStream& held = cached->second;
    if (index >= held.objects.size() || held.objects[index].first != number)
        return std::nullopt;
    const qint64 at = held.first + held.objects[index].second;
    if (held.objects[index].second < 0 || at >= held.data.size())
        return std::nullopt;
    Lexer lexer(held.data, at);
    Object object;
    int budget = kMaxValues;
    if (!ParseValue(lexer, object.value, budget)) {
        m_overLimit = m_overLimit || budget < 0;
        return std::nullopt;
    }
    return object;
}

std::optional<Value> Document::resolve(const Value& value)
{
    if (value.kind != Value::Kind::Reference)
        return value;
    std::optional<Object> found = object(value.object);
    for (int i = 0; i < 4 && found && found->value.kind == Value::Kind::Reference; ++i)
        found = object(found->value.object);
    if (!found)
        return std::nullopt;
    return std::move(found->value);
}

Decoded Document::decode(const Object& stream, qint64 cap, QByteArray* out, qint64* length)
{
    // Cross-reference streams are never encrypted; anything else may be.
    const Value* type = stream.value.get("Type");
    if (encrypted() && !(type && type->isName("XRef")))
        return Decoded::Unknown;
    std::vector<QByteArray> filters;
    std::optional<Value> filter = resolve(stream.value.get("Filter") ? *stream.value.get("Filter") : Value());
    if (filter && filter->kind == Value::Kind::Name)
        filters.push_back(filter->text);
    else if (filter && filter->kind == Value::Kind::Array)
        for (const Value& v : filter->items)
            filters.push_back(v.text);
    for (QByteArray& name : filters) {
        if (name == "Fl")
            name = "FlateDecode";
        else if (name == "AHx")
            name = "ASCIIHexDecode";
        else if (name == "A85")
            name = "ASCII85Decode";
        if (name != "FlateDecode" && name != "ASCIIHexDecode" && name != "ASCII85Decode")
            return Decoded::Unknown;
    }
    const bool streamed = out == nullptr && (filters.empty() || filters == std::vector<QByteArray>{"FlateDecode"});
    QByteArray data;
    qint64 produced = 0;
    if (streamed && filters.empty()) {
        produced = stream.dataLength;
    } else if (streamed) {
        // Inflated in small steps and only counted: a bomb is never held
        // (a kilobyte inflates to a megabyte at most).
        Inflater inflater(cap);
        constexpr qint64 kStep = 1024;
        for (qint64 at = 0; at < stream.dataLength && !inflater.finished(); at += kStep) {
            qint64 got = 0;
            const char* chunk = m_file.peek(stream.dataAt + at, std::min(kStep, stream.dataLength - at), &got);
            if (!chunk || got == 0)
                return Decoded::Damaged;
            QByteArray piece;
            const bool fed = inflater.feed(QByteArray::fromRawData(chunk, qsizetype(got)), piece);
            produced += piece.size();
            if (inflater.overCap())
                return Decoded::OverCap;
            if (!fed)
                break; // damaged from here on; poppler draws what came before
        }
    } else {
        const std::optional<QByteArray> raw = m_file.read(stream.dataAt, stream.dataLength);
        if (!raw)
            return Decoded::Damaged;
        data = *raw;
        for (const QByteArray& name : filters) {
            if (name == "ASCIIHexDecode") {
                data = FromHex(data);
            } else if (name == "ASCII85Decode") {
                data = FromAscii85(data);
            } else {
                Inflater inflater(cap);
                QByteArray inflated;
                const bool fed = inflater.feed(data, inflated);
                if (inflater.overCap())
                    return Decoded::OverCap;
                if (!fed && inflated.isEmpty())
                    return Decoded::Damaged;
                data = std::move(inflated);
            }
        }
        if (data.size() > cap)
            return Decoded::OverCap;
        const Value* parameters = stream.value.get("DecodeParms");
        if (parameters && parameters->kind == Value::Kind::Array && !parameters->items.empty())
            parameters = &parameters->items.back();
        const Value* predictor = parameters ? parameters->get("Predictor") : nullptr;
        if (out && predictor && predictor->number >= 10) {
            const Value* columns = parameters->get("Columns");
            const std::optional<QByteArray> plain = Unpredicted(data, columns ? Whole(columns->number) : 1);
            if (!plain)
                return Decoded::Damaged;
            data = *plain;
        }
        produced = data.size();
    }
    if (produced > cap)
        return Decoded::OverCap;
    if (length)
        *length = produced;
    if (out)
        *out = std::move(data);
    return Decoded::Whole;
}

} // namespace pictomat::pdf
