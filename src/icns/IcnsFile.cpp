#include "icns/IconFamily.h"

#include <QRandomGenerator>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pictomat::icns {

namespace {

// Icon files are small; anything this large is not one worth reading.
constexpr qint64 kMaxFileSize = 256 * 1024 * 1024;

class Fd {
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    ~Fd() { reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    Fd& operator=(Fd&& other) noexcept
    {
        if (this != &other) {
            reset();
            m_fd = other.m_fd;
            other.m_fd = -1;
        }
        return *this;
    }
    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    bool close()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd < 0 || ::close(fd) == 0;
    }
    void reset()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd;
};

// Removes the temporary file unless the rename took it.
class TempName {
public:
    explicit TempName(QByteArray name) : m_name(std::move(name)) {}
    ~TempName()
    {
        if (!m_name.isEmpty())
            ::unlink(m_name.constData());
    }
    TempName(const TempName&) = delete;
    TempName& operator=(const TempName&) = delete;
    void release() { m_name.clear(); }

private:
    QByteArray m_name;
};

QString systemError(const char* what, const QByteArray& path)
{
    return QStringLiteral("%1 %2: %3")
        .arg(QLatin1String(what), QString::fromLocal8Bit(path), QString::fromLocal8Bit(std::strerror(errno)));
}

void setError(QString* error, const QString& message)
{
    if (error)
        *error = message;
}

QByteArray folderOf(const QByteArray& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return QByteArrayLiteral(".");
    if (slash == 0)
        return QByteArrayLiteral("/");
    return path.left(slash);
}

} // namespace

std::optional<IconFamily> ReadIcnsFile(const QByteArray& path, QString* error)
{
    Fd fd(::open(path.constData(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid()) {
        setError(error, systemError("cannot open", path));
        return std::nullopt;
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        setError(error, QStringLiteral("not a regular file: %1").arg(QString::fromLocal8Bit(path)));
        return std::nullopt;
    }
    if (st.st_size > kMaxFileSize) {
        setError(error, QStringLiteral("too large for an icon file: %1").arg(QString::fromLocal8Bit(path)));
        return std::nullopt;
    }
    QByteArray bytes(qsizetype(st.st_size), Qt::Uninitialized);
    qsizetype got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd.get(), bytes.data() + got, size_t(bytes.size() - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            setError(error, systemError("cannot read", path));
            return std::nullopt;
        }
        if (n == 0)
            break;  // the file shrank while we read it
        got += n;
    }
    bytes.truncate(got);
    return IconFamily::fromIcns(bytes, error);
}

bool WriteIcnsFile(const IconFamily& family, const QByteArray& path, QString* error)
{
    const QByteArray bytes = family.toIcns();
    if (bytes.isEmpty()) {
        setError(error, QStringLiteral("the icon family is too large to write"));
        return false;
    }
    if (path.isEmpty() || path.endsWith('/')) {
        setError(error, QStringLiteral("no file name to write to"));
        return false;
    }
    // A fresh name beside the target; created with 0666 so that the umask
    // applies, as for any new file.
    QByteArray temp;
    Fd fd;
    for (int attempt = 0; attempt < 100 && !fd.valid(); ++attempt) {
        temp = path + '.' + QByteArray::number(QRandomGenerator::global()->generate(), 36) + ".tmp";
        fd = Fd(::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (!fd.valid() && errno != EEXIST)
            break;
    }
    if (!fd.valid()) {
        setError(error, systemError("cannot create a file beside", path));
        return false;
    }
    TempName guard(temp);
    // A replaced file keeps its permissions.
    struct stat st {};
    if (::stat(path.constData(), &st) == 0 && ::fchmod(fd.get(), st.st_mode & 07777) != 0) {
        setError(error, systemError("cannot set the permissions of", temp));
        return false;
    }
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd.get(), bytes.constData() + written, size_t(bytes.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            setError(error, systemError("cannot write", path));
            return false;
        }
        written += n;
    }
    if (::fsync(fd.get()) != 0 || !fd.close()) {
        setError(error, systemError("cannot write", path));
        return false;
    }
    if (::rename(temp.constData(), path.constData()) != 0) {
        setError(error, systemError("cannot replace", path));
        return false;
    }
    guard.release();
    // The rename itself becomes durable once the folder is synced.
    Fd folder(::open(folderOf(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.valid())
        ::fsync(folder.get());
    return true;
}

} // namespace pictomat::icns
