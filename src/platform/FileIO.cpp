#include "FileIO.h"

#include <QImageReader>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pictomat {

namespace {
std::unique_ptr<QFile> wrapDescriptor(int fd, QIODevice::OpenMode mode)
{
    if (fd < 0)
        return nullptr;
    auto file = std::make_unique<QFile>();
    if (!file->open(fd, mode, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return nullptr;
    }
    return file;
}
} // namespace

std::unique_ptr<QFile> OpenFileForReading(const FileRef& file)
{
    if (file.isEmpty())
        return nullptr;
    return wrapDescriptor(::open(file.c_path(), O_RDONLY | O_CLOEXEC), QIODevice::ReadOnly);
}

std::unique_ptr<QFile> OpenFileForRewriting(const FileRef& file)
{
    if (file.isEmpty())
        return nullptr;
    return wrapDescriptor(::open(file.c_path(), O_WRONLY | O_TRUNC | O_CLOEXEC), QIODevice::WriteOnly);
}

std::optional<QByteArray> ReadRegularFile(const QByteArray& path, qint64 maxBytes, QString* error)
{
    auto fail = [&](const QString& why) -> std::optional<QByteArray> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    // O_NONBLOCK: a FIFO named like the file must not stall us.
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return fail(QStringLiteral("no such regular file"));
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return fail(QStringLiteral("no such regular file"));
    if (st.st_size > maxBytes)
        return fail(QStringLiteral("larger than %1 bytes").arg(maxBytes));
    QByteArray bytes(qsizetype(st.st_size), Qt::Uninitialized);
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return fail(QStringLiteral("read error"));
        if (n == 0)
            break;
        done += n;
    }
    // A file that shrank while read holds what was read.
    bytes.truncate(done);
    return bytes;
}

QImage ReadImageFile(const FileRef& file)
{
    if (!file.isRegularFile())
        return {};
    std::unique_ptr<QFile> device = OpenFileForReading(file);
    if (!device)
        return {};
    QImageReader reader(device.get());
    reader.setAutoTransform(true);
    return reader.read();
}

bool WriteFileAtomically(const FileRef& target, const QByteArray& bytes, QString* error)
{
    auto fail = [&](const char* what) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    };
    if (target.isEmpty() || target.parent().isEmpty())
        return fail("no target");
    QByteArray tmpl = target.parent().path() + "/.pictomat-XXXXXX";
    const int fd = ::mkostemp(tmpl.data(), O_CLOEXEC);
    if (fd < 0)
        return fail("cannot create a temporary file");
    const char* p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int saved = errno;
            ::close(fd);
            ::unlink(tmpl.constData());
            errno = saved;
            return fail("cannot write");
        }
        p += n;
        left -= n;
    }
    const mode_t mask = ::umask(0);
    ::umask(mask);
    if (::fsync(fd) != 0 || ::fchmod(fd, 0666 & ~mask) != 0) {
        const int saved = errno;
        ::close(fd);
        ::unlink(tmpl.constData());
        errno = saved;
        return fail("cannot flush");
    }
    ::close(fd);
    if (::rename(tmpl.constData(), target.c_path()) != 0) {
        const int saved = errno;
        ::unlink(tmpl.constData());
        errno = saved;
        return fail("cannot rename");
    }
    return true;
}

} // namespace pictomat
