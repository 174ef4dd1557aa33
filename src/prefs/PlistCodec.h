#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QVariant>

#include <cstddef>
#include <cstdint>

namespace pictomat::prefs::plist {

struct ParseResult {
    bool ok = false;
    QMap<QString, QVariant> values;
    QString error; // where and why the text is not a property list
    // What an XML rewrite of these values cannot hold exactly (a binary
    // file's fractions of a second, control characters); empty when nothing.
    QString lossy;
};

// Reads a property list whose top object is a dictionary, binary or XML.
// Booleans, integers, reals and strings become bool, qint64, double and
// QString; every other value (and an integer too wide for 64 bits) is kept as
// its XML text in a PreferenceStore::OpaqueValue so that a rewrite reproduces
// it: byte for byte when it came from XML.
ParseResult Parse(const QByteArray& bytes);
ParseResult ParseXml(const QByteArray& bytes);
ParseResult ParseBinary(const QByteArray& bytes);
bool IsBinary(const QByteArray& bytes);

// What a binary property list may hold before it is parsed: containers
// nested at most this deep, and at most this many values once every
// reference is unfolded (an object referred to twice counts twice).
inline constexpr size_t kMaxBinaryDepth = 512;
inline constexpr uint64_t kMaxBinaryValues = 65536;
// Why a binary property list must not be parsed, or nothing when its
// structure is sound: every offset and reference inside the file, no cycle,
// no text holding a NUL, and the limits above. Time and memory linear in
// the file's size, whatever it holds.
QString CheckBinaryStructure(const QByteArray& bytes);

// The property list text for a dictionary of such values, with the standard
// DOCTYPE, keys in sorted order.
QByteArray Serialize(const QMap<QString, QVariant>& values);

// Whether a string can be stored: XML 1.0 cannot carry most control
// characters, and an unpaired surrogate has no UTF-8 form.
bool IsStorableText(const QString& text);

// Element text shared by both readers and the writer: markup and carriage
// returns escaped, reals in their shortest exact form.
void AppendEscaped(QByteArray& out, const QString& text);
QByteArray RealText(double d);

} // namespace pictomat::prefs::plist
