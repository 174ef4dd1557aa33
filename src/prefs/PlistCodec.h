#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QVariant>

namespace pictomat::prefs::plist {

struct ParseResult {
    bool ok = false;
    QMap<QString, QVariant> values;
    QString error;  // where and why the text is not a property list
};

// Reads an XML property list whose top object is a dictionary. Booleans,
// integers, reals and strings become bool, qint64, double and QString; every
// other value (and an integer too wide for 64 bits) is kept as its XML text in
// a PreferenceStore::OpaqueValue so that a rewrite reproduces it.
ParseResult Parse(const QByteArray& bytes);

// The property list text for a dictionary of such values, with the standard
// DOCTYPE, keys in sorted order.
QByteArray Serialize(const QMap<QString, QVariant>& values);

// Whether a string can be stored: XML 1.0 cannot carry most control
// characters, and an unpaired surrogate has no UTF-8 form.
bool IsStorableText(const QString& text);

} // namespace pictomat::prefs::plist
