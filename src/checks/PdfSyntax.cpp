#include "checks/PdfSyntax.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace pictomat::pdf {

namespace {

// Values nest no deeper in real files; poppler allows 500.
constexpr int kMaxNesting = 64;

bool isSpace(char c)
{
    return c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\f' || c == '\0';
}

bool isDelimiter(char c)
{
    return std::strchr("()<>[]{}/%", c) != nullptr && c != '\0';
}

bool isRegular(char c)
{
    return !isSpace(c) && !isDelimiter(c);
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// A name with its #xx escapes undone.
QByteArray nameOf(QByteArrayView text)
{
    QByteArray out;
    for (qint64 i = 0; i < text.size(); ++i) {
        if (text[i] == '#' && i + 2 < text.size() && hexDigit(text[i + 1]) >= 0 && hexDigit(text[i + 2]) >= 0) {
            out.append(char(hexDigit(text[i + 1]) * 16 + hexDigit(text[i + 2])));
            i += 2;
        } else {
            out.append(text[i]);
        }
    }
    return out;
}

// One value from the lexer's place; false when the bytes hold none (or end
// first: see Lexer::incomplete).
bool parse(Lexer& lexer, Value& out, int depth, int& budget)
{
    if (depth > kMaxNesting || --budget < 0)
        return false;
    const Lexer::Token t = lexer.next();
    switch (t.type) {
    case Lexer::Type::Number: {
        out.kind = Value::Kind::Number;
        out.number = t.number;
        if (!t.integer || t.number < 0)
            return true;
        // "12 0 R" is a reference.
        const qint64 back = lexer.at();
        const Lexer::Token generation = lexer.next();
        if (generation.type == Lexer::Type::Number && generation.integer) {
            const Lexer::Token r = lexer.next();
            if (r.type == Lexer::Type::Keyword && r.text == "R") {
                out.kind = Value::Kind::Reference;
                out.object = uint32_t(std::min(t.number, 4294967295.0));
                return true;
            }
        }
        lexer.seek(back);
        return true;
    }
    case Lexer::Type::Name:
        out.kind = Value::Kind::Name;
        out.text = nameOf(t.text);
        return true;
    case Lexer::Type::String:
        out.kind = Value::Kind::String;
        out.text = t.text.toByteArray();
        return true;
    case Lexer::Type::Open:
    case Lexer::Type::DictOpen: {
        const bool dictionary = t.type == Lexer::Type::DictOpen;
        out.kind = dictionary ? Value::Kind::Dictionary : Value::Kind::Array;
        const Lexer::Type close = dictionary ? Lexer::Type::DictClose : Lexer::Type::Close;
        for (;;) {
            const qint64 back = lexer.at();
            const Lexer::Token peek = lexer.next();
            if (peek.type == close)
                break;
            if (peek.type == Lexer::Type::End)
                return false;
            lexer.seek(back);
            Value item;
            if (!parse(lexer, item, depth + 1, budget))
                return false;
            out.items.push_back(std::move(item));
        }
        // A key without its value counts for nothing, as in poppler.
        if (dictionary && out.items.size() % 2)
            out.items.pop_back();
        return true;
    }
    case Lexer::Type::Keyword:
        if (t.text == "true" || t.text == "false") {
            out.kind = Value::Kind::Boolean;
            out.number = t.text == "true";
        }
        return t.text != "endobj" && t.text != "stream" && t.text != "obj";
    default: return false;
    }
}

} // namespace

void Lexer::skipSpace()
{
    while (m_at < m_bytes.size()) {
        const char c = m_bytes[m_at];
        if (c == '%') {
            while (m_at < m_bytes.size() && m_bytes[m_at] != '\n' && m_bytes[m_at] != '\r')
                ++m_at;
        } else if (isSpace(c)) {
            ++m_at;
        } else {
            return;
        }
    }
}

Lexer::Token Lexer::next()
{
    skipSpace();
    Token t;
    if (m_at >= m_bytes.size()) {
        m_incomplete = true;
        return t;
    }
    const qint64 start = m_at;
    const char c = m_bytes[m_at];
    if (c == '[' || c == ']') {
        ++m_at;
        t.type = c == '[' ? Type::Open : Type::Close;
    } else if (c == '<' || c == '>') {
        if (m_at + 1 >= m_bytes.size()) {
            m_incomplete = true;
            return t;
        }
        if (m_bytes[m_at + 1] == c) {
            m_at += 2;
            t.type = c == '<' ? Type::DictOpen : Type::DictClose;
        } else if (c == '<') {
            const qint64 end = m_bytes.indexOf('>', m_at);
            if (end < 0) {
                m_incomplete = true;
                return Token{};
            }
            m_at = end + 1;
            t.type = Type::String;
        } else {
            ++m_at;
            t.type = Type::Keyword; // a stray '>': no value
        }
    } else if (c == '(') {
        if (!skipLiteral())
            return Token{};
        t.type = Type::String;
    } else if (c == '/') {
        ++m_at;
        while (m_at < m_bytes.size() && isRegular(m_bytes[m_at]))
            ++m_at;
        t.type = Type::Name;
        t.text = m_bytes.sliced(start + 1, m_at - start - 1);
        return t;
    } else {
        while (m_at < m_bytes.size() && isRegular(m_bytes[m_at]))
            ++m_at;
        if (m_at == start)
            ++m_at; // '{', '}' or a stray ')': no value
        t.text = m_bytes.sliced(start, m_at - start);
        bool ok = false;
        t.number = QByteArray(t.text.data(), t.text.size()).toDouble(&ok);
        const bool numeric = std::isdigit(uchar(c)) || c == '-' || c == '+' || c == '.';
        t.type = ok && numeric && std::isfinite(t.number) ? Type::Number : Type::Keyword;
        t.integer = t.type == Type::Number && !t.text.contains('.');
        return t;
    }
    t.text = m_bytes.sliced(start, m_at - start);
    return t;
}

// A literal string: balanced parentheses, backslash escapes.
bool Lexer::skipLiteral()
{
    int depth = 0;
    for (; m_at < m_bytes.size(); ++m_at) {
        const char c = m_bytes[m_at];
        if (c == '\\') {
            ++m_at;
        } else if (c == '(') {
            ++depth;
        } else if (c == ')' && --depth == 0) {
            ++m_at;
            return true;
        }
    }
    m_incomplete = true;
    return false;
}

bool ParseValue(Lexer& lexer, Value& out, int& budget)
{
    return parse(lexer, out, 0, budget);
}

qint64 AfterEndOfLine(QByteArrayView bytes, qint64 at)
{
    if (at < bytes.size() && bytes[at] == '\r')
        ++at;
    if (at < bytes.size() && bytes[at] == '\n')
        ++at;
    return at;
}

std::optional<QByteArray> Unpredicted(const QByteArray& data, qint64 columns)
{
    if (columns <= 0 || columns > 1 << 16)
        return std::nullopt;
    const qint64 rowBytes = columns + 1;
    QByteArray out;
    QByteArray previous(qsizetype(columns), '\0');
    for (qint64 at = 0; at + rowBytes <= data.size(); at += rowBytes) {
        const int kind = uchar(data[at]);
        QByteArray row = data.mid(at + 1, columns);
        for (qint64 i = 0; i < columns; ++i) {
            const int left = i > 0 ? uchar(row[i - 1]) : 0, up = uchar(previous[i]);
            const int upLeft = i > 0 ? uchar(previous[i - 1]) : 0;
            int add = 0;
            switch (kind) {
            case 1: add = left; break;
            case 2: add = up; break;
            case 3: add = (left + up) / 2; break;
            case 4: {
                const int p = left + up - upLeft, pa = std::abs(p - left), pb = std::abs(p - up),
                          pc = std::abs(p - upLeft);
                add = pa <= pb && pa <= pc ? left : pb <= pc ? up : upLeft;
                break;
            }
            default: break;
            }
            row[i] = char(uchar(row[i]) + add);
        }
        out += row;
        previous = row;
    }
    return out;
}

QByteArray FromHex(QByteArrayView text)
{
    QByteArray out;
    int high = -1;
    for (const char c : text) {
        if (c == '>')
            break;
        const int digit = hexDigit(c);
        if (digit < 0)
            continue;
        if (high < 0) {
            high = digit;
        } else {
            out.append(char(high * 16 + digit));
            high = -1;
        }
    }
    if (high >= 0)
        out.append(char(high * 16));
    return out;
}

QByteArray FromAscii85(QByteArrayView text)
{
    QByteArray out;
    uint64_t group = 0;
    int count = 0;
    const auto flush = [&](int chars) {
        for (int i = chars; i < 5; ++i)
            group = group * 85 + 84;
        for (int i = 0; i < chars - 1; ++i)
            out.append(char(group >> (24 - 8 * i)));
    };
    for (const char c : text) {
        if (c == '~')
            break;
        if (c == 'z' && count == 0) {
            out.append(4, '\0');
        } else if (c >= '!' && c <= 'u') {
            group = group * 85 + uint64_t(c - '!');
            if (++count == 5) {
                flush(5);
                group = 0;
                count = 0;
            }
        }
    }
    if (count > 1)
        flush(count);
    return out;
}

const Value* Value::get(QByteArrayView key) const
{
    if (kind != Kind::Dictionary)
        return nullptr;
    for (size_t i = 0; i + 1 < items.size(); i += 2)
        if (items[i].text == key)
            return &items[i + 1];
    return nullptr;
}

} // namespace pictomat::pdf
