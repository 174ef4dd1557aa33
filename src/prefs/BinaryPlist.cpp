#include "prefs/PlistCodec.h"

#include "prefs/PreferenceStore.h"

#include <plist/plist.h>

#include <cstdlib>
#include <limits>
#include <memory>
#include <optional>

// Binary property lists (written by tools that prefer them, or by a
// preference file synchronised from elsewhere) are read through libplist and
// turned into the same values the XML reader gives: the four kinds our
// readers use as themselves, everything else as the XML element a rewrite
// puts back, so that the next write turns the file into XML with every
// value kept.

namespace pictomat::prefs::plist {

namespace {

using Opaque = PreferenceStore::OpaqueValue;

// Nesting beyond this is no settings file; it is refused rather than walked.
constexpr int kMaxDepth = 512;

struct PlistDeleter {
    void operator()(void* node) const { plist_free(static_cast<plist_t>(node)); }
};
using PlistPtr = std::unique_ptr<void, PlistDeleter>;

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <typename T> using Malloced = std::unique_ptr<T, FreeDeleter>;

struct XmlTextDeleter {
    void operator()(char* text) const { plist_to_xml_free(text); }
};

// The kind of an opaque value: the name of the XML element that holds it.
const char* kindName(plist_type type)
{
    switch (type) {
    case PLIST_UINT: return "integer";
    case PLIST_ARRAY: return "array";
    case PLIST_DICT: return "dict";
    case PLIST_DATE: return "date";
    case PLIST_DATA: return "data";
    case PLIST_UID: return "dict";  // the element it is written as
    default: return "";
    }
}

// What libplist's own XML writer makes of one value, as the bare element.
// Used where its getters say less than its writer: a 64-bit integer with the
// top bit set may be negative or an unsigned value beyond 2^63, and a date
// more than 68 years from 2001 does not fit the getter's seconds.
QByteArray libplistElement(plist_t node)
{
    const PlistPtr copy(plist_copy(node));
    char* raw = nullptr;
    uint32_t length = 0;
    plist_to_xml(copy.get(), &raw, &length);
    const std::unique_ptr<char, XmlTextDeleter> text(raw);
    if (!raw)
        return {};
    const QByteArray xml(raw, qsizetype(length));
    const qsizetype open = xml.indexOf("<plist");
    const qsizetype start = open < 0 ? -1 : xml.indexOf('>', open);
    const qsizetype end = xml.lastIndexOf("</plist>");
    if (start < 0 || end <= start)
        return {};
    return xml.mid(start + 1, end - start - 1).trimmed();
}

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

// libplist aborts the whole program (an assertion) when it is asked for a
// dictionary key that holds a NUL, so such a file is found damaged before it
// gets there: every text object is looked at through the offset table. No
// setting is text with a NUL, and XML could not hold one anyway.
bool holdsTextWithNul(const QByteArray& bytes)
{
    constexpr uint64_t kTrailer = 32;
    if (uint64_t(bytes.size()) < 8 + kTrailer)
        return false;  // too short to be read at all; libplist says so
    const uint64_t trailer = uint64_t(bytes.size()) - kTrailer;
    const uint64_t offsetSize = uint8_t(bytes[qsizetype(trailer + 6)]);
    const std::optional<uint64_t> count = bigEndian(bytes, trailer + 8, 8);
    const std::optional<uint64_t> table = bigEndian(bytes, trailer + 24, 8);
    if (!count || !table || offsetSize == 0 || offsetSize > 8 || *count > uint64_t(bytes.size()))
        return false;
    for (uint64_t i = 0; i < *count; ++i) {
        const std::optional<uint64_t> at = bigEndian(bytes, *table + i * offsetSize, offsetSize);
        if (!at || *at >= trailer)
            continue;  // libplist finds no object there either
        const uint8_t marker = uint8_t(bytes[qsizetype(*at)]);
        const unsigned kind = marker >> 4;
        if (kind != 0x5 && kind != 0x6)
            continue;  // neither ASCII nor UTF-16 text
        uint64_t length = marker & 0x0F;
        uint64_t start = *at + 1;
        if (length == 0x0F) {
            // The length follows as an integer object of 1, 2, 4 or 8 bytes.
            const std::optional<uint64_t> intMarker = bigEndian(bytes, start, 1);
            if (!intMarker || (*intMarker >> 4) != 0x1 || (*intMarker & 0x0F) > 3)
                continue;
            const uint64_t width = uint64_t(1) << (*intMarker & 0x0F);
            const std::optional<uint64_t> n = bigEndian(bytes, start + 1, width);
            if (!n)
                continue;
            length = *n;
            start += 1 + width;
        }
        const uint64_t unit = kind == 0x6 ? 2 : 1;
        if (length > trailer || start > trailer || length * unit > trailer - start)
            continue;
        for (uint64_t j = 0; j < length; ++j) {
            const qsizetype first = qsizetype(start + j * unit);
            if (bytes[first] == 0 && (unit == 1 || bytes[first + 1] == 0))
                return true;
        }
    }
    return false;
}

class BinaryReader {
public:
    ParseResult run(const QByteArray& bytes)
    {
        ParseResult result;
        if (bytes.size() > qsizetype(std::numeric_limits<uint32_t>::max())) {
            result.error = QStringLiteral("the binary property list is too large");
            return result;
        }
        if (holdsTextWithNul(bytes)) {
            result.error = QStringLiteral("the binary property list holds text with a NUL character");
            return result;
        }
        plist_t raw = nullptr;
        plist_from_bin(bytes.constData(), uint32_t(bytes.size()), &raw);
        const PlistPtr root(raw);
        if (!raw) {
            result.error = QStringLiteral("the binary property list is damaged");
            return result;
        }
        if (plist_get_node_type(raw) != PLIST_DICT) {
            result.error = QStringLiteral("the top object of the binary property list is not a dictionary");
            return result;
        }
        bool ok = true;
        forEachEntry(raw, [&](const QString& key, plist_t value) {
            if (ok)
                ok = readTopValue(key, value, result.values);
        });
        if (!ok) {
            result.error = m_error;
            return result;
        }
        result.ok = true;
        result.lossy = m_lossy;
        return result;
    }

private:
    template <typename Visit> void forEachEntry(plist_t dict, Visit visit)
    {
        plist_dict_iter raw = nullptr;
        plist_dict_new_iter(dict, &raw);
        const Malloced<void> iter(raw);
        for (;;) {
            char* rawKey = nullptr;
            plist_t value = nullptr;
            plist_dict_next_item(dict, raw, &rawKey, &value);
            const Malloced<char> key(rawKey);
            if (!value)
                return;
            visit(storableText(rawKey ? QString::fromUtf8(rawKey) : QString()), value);
        }
    }

