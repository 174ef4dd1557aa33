#include "files/OutputDirectory.h"

#include "files/TemporaryFile.h"
#include "files/Trash.h"

#include <QCoreApplication>
#include <QFile>
#include <QRandomGenerator>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <vector>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pictomat {

namespace {

// How deep and how large a folder is read to tell whether it is ours; ours
// are two levels deep and hold a few dozen items.
constexpr int kMaxDepth = 8;
constexpr int kMaxItems = 4096;

// The mode a new folder gets: 0777 less the umask.
mode_t folderMode()
{
    const mode_t file = NewFileMode();
    return file | ((file & 0444) >> 2);
}

using Dir = std::unique_ptr<DIR, int (*)(DIR*)>;

// The names a folder holds, read through a descriptor of its own.
std::optional<QList<QByteArray>> namesIn(int folderFd)
{
    const int fd = ::dup(folderFd);
    if (fd < 0)
        return std::nullopt;
    const Dir dir(::fdopendir(fd), &::closedir);
    if (!dir) {
        ::close(fd);
        return std::nullopt;
    }
    ::rewinddir(dir.get());
    QList<QByteArray> names;
    while (const dirent* entry = ::readdir(dir.get())) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..")
            names.append(name);
    }
    return names;
}

// Removes `name` in the folder `parentFd` and, for a folder, everything in
// it, never through a link: a link is removed itself.
bool removeTree(int parentFd, const QByteArray& name, int depth = 0)
{
    const UniqueFd fd(::openat(parentFd, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd.valid())
        return ::unlinkat(parentFd, name.constData(), 0) == 0 || errno == ENOENT;
    if (depth > kMaxDepth)
        return false;
    const std::optional<QList<QByteArray>> names = namesIn(fd.get());
    if (!names)
        return false;
    for (const QByteArray& child : *names)
        removeTree(fd.get(), child, depth + 1);
    return ::unlinkat(parentFd, name.constData(), AT_REMOVEDIR) == 0;
}

bool ourTree(int parentFd, const QByteArray& name, const QByteArray& path, int depth, int* budget)
{
    struct stat st;
    if (--*budget < 0 || depth > kMaxDepth || ::fstatat(parentFd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return false;
    if (!HasPictomatMark(path, st))
        return false;
    if (S_ISREG(st.st_mode))
        return true;
    if (!S_ISDIR(st.st_mode))
        return false;
    const UniqueFd fd(::openat(parentFd, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    const std::optional<QList<QByteArray>> names = fd.valid() ? namesIn(fd.get()) : std::nullopt;
    if (!names)
        return false;
    for (const QByteArray& child : *names)
        if (!ourTree(fd.get(), child, path + '/' + child, depth + 1, budget))
            return false;
    return true;
}

// Removes the folders a killed Pictomat left while making an output folder:
// our temporary shape, this user's, and no live process holding the lock.
// Once per folder and process: outputs come one after the other.
void removeAbandonedFolders(const QByteArray& folder)
{
    static QSet<QByteArray> swept;
    if (swept.contains(folder))
        return;
    swept.insert(folder);
    const UniqueFd folderFd(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    const std::optional<QList<QByteArray>> names = folderFd.valid() ? namesIn(folderFd.get()) : std::nullopt;
    if (!names)
        return;
    for (const QByteArray& name : *names) {
        if (!IsTemporaryName(name.constData()))
            continue;
        const UniqueFd fd(::openat(folderFd.get(), name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        struct stat st, named;
        if (!fd.valid() || ::fstat(fd.get(), &st) != 0 || st.st_uid != ::geteuid()
            || ::flock(fd.get(), LOCK_EX | LOCK_NB) != 0)
            continue;
        if (::fstatat(folderFd.get(), name.constData(), &named, AT_SYMLINK_NOFOLLOW) == 0 && named.st_ino == st.st_ino
            && named.st_dev == st.st_dev)
            removeTree(folderFd.get(), name);
    }
}

} // namespace

bool IsPictomatOutputFolder(const QByteArray& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return false;
    const UniqueFd parent(::open(slash == 0 ? "/" : path.left(slash).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    struct stat st;
    if (!parent.valid() || ::fstatat(parent.get(), path.mid(slash + 1).constData(), &st, AT_SYMLINK_NOFOLLOW) != 0
        || !S_ISDIR(st.st_mode))
        return false;
    int budget = kMaxItems;
    return ourTree(parent.get(), path.mid(slash + 1), path, 0, &budget);
}

OutputDirectory::~OutputDirectory()
{
    discardTemporary();
}

QVector<Output::Part> OutputDirectory::partsOf(const QVector<File>& files)
{
    QVector<Part> parts;
    parts.reserve(files.size());
    for (const File& file : files)
        parts.append(Part{file.path, {QByteArrayView(file.bytes)}});
    return parts;
}

void OutputDirectory::discardTemporary()
{
    if (!m_temp.isEmpty()) {
        const UniqueFd parent(::open(folder().constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (parent.valid())
            removeTree(parent.get(), m_temp.mid(m_temp.lastIndexOf('/') + 1));
    }
    m_temp.clear();
    m_lock.close();
}

bool OutputDirectory::makeTemporary(const QByteArray& folder, Error* error)
{
    discardTemporary();
    removeAbandonedFolders(folder);
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    for (int attempt = 0; attempt < 8; ++attempt) {
        QByteArray name = ".pictomat-";
        for (int i = 0; i < 6; ++i)
            name += kLetters[QRandomGenerator::global()->bounded(int(sizeof kLetters - 1))];
        name += ".tmp";
        const QByteArray path = folder + (folder.endsWith('/') ? "" : "/") + name;
        if (::mkdir(path.constData(), 0700) != 0) {
            if (errno == EEXIST)
                continue;
            SetError(error, QCoreApplication::translate("Files", "cannot create a folder in %1: %2")
                                .arg(QFile::decodeName(folder), SystemErrorText(errno)));
            return false;
        }
        UniqueFd fd(::open(path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        // A sweep by another Pictomat may have taken it in the moment
        // between making and locking it: then it is given up for a new one.
        struct stat st;
        if (!fd.valid() || ::flock(fd.get(), LOCK_EX | LOCK_NB) != 0 || ::fstat(fd.get(), &st) != 0 || st.st_nlink == 0)
            continue;
        m_temp = path;
        m_lock = std::move(fd);
        return true;
    }
    SetError(error,
             QCoreApplication::translate("Files", "cannot create a folder in %1").arg(QFile::decodeName(folder)));
    return false;
}

bool OutputDirectory::fillTemporary(const QVector<Part>& files, Error* error)
{
    QList<QByteArray> folders; // made inside, parents first
    std::vector<UniqueFd> written;
    for (const Part& file : files) {
        const QList<QByteArray> parts = file.path.split('/');
        for (const QByteArray& part : parts) {
            if (part.isEmpty() || part == "." || part == "..") {
                SetError(
                    error,
                    QCoreApplication::translate("Files", "no file can be named %1").arg(QFile::decodeName(file.path)));
                return false;
            }
        }
        UniqueFd folder(::dup(m_lock.get()));
        QByteArray inside;
        for (qsizetype i = 0; i + 1 < parts.size() && folder.valid(); ++i) {
            inside += (inside.isEmpty() ? "" : "/") + parts[i];
            if (::mkdirat(folder.get(), parts[i].constData(), 0700) == 0) {
                folders.append(inside);
            } else if (errno != EEXIST) {
                folder = UniqueFd();
                break;
            }
            folder =
                UniqueFd(::openat(folder.get(), parts[i].constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        }
        UniqueFd fd(folder.valid()
                        ? ::openat(folder.get(), parts.last().constData(),
                                   O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, NewFileMode())
                        : -1);
        QFile out;
        const auto writeAll = [&out, &file] {
            return std::all_of(file.pieces.begin(), file.pieces.end(), [&out](QByteArrayView piece) {
                return out.write(piece.data(), piece.size()) == piece.size();
            });
        };
        if (!fd.valid() || !out.open(fd.get(), QIODevice::WriteOnly, QFileDevice::DontCloseHandle) || !writeAll()
            || !out.flush()) {
            SetError(error, QStringLiteral("%1: %2").arg(QFile::decodeName(file.path),
                                                         out.isOpen() ? out.errorString() : SystemErrorText(errno)));
            return false;
        }
        MarkAsPictomatOutput(fd.get());
        // On its way to the disk while the next one is written.
        ::sync_file_range(fd.get(), 0, 0, SYNC_FILE_RANGE_WRITE);
        written.push_back(std::move(fd));
    }
    // Flushed after all are written, so that the disk sees them in one go
    // rather than one commit each.
    for (UniqueFd& fd : written) {
        if (::fsync(fd.get()) != 0 || !fd.close()) {
            SetError(error, Error::fromErrno(errno));
            return false;
        }
    }
    // Marked once whole, deepest first: a folder's mark records its
    // modification time, which every name made in it changes. The folder's
    // own flush then commits the names in it and below it.
    for (qsizetype i = folders.size() - 1; i >= -1; --i) {
        const UniqueFd fd(
            i < 0 ? ::dup(m_lock.get())
                  : ::openat(m_lock.get(), folders[i].constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!fd.valid() || ::fchmod(fd.get(), folderMode()) != 0 || (i < 0 && ::fsync(fd.get()) != 0)) {
            SetError(error, Error::fromErrno(errno));
            return false;
        }
        MarkAsPictomatOutput(fd.get());
    }
    return true;
}

bool OutputDirectory::takeFreeName(const QByteArray& path, Error* error)
{
    if (RenameNoReplace(m_temp.constData(), path.constData()) != 0) {
        const int code = errno;
        SetError(error, SystemErrorText(code));
        errno = code;
        return false;
    }
    m_temp.clear();
    m_lock.close();
    SyncFolder(folder());
    return true;
}

Output::Swap OutputDirectory::replaceOurs(const QByteArray& path, Error* error)
{
    if (::renameat2(AT_FDCWD, m_temp.constData(), AT_FDCWD, path.constData(), RENAME_EXCHANGE) == 0) {
        discardTemporary(); // the old folder has the temporary name now
        SyncFolder(folder());
        return Swap::Done;
    }
    // No exchange on this file system: the old one goes first.
    const UniqueFd parent(::open(folder().constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!parent.valid() || !removeTree(parent.get(), target().name())) {
        SetError(error, QCoreApplication::translate("Files", "the earlier folder could not be removed"));
        return Swap::Failed;
    }
    return Swap::NameFreed;
}

bool OutputDirectory::replaceable(mode_t mode) const
{
    return S_ISDIR(mode) || S_ISLNK(mode);
}

bool OutputDirectory::isOurs(const QByteArray& path) const
{
    return IsPictomatOutputFolder(path);
}

const Output::Reasons& OutputDirectory::reasons() const
{
    static const Reasons kReasons{
        QCoreApplication::translate("Files", "a file or special file has that name"),
        QCoreApplication::translate(
            "Files", "a folder that Pictomat did not make has that name, and its file system has no Trash"),
        QCoreApplication::translate("Files", "the folder that has that name could not be moved to the Trash: %1"),
    };
    return kReasons;
}

} // namespace pictomat
