#include "files/FileIO.h"

#include "files/TemporaryFile.h"
#include "files/UniqueFd.h"

#include <QCoreApplication>

#include <cerrno>
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
    struct stat st { };
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

QByteArray FileVersion(const QByteArray& path)
{
    struct stat st { };
    if (::stat(path.constData(), &st) != 0)
        st = {};
    return QByteArray::number(qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec) + ':'
           + QByteArray::number(qint64(st.st_size)) + ':' + QByteArray::number(qint64(st.st_ino));
}

bool WriteAll(int fd, QByteArrayView bytes)
{
    const char* p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0) {
            errno = ENOSPC;
            return false;
        }
        p += n;
        left -= n;
    }
    return true;
}

std::optional<QByteArray> ReadRegularFile(const QByteArray& path, qint64 maxBytes, Error* error)
{
    auto fail = [&](Error why) -> std::optional<QByteArray> {
        SetError(error, std::move(why));
        return std::nullopt;
    };
    const UniqueFd file = OpenDescriptorForReading(path);
    const int fd = file.get();
    struct stat st { };
    if (fd < 0 || ::fstat(fd, &st) != 0)
        return fail({QCoreApplication::translate("Files", "no such regular file")});
    if (st.st_size > maxBytes)
        return fail({QCoreApplication::translate("Files", "larger than %1 bytes").arg(maxBytes)});
    QByteArray bytes(qsizetype(st.st_size), Qt::Uninitialized);
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return fail(Error::fromErrno(errno, QCoreApplication::translate("Files", "read error")));
        if (n == 0)
            break;
        done += n;
    }
    // A file that shrank while read holds what was read.
    bytes.truncate(done);
    return bytes;
}

namespace {

// Made whole beside the target, then renamed onto it: the target is always
// its old contents or the new ones. Without `replace` nothing that already
// has the name (a file, a folder, a dangling link) is touched.
bool writeAtomically(const FileRef& target, const QByteArray& bytes, Error* error, std::optional<unsigned> mode,
                     bool replace, bool* existed)
{
    if (existed)
        *existed = false;
    const QByteArray& path = target.path();
    const qsizetype slash = path.lastIndexOf('/');
    if (path.isEmpty() || slash < 0 || slash == path.size() - 1) {
        SetError(error, QCoreApplication::translate("Files", "no file to write"));
        return false;
    }
    TemporaryFile temp;
    Error why;
    if (!temp.create(slash == 0 ? QByteArray("/") : path.left(slash), error))
        return false;
    if (!temp.write(bytes, mode ? mode_t(*mode) : NewFileMode(), &why) || !temp.sync(&why)) {
        SetError(
            error,
            Error{QCoreApplication::translate("Files", "cannot write %1: %2").arg(target.displayPath(), why.message),
                  why.code});
        return false;
    }
    if (!temp.renameOnto(path, replace, &why)) {
        if (existed)
            *existed = why.code == EEXIST;
        const QString doing = replace ? QStringLiteral("replace") : QStringLiteral("create");
        SetError(error,
                 Error{QStringLiteral("cannot %1 %2: %3").arg(doing, target.displayPath(), why.message), why.code});
        return false;
    }
    return true;
}

} // namespace

bool WriteFileAtomically(const FileRef& target, const QByteArray& bytes, Error* error, std::optional<unsigned> mode)
{
    return writeAtomically(target, bytes, error, mode, true, nullptr);
}

bool WriteNewFileAtomically(const FileRef& target, const QByteArray& bytes, Error* error, bool* existed)
{
    return writeAtomically(target, bytes, error, std::nullopt, false, existed);
}

} // namespace pictomat
