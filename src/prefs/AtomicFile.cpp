#include "AtomicFile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pictomat::prefs {

namespace {

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// Owns a descriptor and, until released, the temporary file's name.
struct TemporaryFile {
    int fd = -1;
    QByteArray name;
    bool keep = false;
    ~TemporaryFile()
    {
        if (fd >= 0)
            ::close(fd);
        if (!keep && !name.isEmpty())
            ::unlink(name.constData());
    }
};

bool writeAll(int fd, const QByteArray& bytes)
{
    const char* p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += n;
        left -= n;
    }
    return true;
}

void syncFolder(const QByteArray& folder)
{
    // Makes the rename itself durable; a failure here loses nothing already written.
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

FileLock::FileLock(const QString& lockPath)
{
    const QByteArray name = QFile::encodeName(lockPath);
    const int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        m_error = QStringLiteral("cannot open the lock file %1: %2").arg(lockPath, systemError());
        return;
    }
    int rc;
    do {
        rc = ::flock(fd, LOCK_EX);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        m_error = QStringLiteral("cannot lock %1: %2").arg(lockPath, systemError());
        ::close(fd);
        return;
    }
    m_fd = fd;
}

FileLock::~FileLock()
{
    // Closing the descriptor releases the lock.
    if (m_fd >= 0)
        ::close(m_fd);
}

bool WriteFileAtomically(const QString& path, const QByteArray& bytes, unsigned mode, QString* error)
{
    const QByteArray target = QFile::encodeName(path);
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    TemporaryFile temp;
    temp.name = target + ".XXXXXX";
    temp.fd = ::mkostemp(temp.name.data(), O_CLOEXEC);
    if (temp.fd < 0) {
        *error = QStringLiteral("cannot create a file in %1: %2")
                     .arg(QFile::decodeName(folder), systemError());
        temp.name.clear();
        return false;
    }
    if (!writeAll(temp.fd, bytes) || ::fchmod(temp.fd, mode & 07777) != 0 || ::fsync(temp.fd) != 0) {
        *error = QStringLiteral("cannot write %1: %2").arg(QFile::decodeName(temp.name), systemError());
        return false;
    }
    const int fd = temp.fd;
    temp.fd = -1;
    if (::close(fd) != 0) {
        *error = QStringLiteral("cannot write %1: %2").arg(QFile::decodeName(temp.name), systemError());
        return false;
    }
    if (::rename(temp.name.constData(), target.constData()) != 0) {
        *error = QStringLiteral("cannot replace %1: %2").arg(path, systemError());
        return false;
    }
    temp.keep = true;
    syncFolder(folder);
    return true;
}

} // namespace pictomat::prefs
