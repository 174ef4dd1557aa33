#include "platform/CustomIconsDirectory.h"

#include "files/FileIO.h"
#include "files/UniqueFd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace pictomat {

namespace {

constexpr qint64 kMaxDirectoryFileBytes = 4 * 1024 * 1024;
const QByteArray kDesktopEntryGroup("[Desktop Entry]");
// The first line of a .directory file that exists only for our icon.
const QByteArray kMadeHereMark("# Made by Pictomat for this folder's custom icon\n");

void setError(QString* error, const QString& text)
{
    if (error)
        *error = text;
}


QList<QByteArray> splitKeepingEnds(const QByteArray& text)
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

bool isGroupHeader(const QByteArray& line)
{
    const QByteArray t = line.trimmed();
    return t.startsWith('[') && t.endsWith(']');
}

// The key of an entry line ("Icon" for "Icon = x"), empty for anything else.
QByteArray entryKey(const QByteArray& line)
{
    const QByteArray t = line.trimmed();
    if (t.isEmpty() || t.startsWith('#') || isGroupHeader(t))
        return {};
    const qsizetype eq = t.indexOf('=');
    return eq < 0 ? QByteArray() : t.left(eq).trimmed();
}

QByteArray entryValue(const QByteArray& line)
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

QByteArray escapedValue(const QByteArray& value)
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

QByteArray lineEnd(const QByteArray& line)
{
    return line.endsWith("\r\n") ? QByteArray("\r\n") : QByteArray("\n");
}

QByteArray withIconKey(const QByteArray& content, const QByteArray& iconPath, bool newFile)
{
    QList<QByteArray> lines = splitKeepingEnds(content);
    if (!lines.isEmpty() && !lines.last().endsWith('\n'))
        lines.last() += '\n';
    const QByteArray entry = "Icon=" + escapedValue(iconPath);
    bool inGroup = false;
    qsizetype insertAt = -1;
    qsizetype firstHeader = -1;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (isGroupHeader(lines[i])) {
            if (firstHeader < 0)
                firstHeader = i;
            inGroup = lines[i].trimmed() == kDesktopEntryGroup;
            if (inGroup)
                insertAt = i + 1;
            continue;
        }
        if (!inGroup)
            continue;
        if (entryKey(lines[i]) == "Icon") {
            lines[i] = entry + lineEnd(lines[i]);
            return lines.join();
        }
        if (!lines[i].trimmed().isEmpty())
            insertAt = i + 1;
    }
    if (insertAt >= 0) {
        lines.insert(insertAt, entry + '\n');
        return lines.join();
    }
    QByteArray group = kDesktopEntryGroup + '\n' + entry + '\n';
    if (firstHeader < 0) {
        const QByteArray head = lines.join();
        if (newFile)
            return kMadeHereMark + group;
        return head + (head.trimmed().isEmpty() ? QByteArray() : QByteArray("\n")) + group;
    }
    lines.insert(firstHeader, group + '\n');
    return lines.join();
}

// Takes out the Icon lines of [Desktop Entry]. Returns nothing when no such
// line was there.
std::optional<QByteArray> withoutIconKey(const QByteArray& content)
{
    QList<QByteArray> lines = splitKeepingEnds(content);
    bool inGroup = false;
    bool removed = false;
    for (qsizetype i = 0; i < lines.size();) {
        if (isGroupHeader(lines[i]))
            inGroup = lines[i].trimmed() == kDesktopEntryGroup;
        else if (inGroup && entryKey(lines[i]) == "Icon") {
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

// The folder's .directory: nothing when it is missing (*missing) or cannot
// be read. To be edited it must be a regular file of its own: a link (which
// may lead to any file of the user's) or a special file is refused, so that
// nothing is ever written through it. Reading for the icon follows links,
// as the file managers do.
std::optional<QByteArray> readDirectoryFile(const QByteArray& path, bool forEditing, bool* missing,
                                            mode_t* mode = nullptr)
{
    *missing = false;
    const int noFollow = forEditing ? O_NOFOLLOW : 0;
    // Non-blocking, so that a FIFO in its place cannot hang us.
    UniqueFd fd(::open(path.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | noFollow));
    if (fd.get() < 0) {
        *missing = errno == ENOENT;
        return std::nullopt;
    }
    struct stat st;
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    if (mode)
        *mode = st.st_mode & 07777;
    QByteArray data;
    char chunk[8192];
    for (;;) {
        const ssize_t n = ::read(fd.get(), chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 || data.size() + n > kMaxDirectoryFileBytes)
            return std::nullopt;
        if (n == 0)
            return data;
        data.append(chunk, n);
    }
}

QByteArray directoryFilePath(const FileRef& folder)
{
    return folder.child(".directory").path();
}

} // namespace

bool FolderIconKeyEditable(const FileRef& folder)
{
    struct stat st;
    if (::lstat(directoryFilePath(folder).constData(), &st) != 0)
        return errno == ENOENT;
    return S_ISREG(st.st_mode);
}

bool SetFolderIconKey(const FileRef& folder, const QByteArray& iconPath, QString* error)
{
    const QByteArray path = directoryFilePath(folder);
    bool missing = false;
    mode_t mode = 0644;
    const std::optional<QByteArray> old = readDirectoryFile(path, true, &missing, &mode);
    if (!old && !missing) {
        setError(error, QStringLiteral("The folder's .directory is not a regular file that can be read."));
        return false;
    }
    // Replaced by a rename: a link put in its place meanwhile is replaced, not written through.
    if (!WriteFileAtomically(FileRef(path), withIconKey(old.value_or(QByteArray()), iconPath, !old), nullptr, mode)) {
        setError(error, QStringLiteral("The folder's .directory file could not be written."));
        return false;
    }
    return true;
}

bool RemoveFolderIconKey(const FileRef& folder, QString* error)
{
    const QByteArray path = directoryFilePath(folder);
    bool missing = false;
    mode_t mode = 0644;
    const std::optional<QByteArray> old = readDirectoryFile(path, true, &missing, &mode);
    if (!old) {
        if (!missing)
            setError(error, QStringLiteral("The folder's .directory is not a regular file that can be read."));
        return missing;
    }
    const std::optional<QByteArray> updated = withoutIconKey(*old);
    if (!updated)
        return true;
    // A file we made that held nothing but the key goes away with it; one the
    // user or another program made stays, if only as an empty group.
    if (updated->startsWith(kMadeHereMark) && updated->mid(kMadeHereMark.size()).trimmed() == kDesktopEntryGroup)
        return ::unlink(path.constData()) == 0 || errno == ENOENT;
    if (!WriteFileAtomically(FileRef(path), *updated, nullptr, mode)) {
        setError(error, QStringLiteral("The folder's .directory file could not be written."));
        return false;
    }
    return true;
}

std::optional<QByteArray> FolderIconKey(const FileRef& folder)
{
    bool missing = false;
    const std::optional<QByteArray> directory = readDirectoryFile(directoryFilePath(folder), false, &missing);
    if (!directory)
        return std::nullopt;
    bool inGroup = false;
    for (const QByteArray& line : splitKeepingEnds(*directory)) {
        if (isGroupHeader(line))
            inGroup = line.trimmed() == kDesktopEntryGroup;
        else if (inGroup && entryKey(line) == "Icon")
            return entryValue(line);
    }
    return std::nullopt;
}

} // namespace pictomat
