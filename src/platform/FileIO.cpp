#include "platform/FileIO.h"

#include "platform/UniqueFd.h"

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
    const UniqueFd file(::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    const int fd = file.get();
    if (fd < 0)
        return fail(QStringLiteral("no such regular file"));
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

namespace {
// Owns the temporary file's descriptor and, until kept, its name.
struct TemporaryFile {
    UniqueFd fd;
    QByteArray name;
    bool keep = false;
    ~TemporaryFile()
    {
        fd.close();
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
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        left -= n;
    }
    return true;
}

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// Puts the finished temporary file in place. Without replace, nothing that
// already has the name (a file, a folder, a dangling link) is touched.
// After link(2), *linked says the temporary name still holds the file too.
bool moveIntoPlace(const QByteArray& temp, const QByteArray& path, bool replace, bool* linked)
{
    if (replace)
        return ::rename(temp.constData(), path.constData()) == 0;
    if (::renameat2(AT_FDCWD, temp.constData(), AT_FDCWD, path.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // File systems without RENAME_NOREPLACE: link(2) never replaces either.
    *linked = ::link(temp.constData(), path.constData()) == 0;
    return *linked;
}

bool writeAtomically(const FileRef& target, const QByteArray& bytes, QString* error, std::optional<unsigned> mode,
                     bool replace, bool* existed)
{
    auto fail = [&](const QString& message) {
        if (error)
            *error = message;
        return false;
    };
    if (existed)
        *existed = false;
    const QByteArray& path = target.path();
    const qsizetype slash = path.lastIndexOf('/');
    if (path.isEmpty() || slash == path.size() - 1)
        return fail(QStringLiteral("no file to write"));
    const QByteArray folder = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : path.left(slash);
    TemporaryFile temp;
    temp.name = path.left(slash + 1) + ".pictomat-XXXXXX";
    temp.fd = UniqueFd(::mkostemp(temp.name.data(), O_CLOEXEC));
    if (!temp.fd.valid()) {
        temp.name.clear();
        return fail(QStringLiteral("cannot create a file in %1: %2").arg(QFile::decodeName(folder), systemError()));
    }
    if (!mode) {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    if (!writeAll(temp.fd.get(), bytes) || ::fchmod(temp.fd.get(), mode_t(*mode & 07777)) != 0 ||
        ::fsync(temp.fd.get()) != 0 || !temp.fd.close())
        return fail(QStringLiteral("cannot write %1: %2").arg(QFile::decodeName(temp.name), systemError()));
    bool linked = false;
    if (!moveIntoPlace(temp.name, path, replace, &linked)) {
        const int err = errno;
        const QString why = QString::fromLocal8Bit(std::strerror(err));
        if (existed)
            *existed = err == EEXIST;
        return fail(QStringLiteral("cannot %1 %2: %3")
                        .arg(replace ? QStringLiteral("replace") : QStringLiteral("create"), target.displayPath(), why));
    }
    // A linked file's temporary name goes with its owner.
    temp.keep = !linked;
    // Makes the rename itself durable; a failure here loses nothing already written.
    const UniqueFd dir(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.valid())
        ::fsync(dir.get());
    return true;
}

} // namespace

bool WriteFileAtomically(const FileRef& target, const QByteArray& bytes, QString* error, std::optional<unsigned> mode)
{
    return writeAtomically(target, bytes, error, mode, true, nullptr);
}

bool WriteNewFileAtomically(const FileRef& target, const QByteArray& bytes, QString* error, bool* existed)
{
    return writeAtomically(target, bytes, error, std::nullopt, false, existed);
}

} // namespace pictomat
