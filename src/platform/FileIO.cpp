#include "platform/FileIO.h"

#include "platform/PictureFile.h"
#include "platform/UniqueFd.h"


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

UniqueFd OpenDescriptorForReading(const QByteArray& path, ReadableKind kind)
{
    if (path.isEmpty())
        return UniqueFd();
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
    UniqueFd fd(::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!fd.valid())
        return UniqueFd();
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0)
        return UniqueFd();
    const bool wanted = S_ISREG(st.st_mode) || (kind == ReadableKind::RegularFileOrFolder && S_ISDIR(st.st_mode));
    if (!wanted)
        return UniqueFd();
    return fd;
}

std::unique_ptr<QFile> OpenFileForReading(const FileRef& file, ReadableKind kind)
{
    if (file.isEmpty())
        return nullptr;
    return wrapDescriptor(OpenDescriptorForReading(file.path(), kind).release(), QIODevice::ReadOnly);
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
    const UniqueFd file = OpenDescriptorForReading(path);
    const int fd = file.get();
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0)
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

QImage ReadImageFile(const FileRef& file, int maxEdge, PictureStatus* status)
{
    PictureResult result = ReadPictureFile(file, FitWithin(maxEdge));
    if (status)
        *status = result.status;
    return std::move(result.decoded.picture);
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
} // namespace

bool WriteFileAtomically(const FileRef& target, const QByteArray& bytes, QString* error, std::optional<unsigned> mode)
{
    auto fail = [&](const QString& message) {
        if (error)
            *error = message;
        return false;
    };
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
    if (::rename(temp.name.constData(), path.constData()) != 0)
        return fail(QStringLiteral("cannot replace %1: %2").arg(target.displayPath(), systemError()));
    temp.keep = true;
    // Makes the rename itself durable; a failure here loses nothing already written.
    const UniqueFd dir(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.valid())
        ::fsync(dir.get());
    return true;
}

} // namespace pictomat
