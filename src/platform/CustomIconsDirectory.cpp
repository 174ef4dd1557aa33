#include "platform/CustomIconsDirectory.h"

#include "files/FileIO.h"
#include "files/UniqueFd.h"
#include "platform/DesktopEntryText.h"

#include <QCoreApplication>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace pictomat {

namespace {

constexpr qint64 kMaxDirectoryFileBytes = 4 * 1024 * 1024;
const QByteArray kDesktopEntry("Desktop Entry");
const QByteArray kDesktopEntryGroup("[" + kDesktopEntry + "]");
// The first line of a .directory file that exists only for our icon.
const QByteArray kMadeHereMark("# Made by Pictomat for this folder's custom icon\n");

QByteArray withIconKey(const QByteArray& content, const QByteArray& iconPath, bool newFile)
{
    if (const std::optional<QByteArray> edited = DesktopEntryText::WithValue(content, kDesktopEntry, "Icon", iconPath))
        return *edited;
    // No [Desktop Entry] yet: it goes before the first group, or after the rest.
    const QByteArray group = kDesktopEntryGroup + "\nIcon=" + DesktopEntryText::Escaped(iconPath) + '\n';
    QList<QByteArray> lines = DesktopEntryText::Lines(content);
    if (!lines.isEmpty() && !lines.last().endsWith('\n'))
        lines.last() += '\n';
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (DesktopEntryText::GroupOf(lines[i])) {
            lines.insert(i, group + '\n');
            return lines.join();
        }
    }
    const QByteArray head = lines.join();
    if (newFile)
        return kMadeHereMark + group;
    return head + (head.trimmed().isEmpty() ? QByteArray() : QByteArray("\n")) + group;
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

bool SetFolderIconKey(const FileRef& folder, const QByteArray& iconPath, Error* error)
{
    const QByteArray path = directoryFilePath(folder);
    bool missing = false;
    mode_t mode = 0644;
    const std::optional<QByteArray> old = readDirectoryFile(path, true, &missing, &mode);
    if (!old && !missing) {
        SetError(error, QCoreApplication::translate("CustomIcons",
                                                    "The folder's .directory is not a regular file that can be read."));
        return false;
    }
    // Replaced by a rename: a link put in its place meanwhile is replaced, not written through.
    if (!WriteFileAtomically(FileRef(path), withIconKey(old.value_or(QByteArray()), iconPath, !old), nullptr, mode)) {
        SetError(error,
                 QCoreApplication::translate("CustomIcons", "The folder's .directory file could not be written."));
        return false;
    }
    return true;
}

bool RemoveFolderIconKey(const FileRef& folder, Error* error)
{
    const QByteArray path = directoryFilePath(folder);
    bool missing = false;
    mode_t mode = 0644;
    const std::optional<QByteArray> old = readDirectoryFile(path, true, &missing, &mode);
    if (!old) {
        if (!missing)
            SetError(error, QCoreApplication::translate(
                                "CustomIcons", "The folder's .directory is not a regular file that can be read."));
        return missing;
    }
    const std::optional<QByteArray> updated = DesktopEntryText::WithoutKey(*old, kDesktopEntry, "Icon");
    if (!updated)
        return true;
    // A file we made that held nothing but the key goes away with it; one the
    // user or another program made stays, if only as an empty group.
    if (updated->startsWith(kMadeHereMark) && updated->mid(kMadeHereMark.size()).trimmed() == kDesktopEntryGroup)
        return ::unlink(path.constData()) == 0 || errno == ENOENT;
    if (!WriteFileAtomically(FileRef(path), *updated, nullptr, mode)) {
        SetError(error,
                 QCoreApplication::translate("CustomIcons", "The folder's .directory file could not be written."));
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
    return DesktopEntryText::Value(*directory, kDesktopEntry, "Icon");
}

} // namespace pictomat