    // Text as XML can hold it; what it cannot (control characters) becomes
    // U+FFFD, and the file is kept as it was before the first rewrite.
    QString storableText(QString text)
    {
        if (IsStorableText(text))
            return text;
        note(QStringLiteral("text with characters that an XML property list cannot hold"));
        QString kept;
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar c = text.at(i);
            if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
                kept += c;
                kept += text.at(++i);
            } else {
                kept += IsStorableText(QString(c)) ? c : QChar(QChar::ReplacementCharacter);
            }
        }
        return kept;
    }

    void note(const QString& what)
    {
        if (m_lossy.isEmpty())
            m_lossy = what;
    }

    bool fail(const QString& why)
    {
        if (m_error.isEmpty())
            m_error = why;
        return false;
    }

    bool readTopValue(const QString& key, plist_t node, QMap<QString, QVariant>& values)
    {
        switch (plist_get_node_type(node)) {
        case PLIST_BOOLEAN:
            values.insert(key, plist_bool_val_is_true(node) != 0);
            return true;
        case PLIST_REAL: {
            double d = 0;
            plist_get_real_val(node, &d);
            values.insert(key, d);
            return true;
        }
        case PLIST_STRING:
            values.insert(key, string(node));
            return true;
        case PLIST_UINT: {
            uint64_t u = 0;
            plist_get_uint_val(node, &u);
            if (u <= uint64_t(std::numeric_limits<qint64>::max())) {
                values.insert(key, qint64(u));
                return true;
            }
            const QByteArray element = libplistElement(node);
            if (element.startsWith("<integer>-")) {
                values.insert(key, qint64(u));  // a negative number, as two's complement
                return true;
            }
            break;
        }
        default:
            break;
        }
        QByteArray xml;
        if (!appendElement(xml, node, 0))
            return false;
        values.insert(key, QVariant::fromValue(Opaque{xml, QString::fromLatin1(kindName(plist_get_node_type(node)))}));
        return true;
    }

