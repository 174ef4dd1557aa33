#pragma once

#include <QByteArray>
#include <QString>

namespace pictomat {

// Decodes Mac OS Roman text. Every byte has a character, so decoding never
// fails: this is the last resort for web pages that are not UTF-8.
QString decodeMacRoman(const QByteArray& bytes);

} // namespace pictomat
