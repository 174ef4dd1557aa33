#include "platform/DesktopEntryText.h"

namespace pictomat::DesktopEntryText {

namespace {

bool sameName(const QByteArray& a, const QByteArray& b, bool ignoreCase)
{
    return ignoreCase ? a.compare(b, Qt::CaseInsensitive) == 0 : a == b;
}

bool inGroupNamed(const QByteArray& line, const QByteArray& group, bool ignoreCase, bool* inGroup)
{
    const std::optional<QByteArray> name = GroupOf(line);
    if (!name)
        return false;
    *inGroup = sameName(*name, group, ignoreCase);
    return true;
}

QByteArray lineEnd(const QByteArray& line)
{
    return line.endsWith("\r\n") ? QByteArray("\r\n") : QByteArray("\n");
}

} // namespace

QList<QByteArray> Lines(const QByteArray& text)
{
    QList<QByteArray> lines;
    qsizetype from = 0;
    while (from < text.size()) {
        const qsizetype nl = text.indexOf('\n', from);
        const qsizetype to = nl < 0 ? text.size() : nl + 1;
        lines.append(text.mid(from, to - from));
        from = to;
    }
    return lines;
}

std::optional<QByteArray> GroupOf(const QByteArray& line)
{
    const QByteArray t = line.trimmed();
    if (t.size() < 2 || !t.startsWith('[') || !t.endsWith(']'))
        return std::nullopt;
    return t.mid(1, t.size() - 2);
}

QByteArray KeyOf(const QByteArray& line)
{
    const QByteArray t = line.trimmed();
    if (t.isEmpty() || t.startsWith('#') || t.startsWith(';') || GroupOf(t))
        return {};
    const qsizetype eq = t.indexOf('=');
    return eq < 0 ? QByteArray() : t.left(eq).trimmed();
}

QByteArray ValueOf(const QByteArray& line)
{
    const QByteArray t = line.trimmed();
    const QByteArray raw = t.mid(t.indexOf('=') + 1).trimmed();
    QByteArray value;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        if (raw[i] != '\\' || i + 1 == raw.size()) {
            value += raw[i];
            continue;
        }
        const char c = raw[++i];
        value += c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c == 's' ? ' ' : c;
    }
    return value;
}

QByteArray Escaped(const QByteArray& value)
{
    QByteArray out;
    for (const char c : value) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        case '\r': out += "\\r"; break;
        default: out += c;
        }
    }
    return out;
}

std::optional<QByteArray> FirstGroup(const QByteArray& text)
{
    for (const QByteArray& line : Lines(text)) {
        const QByteArray t = line.trimmed();
        if (t.isEmpty() || t.startsWith('#'))
            continue;
        return GroupOf(t);
    }
    return std::nullopt;
}

bool HasGroup(const QByteArray& text, const QByteArray& group, bool ignoreCase)
{
    for (const QByteArray& line : Lines(text)) {
        const std::optional<QByteArray> name = GroupOf(line);
        if (name && sameName(*name, group, ignoreCase))
            return true;
    }
    return false;
}

std::optional<QByteArray> Value(const QByteArray& text, const QByteArray& group, const QByteArray& key, bool ignoreCase)
{
    bool inGroup = false;
    for (const QByteArray& line : Lines(text)) {
        if (inGroupNamed(line, group, ignoreCase, &inGroup) || !inGroup)
            continue;
        if (sameName(KeyOf(line), key, ignoreCase))
            return ValueOf(line);
    }
    return std::nullopt;
}

std::optional<QByteArray> WithValue(const QByteArray& text, const QByteArray& group, const QByteArray& key,
                                    const QByteArray& value)
{
    QList<QByteArray> lines = Lines(text);
    const QByteArray entry = key + '=' + Escaped(value);
    bool inGroup = false;
    bool seen = false;
    qsizetype insertAt = -1;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (inGroupNamed(lines[i], group, false, &inGroup)) {
            // Only the first group of the name takes a new line.
            if (inGroup && seen)
                break;
            if (inGroup) {
                seen = true;
                insertAt = i + 1;
            } else if (seen) {
                break;
            }
            continue;
        }
        if (!inGroup)
            continue;
        if (KeyOf(lines[i]) == key) {
            lines[i] = entry + (lines[i].endsWith('\n') ? lineEnd(lines[i]) : QByteArray());
            return lines.join();
        }
        if (!lines[i].trimmed().isEmpty())
            insertAt = i + 1;
    }
    if (insertAt < 0)
        return std::nullopt;
    QByteArray& before = lines[insertAt - 1];
    const QByteArray end = lineEnd(before);
    if (!before.endsWith('\n'))
        before += end;
    lines.insert(insertAt, entry + end);
    return lines.join();
}

std::optional<QByteArray> WithoutKey(const QByteArray& text, const QByteArray& group, const QByteArray& key)
{
    QList<QByteArray> lines = Lines(text);
    bool inGroup = false;
    bool removed = false;
    for (qsizetype i = 0; i < lines.size();) {
        if (!inGroupNamed(lines[i], group, false, &inGroup) && inGroup && KeyOf(lines[i]) == key) {
            lines.removeAt(i);
            removed = true;
            continue;
        }
        ++i;
    }
    if (!removed)
        return std::nullopt;
    return lines.join();
}

} // namespace pictomat::DesktopEntryText
