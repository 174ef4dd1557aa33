#include "files/OutputDirectory.h"

#include "files/TemporaryFile.h"
#include "files/Trash.h"

#include <QFile>
#include <QRandomGenerator>
#include <QSet>

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

const QString kNotReplaceable = QStringLiteral("a file or special file has that name");
const QString kNoTrash =
    QStringLiteral("a folder that Pictomat did not make has that name, and its file system has no Trash");

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
    discard();
}

void OutputDirectory::discard()
{
    if (!m_temp.isEmpty()) {
        const UniqueFd folder(::open(m_folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (folder.valid())
            removeTree(folder.get(), m_temp.mid(m_temp.lastIndexOf('/') + 1));
    }
    m_temp.clear();
    m_lock.close();
}

bool OutputDirectory::makeTemporary(Error* error)
{
    discard();
    removeAbandonedFolders(m_folder);
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    for (int attempt = 0; attempt < 8; ++attempt) {
        QByteArray name = ".pictomat-";
        for (int i = 0; i < 6; ++i)
            name += kLetters[QRandomGenerator::global()->bounded(int(sizeof kLetters - 1))];
        name += ".tmp";
        const QByteArray path = m_folder + (m_folder.endsWith('/') ? "" : "/") + name;
        if (::mkdir(path.constData(), 0700) != 0) {
            if (errno == EEXIST)
                continue;
            SetError(error,
                     Error::fromErrno(errno,
                                      QStringLiteral("cannot create a folder in %1").arg(QFile::decodeName(m_folder))));
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
    SetError(error, QStringLiteral("cannot create a folder in %1").arg(QFile::decodeName(m_folder)));
    return false;
}

OutputFile::Begin OutputDirectory::begin(const FileRef& target, bool mayReplace, Error* error)
{
    m_target = target;
    m_folder = target.parent().path();
    if (target.isEmpty() || m_folder.isEmpty()) {
        SetError(error, QStringLiteral("there is no folder to write into"));
        return OutputFile::Begin::Failed;
    }
    struct stat st;
    const bool taken = ::lstat(target.c_path(), &st) == 0;
    if (!taken && errno != ENOENT) {
        SetError(error, Error::fromErrno(errno));
        return OutputFile::Begin::Failed;
    }
    if (taken && !mayReplace)
        return OutputFile::Begin::Exists;
    if (taken && !S_ISDIR(st.st_mode) && !S_ISLNK(st.st_mode)) {
        SetError(error, kNotReplaceable);
        return OutputFile::Begin::Failed;
    }
    if (taken && !IsPictomatOutputFolder(target.path()) && !CanMoveToTrash(target.path())) {
        SetError(error, kNoTrash);
        return OutputFile::Begin::NoTrash;
    }
    // Made now, so that a folder that takes nothing new fails before the work.
    if (!makeTemporary(error))
        return OutputFile::Begin::Failed;
    return taken ? OutputFile::Begin::Replacing : OutputFile::Begin::Fresh;
}

bool OutputDirectory::fill(const QVector<File>& files, Error* error)
{
    QList<QByteArray> folders; // made inside, parents first
    std::vector<UniqueFd> written;
    for (const File& file : files) {
        const QList<QByteArray> parts = file.path.split('/');
        for (const QByteArray& part : parts) {
            if (part.isEmpty() || part == "." || part == "..") {
                SetError(error, QStringLiteral("no file can be named %1").arg(QFile::decodeName(file.path)));
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
        if (!fd.valid() || !out.open(fd.get(), QIODevice::WriteOnly, QFileDevice::DontCloseHandle)
            || out.write(file.bytes) != file.bytes.size() || !out.flush()) {
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

OutputFile::Result OutputDirectory::write(const QVector<File>& files, Error* error)
{
    Error why;
    OutputFile::Result result = OutputFile::Result::Failed;
    if ((m_lock.valid() || makeTemporary(&why)) && fill(files, &why))
        result = commit(&why);
    if (result != OutputFile::Result::Written) {
        m_failure = why.message;
        SetError(error, why);
        discard();
        return result;
    }
    m_written = true;
    m_failure.clear();
    return result;
}

OutputFile::Result OutputDirectory::commit(Error* error)
{
    const QByteArray& path = m_target.path();
    for (int attempt = 0; attempt < 4; ++attempt) {
        struct stat st;
        if (::lstat(path.constData(), &st) != 0) {
            if (errno != ENOENT) {
                SetError(error, Error::fromErrno(errno));
                return OutputFile::Result::Failed;
            }
            if (RenameNoReplace(m_temp.constData(), path.constData()) == 0) {
                m_temp.clear();
                m_lock.close();
                SyncFolder(m_folder);
                return OutputFile::Result::Written;
            }
            if (errno == EEXIST)
                continue; // something took the name meanwhile: look again
            SetError(error, Error::fromErrno(errno));
            return OutputFile::Result::Failed;
        }
        if (!S_ISDIR(st.st_mode) && !S_ISLNK(st.st_mode)) {
            SetError(error, kNotReplaceable);
            return OutputFile::Result::Failed;
        }
        // An earlier output folder of ours that nobody changed since holds
        // nothing of the user's: it is swapped for the new one in one step
        // and removed, with no Trash entry for every run.
        if (S_ISDIR(st.st_mode) && IsPictomatOutputFolder(path)) {
            if (::renameat2(AT_FDCWD, m_temp.constData(), AT_FDCWD, path.constData(), RENAME_EXCHANGE) == 0) {
                discard(); // the old folder has the temporary name now
                SyncFolder(m_folder);
                return OutputFile::Result::Written;
            }
            // No exchange on this file system: the old one goes first.
            const UniqueFd folder(::open(m_folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
            if (!folder.valid() || !removeTree(folder.get(), m_target.name())) {
                SetError(error, QStringLiteral("the earlier folder could not be removed"));
                return OutputFile::Result::Failed;
            }
            continue;
        }
        Error trashError;
        const TrashResult trashed = MoveToTrash(path, &trashError);
        if (trashed == TrashResult::Moved)
            continue; // the name is free now
        SetError(error, trashed == TrashResult::NotSupported
                            ? kNoTrash
                            : QStringLiteral("the folder that has that name could not be moved to the Trash: %1")
                                  .arg(trashError.message));
        return trashed == TrashResult::NotSupported ? OutputFile::Result::NoTrash : OutputFile::Result::NotTrashed;
    }
    SetError(error, QStringLiteral("the name keeps changing"));
    return OutputFile::Result::Failed;
}

} // namespace pictomat
