#include "files/TemporaryFile.h"

#include "files/FileIO.h"
#include "files/Log.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pictomat {

namespace {

constexpr char kPrefix[] = ".pictomat-";
constexpr char kSuffix[] = ".tmp";
constexpr int kRandomLength = 6;
// A folder swept less than this long ago is not read again: a command over
// many items in one big folder would otherwise list it once per item.
constexpr qint64 kSweepIntervalMs = 30000;

} // namespace

bool IsTemporaryName(const char* name)
{
    const size_t prefix = sizeof kPrefix - 1;
    const size_t suffix = sizeof kSuffix - 1;
    if (std::strlen(name) != prefix + kRandomLength + suffix || std::strncmp(name, kPrefix, prefix) != 0
        || std::strcmp(name + prefix + kRandomLength, kSuffix) != 0)
        return false;
    for (int i = 0; i < kRandomLength; ++i) {
        const char c = name[prefix + i];
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
            return false;
    }
    return true;
}

namespace {

QByteArray folderOf(const QByteArray& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : path.left(slash);
}

} // namespace

// Makes a rename durable; a failure here loses nothing already written.
void SyncFolder(const QByteArray& folder)
{
    const UniqueFd dir(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.valid())
        ::fsync(dir.get());
}

// rename(2) that leaves a taken name alone, on file systems without
// RENAME_NOREPLACE too (a hard link fails on a taken name just the same; a
// folder, which takes no hard link, is renamed once the name is seen free).
int RenameNoReplace(const char* from, const char* to)
{
    if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
        return -1;
    if (::link(from, to) == 0) {
        ::unlink(from);
        return 0;
    }
    if (errno == EEXIST)
        return -1;
    struct stat st;
    if (::lstat(to, &st) == 0) {
        errno = EEXIST;
        return -1;
    }
    return ::rename(from, to);
}

bool IsReplaceable(mode_t mode)
{
    return S_ISREG(mode) || S_ISLNK(mode);
}

QString NotReplaceableReason()
{
    return QCoreApplication::translate("Files", "a folder or special file has that name");
}

mode_t NewFileMode()
{
    // Read once: the umask is the process's and nothing here changes it.
    static const mode_t mode = [] {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        return mode_t(0666 & ~mask);
    }();
    return mode;
}

void RemoveAbandonedTemporaryFiles(const QByteArray& folder)
{
    static QHash<QByteArray, qint64> lastSweep;
    static QElapsedTimer clock;
    if (!clock.isValid())
        clock.start();
    const auto swept = lastSweep.constFind(folder);
    if (swept != lastSweep.constEnd() && clock.elapsed() - *swept < kSweepIntervalMs)
        return;
    lastSweep.insert(folder, clock.elapsed());

    const int dirFd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0)
        return;
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::fdopendir(dirFd), &::closedir);
    if (!dir) {
        ::close(dirFd);
        return;
    }
    while (const dirent* entry = ::readdir(dir.get())) {
        if (!IsTemporaryName(entry->d_name))
            continue;
        const UniqueFd file(::openat(dirFd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        struct stat st;
        if (!file.valid() || ::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid())
            continue;
        // A live writer holds the lock; where no lock can be had, nothing
        // tells, and the file stays.
        if (::flock(file.get(), LOCK_EX | LOCK_NB) != 0)
            continue;
        struct stat named;
        if (::fstatat(dirFd, entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 && named.st_dev == st.st_dev
            && named.st_ino == st.st_ino && ::unlinkat(dirFd, entry->d_name, 0) == 0)
            qCDebug(lcFiles, "removed %s/%s, left behind by a writer that was killed", folder.constData(),
                    entry->d_name);
    }
}

bool TemporaryFile::create(const QByteArray& folder, Error* error)
{
    discard();
    RemoveAbandonedTemporaryFiles(folder);
    for (int attempt = 0; attempt < 8; ++attempt) {
        QByteArray path =
            folder + (folder.endsWith('/') ? "" : "/") + kPrefix + QByteArray(kRandomLength, 'X') + kSuffix;
        // mkostemps creates with O_EXCL, which never follows a link in the name's place.
        UniqueFd fd(::mkostemps(path.data(), int(sizeof kSuffix - 1), O_CLOEXEC));
        if (!fd.valid()) {
            SetError(error, Error::fromErrno(errno, QCoreApplication::translate("Files", "cannot create a file in %1")
                                                        .arg(QFile::decodeName(folder))));
            return false;
        }
        // Another Pictomat sweeping the folder may have taken the lock in the
        // moment between creating and locking, and then removes the file:
        // a file that lost its name is given up for a new one.
        struct stat st;
        const bool locked = ::flock(fd.get(), LOCK_EX | LOCK_NB) == 0;
        if (!locked && errno == EWOULDBLOCK)
            continue;
        if (::fstat(fd.get(), &st) == 0 && st.st_nlink == 0)
            continue;
        m_fd = std::move(fd);
        m_path = path;
        return true;
    }
    SetError(error, QCoreApplication::translate("Files", "cannot create a file in %1").arg(QFile::decodeName(folder)));
    return false;
}

bool TemporaryFile::write(const QByteArray& bytes, mode_t mode, Error* error)
{
    return write(QVector<QByteArrayView>{QByteArrayView(bytes)}, mode, error);
}

bool TemporaryFile::write(const QVector<QByteArrayView>& pieces, mode_t mode, Error* error)
{
    const bool written = m_fd.valid() && std::all_of(pieces.begin(), pieces.end(), [this](QByteArrayView piece) {
                             return WriteAll(m_fd.get(), piece);
                         });
    if (!written || ::fchmod(m_fd.get(), mode & 07777) != 0) {
        SetError(error, Error::fromErrno(errno));
        return false;
    }
    return true;
}

bool TemporaryFile::sync(Error* error)
{
    if (!m_fd.valid() || ::fsync(m_fd.get()) != 0) {
        SetError(error, Error::fromErrno(errno));
        return false;
    }
    return true;
}

bool TemporaryFile::renameOnto(const QByteArray& target, bool replace, Error* error)
{
    if (m_path.isEmpty()) {
        SetError(error, QCoreApplication::translate("Files", "nothing was written"));
        return false;
    }
    // rename(2) takes the place of a device node or a FIFO as readily as of
    // a file: run as root against /dev/null it would replace the machine's.
    struct stat st;
    if (replace && ::lstat(target.constData(), &st) == 0 && !IsReplaceable(st.st_mode)) {
        SetError(error, Error{NotReplaceableReason(), EEXIST});
        errno = EEXIST;
        return false;
    }
    // Renamed while still open and locked, so that no sweep can take it in between.
    const int result = replace ? ::rename(m_path.constData(), target.constData())
                               : RenameNoReplace(m_path.constData(), target.constData());
    if (result != 0) {
        const int code = errno;
        SetError(error, Error::fromErrno(code));
        errno = code;
        return false;
    }
    m_path.clear();
    m_fd.close();
    SyncFolder(folderOf(target));
    return true;
}

void TemporaryFile::discard()
{
    if (!m_path.isEmpty())
        ::unlink(m_path.constData());
    m_path.clear();
    m_fd.close();
}

} // namespace pictomat
