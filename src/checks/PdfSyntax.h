#pragma once

#include "checks/PdfObjects.h"

#include <QByteArray>

#include <algorithm>
#include <optional>

// PDF's syntax over bytes in memory: its tokens, its values, and the
// filters undone here besides deflate.

namespace pictomat::pdf {

// PDF's tokens over bytes in memory. `incomplete` is set when the bytes end
// inside what is being read, so that the caller may read more.
class Lexer {
public:
    enum class Type { End, Number, Name, String, Open, Close, DictOpen, DictClose, Keyword };
    struct Token {
        Type type = Type::End;
        QByteArrayView text;
        double number = 0;
        bool integer = false;
    };

    Lexer(QByteArrayView bytes, qint64 at = 0) : m_bytes(bytes), m_at(at) { }
    qint64 at() const { return m_at; }
    void seek(qint64 at) { m_at = at; }
    bool incomplete() const { return m_incomplete; }

    // White space and comments.
    void skipSpace();
    Token next();

private:
    bool skipLiteral();

    QByteArrayView m_bytes;
    qint64 m_at = 0;
    bool m_incomplete = false;
};

// A number from a file (always finite) as a whole number, within what any
// offset or count in a file can be.
inline qint64 Whole(double number)
{
    return qint64(std::clamp(number, -9e15, 9e15));
}

// One value from the lexer's place, at most `budget` values in all (each
// item of an array or dictionary counts); false when the bytes hold none,
// or end first (see Lexer::incomplete).
bool ParseValue(Lexer& lexer, Value& out, int& budget);

// The end of the line that follows "stream": CR LF, LF, or (leniently) CR.
qint64 AfterEndOfLine(QByteArrayView bytes, qint64 at);

// Undoes a PNG predictor (Predictor 10 and up) with one byte a pixel, as
// cross-reference streams use it.
std::optional<QByteArray> Unpredicted(const QByteArray& data, qint64 columns);

// ASCIIHexDecode: pairs of hex digits up to '>', white space between.
QByteArray FromHex(QByteArrayView text);
// ASCII85Decode: five characters for four bytes, 'z' for four zeros, up to "~>".
QByteArray FromAscii85(QByteArrayView text);

} // namespace pictomat::pdf
