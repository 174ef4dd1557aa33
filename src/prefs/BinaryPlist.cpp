#include "prefs/PlistCodec.h"

#include "files/SharedLibrary.h"
#include "prefs/PreferenceStore.h"
#include "prefs/PrefsLibraries.h"

#include <plist/plist.h>

#include <cstdlib>
#include <limits>
#include <memory>

// Binary property lists (written by tools that prefer them, or by a
// preference file synchronised from elsewhere) are read through libplist and
// turned into the same values the XML reader gives: the four kinds our
// readers use as themselves, everything else as the XML element a rewrite
// puts back, so that the next write turns the file into XML with every
// value kept.

namespace pictomat::prefs::plist {

namespace {

using Opaque = PreferenceStore::OpaqueValue;

struct PlistLibrary {
    PICTOMAT_LIBRARY_TABLE(PICTOMAT_PLIST_FUNCTIONS)
};

struct PlistDeleter {
    const PlistLibrary* lib;
    void operator()(void* node) const { lib->plist_free(static_cast<plist_t>(node)); }
};
using PlistPtr = std::unique_ptr<void, PlistDeleter>;

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <typename T>
using Malloced = std::unique_ptr<T, FreeDeleter>;

struct XmlTextDeleter {
    const PlistLibrary* lib;
    void operator()(char* text) const { lib->plist_to_xml_free(text); }
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
    case PLIST_UID: return "dict"; // the element it is written as
    default: return "";
    }
}

// What libplist's own XML writer makes of one value, as the bare element.
// Used where its getters say less than its writer: a 64-bit integer with the
// top bit set may be negative or an unsigned value beyond 2^63, and a date
// more than 68 years from 2001 does not fit the getter's seconds.
QByteArray libplistElement(const PlistLibrary& lib, plist_t node)
{
    const PlistPtr copy(lib.plist_copy(node), {&lib});
    char* raw = nullptr;
    uint32_t length = 0;
    lib.plist_to_xml(copy.get(), &raw, &length);
    const std::unique_ptr<char, XmlTextDeleter> text(raw, {&lib});
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

class BinaryReader {
public:
    explicit BinaryReader(const PlistLibrary& lib) : m_lib(lib) { }

    ParseResult run(const QByteArray& bytes)
    {
        ParseResult result;
        if (bytes.size() > qsizetype(std::numeric_limits<uint32_t>::max())) {
            result.error = QStringLiteral("the binary property list is too large");
            return result;
        }
        // libplist is safe only on a sound structure (see BinaryPlistCheck.cpp).
        if (const QString why = CheckBinaryStructure(bytes); !why.isEmpty()) {
            result.error = why;
            return result;
        }
        plist_t raw = nullptr;
        m_lib.plist_from_bin(bytes.constData(), uint32_t(bytes.size()), &raw);
        const PlistPtr root(raw, {&m_lib});
        if (!raw) {
            result.error = QStringLiteral("the binary property list is damaged");
            return result;
        }
        if (m_lib.plist_get_node_type(raw) != PLIST_DICT) {
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
    template <typename Visit>
    void forEachEntry(plist_t dict, Visit visit)
    {
        plist_dict_iter raw = nullptr;
        m_lib.plist_dict_new_iter(dict, &raw);
        const Malloced<void> iter(raw);
        for (;;) {
            char* rawKey = nullptr;
            plist_t value = nullptr;
            m_lib.plist_dict_next_item(dict, raw, &rawKey, &value);
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
        switch (m_lib.plist_get_node_type(node)) {
        case PLIST_BOOLEAN: values.insert(key, m_lib.plist_bool_val_is_true(node) != 0); return true;
        case PLIST_REAL: {
            double d = 0;
            m_lib.plist_get_real_val(node, &d);
            values.insert(key, d);
            return true;
        }
        case PLIST_STRING: values.insert(key, string(node)); return true;
        case PLIST_UINT: {
            uint64_t u = 0;
            m_lib.plist_get_uint_val(node, &u);
            if (u <= uint64_t(std::numeric_limits<qint64>::max())) {
                values.insert(key, qint64(u));
                return true;
            }
            const QByteArray element = libplistElement(m_lib, node);
            if (element.startsWith("<integer>-")) {
                values.insert(key, qint64(u)); // a negative number, as two's complement
                return true;
            }
            break;
        }
        default: break;
        }
        QByteArray xml;
        if (!appendElement(xml, node, 0))
            return false;
        values.insert(key,
                      QVariant::fromValue(Opaque{xml, QString::fromLatin1(kindName(m_lib.plist_get_node_type(node)))}));
        return true;
    }

    QString string(plist_t node)
    {
        uint64_t length = 0;
        const char* text = m_lib.plist_get_string_ptr(node, &length);
        return storableText(text ? QString::fromUtf8(text, qsizetype(length)) : QString());
    }

    // The value as the XML element that means the same to every reader;
    // nested values on lines of their own, indented like the rest of the file.
    bool appendElement(QByteArray& out, plist_t node, int depth)
    {
        const QByteArray indent(depth + 1, '\t');
        switch (m_lib.plist_get_node_type(node)) {
        case PLIST_BOOLEAN: out += m_lib.plist_bool_val_is_true(node) ? "<true/>" : "<false/>"; return true;
        case PLIST_UINT: {
            uint64_t u = 0;
            m_lib.plist_get_uint_val(node, &u);
            if (u <= uint64_t(std::numeric_limits<qint64>::max())) {
                out += "<integer>" + QByteArray::number(qulonglong(u)) + "</integer>";
                return true;
            }
            const QByteArray element = libplistElement(m_lib, node);
            if (!element.startsWith("<integer>"))
                return fail(QStringLiteral("an integer in the binary property list cannot be read"));
            out += element;
            return true;
        }
        case PLIST_REAL: {
            double d = 0;
            m_lib.plist_get_real_val(node, &d);
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
            m_lib.plist_get_date_val(node, &seconds, &micro);
            // XML dates hold whole seconds; every reader agrees on no finer form.
            if (micro != 0)
                note(QStringLiteral("a date with a fraction of a second"));
            const QByteArray element = libplistElement(m_lib, node);
            if (!element.startsWith("<date>"))
                return fail(QStringLiteral("a date in the binary property list cannot be read"));
            out += element;
            return true;
        }
        case PLIST_DATA: {
            uint64_t length = 0;
            const char* bytes = m_lib.plist_get_data_ptr(node, &length);
            out += "<data>" + QByteArray(bytes, qsizetype(length)).toBase64() + "</data>";
            return true;
        }
        case PLIST_UID: {
            // A keyed archive's object reference. XML property lists have no
            // element for it that plistlib reads; the one-key dictionary is
            // the form keyed archives and plistutil use there.
            uint64_t uid = 0;
            m_lib.plist_get_uid_val(node, &uid);
            out += "<dict>\n" + indent + "\t<key>CF$UID</key>\n" + indent + "\t<integer>"
                   + QByteArray::number(qulonglong(uid)) + "</integer>\n" + indent + "</dict>";
            return true;
        }
        case PLIST_ARRAY: {
            const uint32_t size = m_lib.plist_array_get_size(node);
            if (size == 0) {
                out += "<array/>";
                return true;
            }
            out += "<array>\n";
            // By iterator: libplist finds an item by index only by walking
            // the items before it, which made a long array take seconds.
            plist_array_iter raw = nullptr;
            m_lib.plist_array_new_iter(node, &raw);
            const Malloced<void> iter(raw);
            for (uint32_t i = 0; i < size; ++i) {
                plist_t item = nullptr;
                m_lib.plist_array_next_item(node, raw, &item);
                out += indent + '\t';
                if (!item || !appendElement(out, item, depth + 1))
                    return item ? false : fail(QStringLiteral("the binary property list is damaged"));
                out += '\n';
            }
            out += indent + "</array>";
            return true;
        }
        case PLIST_DICT: {
            if (m_lib.plist_dict_get_size(node) == 0) {
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
        default: return fail(QStringLiteral("the binary property list holds a value of an unknown kind"));
        }
    }

    const PlistLibrary& m_lib;
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
    // libplist is opened with the first binary property list: most users never meet one.
    const PlistLibrary* lib = LoadLibrary<PlistLibrary>(PICTOMAT_LIBRARY_PLIST);
    if (!lib) {
        ParseResult result;
        result.error = QStringLiteral("binary property lists cannot be read here (libplist is missing)");
        return result;
    }
    return BinaryReader(*lib).run(bytes);
}

} // namespace pictomat::prefs::plist
