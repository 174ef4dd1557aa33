#pragma once

#include <QByteArray>
#include <QList>

#include <optional>

namespace pictomat {

// The text of key files as the desktop writes them: desktop entries, a
// folder's .directory, Windows' .url files. Read and edited line by line, so
// that an edit changes the one line it is about and keeps every other byte:
// comments, other groups, localised keys, line ends.
namespace DesktopEntryText {

// The lines of a text, each with its own line end (the last may have none).
QList<QByteArray> Lines(const QByteArray& text);
// "Desktop Entry" for the line "[Desktop Entry]"; nothing for other lines.
std::optional<QByteArray> GroupOf(const QByteArray& line);
// The key of an entry line ("Icon" for "Icon = x"); empty for anything else.
QByteArray KeyOf(const QByteArray& line);
// The value of an entry line, with the format's escapes (\s \n \t \r \\) undone.
QByteArray ValueOf(const QByteArray& line);
// A value with those escapes made.
QByteArray Escaped(const QByteArray& value);

// The first group's name: what kind of file this is. Blank lines and
// comments may come before it.
std::optional<QByteArray> FirstGroup(const QByteArray& text);
// Whether a group of that name is there. Windows compares names ignoring case.
bool HasGroup(const QByteArray& text, const QByteArray& group, bool ignoreCase = false);
// The value of the first `key` line in the groups named `group`.
std::optional<QByteArray> Value(const QByteArray& text, const QByteArray& group, const QByteArray& key,
                                bool ignoreCase = false);
// The text with `key` set to `value` in the first group named `group`: the
// first such line is rewritten in place with its own line end, or a line is
// added after the group's last non-blank line. Nothing when there is no such
// group.
std::optional<QByteArray> WithValue(const QByteArray& text, const QByteArray& group, const QByteArray& key,
                                    const QByteArray& value);
// The text without the `key` lines of the groups named `group`; nothing when
// there was none.
std::optional<QByteArray> WithoutKey(const QByteArray& text, const QByteArray& group, const QByteArray& key);

} // namespace DesktopEntryText

} // namespace pictomat