    QString string(plist_t node)
    {
        uint64_t length = 0;
        const char* text = plist_get_string_ptr(node, &length);
        return storableText(text ? QString::fromUtf8(text, qsizetype(length)) : QString());
    }

    // The value as the XML element that means the same to every reader;
    // nested values on lines of their own, indented like the rest of the file.
    bool appendElement(QByteArray& out, plist_t node, int depth)
    {
        if (depth > kMaxDepth)
            return fail(QStringLiteral("the binary property list nests deeper than %1 levels").arg(kMaxDepth));
        const QByteArray indent(depth + 1, '\t');
        switch (plist_get_node_type(node)) {
        case PLIST_BOOLEAN:
            out += plist_bool_val_is_true(node) ? "<true/>" : "<false/>";
            return true;
        case PLIST_UINT: {
            uint64_t u = 0;
            plist_get_uint_val(node, &u);
            if (u <= uint64_t(std::numeric_limits<qint64>::max())) {
                out += "<integer>" + QByteArray::number(qulonglong(u)) + "</integer>";
                return true;
            }
            const QByteArray element = libplistElement(node);
            if (!element.startsWith("<integer>"))
                return fail(QStringLiteral("an integer in the binary property list cannot be read"));
            out += element;
            return true;
        }
        case PLIST_REAL: {
            double d = 0;
            plist_get_real_val(node, &d);
            out += "<real>" + RealText(d) + "</real>";
            return true;
        }
        case PLIST_STRING:
            out += "<string>";
            AppendEscaped(out, string(node));
            out += "</string>";
            return true;
        case PLIST_DATE: {
            int32_t seconds = 0;
            int32_t micro = 0;
            plist_get_date_val(node, &seconds, &micro);
            // XML dates hold whole seconds; every reader agrees on no finer form.
            if (micro != 0)
                note(QStringLiteral("a date with a fraction of a second"));
            const QByteArray element = libplistElement(node);
            if (!element.startsWith("<date>"))
                return fail(QStringLiteral("a date in the binary property list cannot be read"));
            out += element;
            return true;
        }
        case PLIST_DATA: {
            uint64_t length = 0;
            const char* bytes = plist_get_data_ptr(node, &length);
            out += "<data>" + QByteArray(bytes, qsizetype(length)).toBase64() + "</data>";
            return true;
        }
        case PLIST_UID: {
            // A keyed archive's object reference. XML property lists have no
            // element for it that plistlib reads; the one-key dictionary is
            // the form keyed archives and plistutil use there.
            uint64_t uid = 0;
            plist_get_uid_val(node, &uid);
            out += "<dict>\n" + indent + "\t<key>CF$UID</key>\n" + indent + "\t<integer>"
                   + QByteArray::number(qulonglong(uid)) + "</integer>\n" + indent + "</dict>";
            return true;
        }
        case PLIST_ARRAY: {
            const uint32_t size = plist_array_get_size(node);
            if (size == 0) {
                out += "<array/>";
                return true;
            }
            out += "<array>\n";
            for (uint32_t i = 0; i < size; ++i) {
                out += indent + '\t';
                if (!appendElement(out, plist_array_get_item(node, i), depth + 1))
                    return false;
                out += '\n';
            }
            out += indent + "</array>";
            return true;
        }
        case PLIST_DICT: {
            if (plist_dict_get_size(node) == 0) {
                out += "<dict/>";
                return true;
            }
            out += "<dict>\n";
            bool ok = true;
            forEachEntry(node, [&](const QString& key, plist_t value) {
                if (!ok)
                    return;
                out += indent + "\t<key>";
                AppendEscaped(out, key);
                out += "</key>\n" + indent + '\t';
                ok = appendElement(out, value, depth + 1);
                out += '\n';
            });
            out += indent + "</dict>";
            return ok;
        }
        default:
            return fail(QStringLiteral("the binary property list holds a value of an unknown kind"));
        }
    }

    QString m_error;
    QString m_lossy;
};

} // namespace

bool IsBinary(const QByteArray& bytes)
{
    return bytes.startsWith("bplist");
}

ParseResult ParseBinary(const QByteArray& bytes)
{
    return BinaryReader().run(bytes);
}

} // namespace pictomat::prefs::plist
