#include "checks/ByteSource.h"

#include <QBuffer>
#include <QFile>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace pictomat {

ByteSource::ByteSource(QByteArray bytes) : m_bytes(std::move(bytes)), m_size(m_bytes.size()) { }

ByteSource::ByteSource(int fd) : m_fd(fd)
{
    struct stat st { };
    if (fd >= 0 && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
        m_size = st.st_size;
}

bool ByteSource::readInto(qint64 at, qint64 length, char* out) const
{
    if (at < 0 || length < 0 || at > m_size || length > m_size - at)
        return false;
    if (m_fd < 0) {
        std::memcpy(out, m_bytes.constData() + at, size_t(length));
        return true;
    }
    while (length > 0) {
        const ssize_t n = ::pread(m_fd, out, size_t(length), off_t(at));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        out += n;
        at += n;
        length -= n;
    }
    return true;
}

std::optional<QByteArray> ByteSource::read(qint64 at, qint64 length) const
{
    if (at < 0 || length < 0 || at > m_size || length > m_size - at)
        return std::nullopt;
    if (m_fd < 0)
        return QByteArray::fromRawData(m_bytes.constData() + at, qsizetype(length));
    QByteArray out(qsizetype(length), Qt::Uninitialized);
    if (!readInto(at, length, out.data()))
        return std::nullopt;
    return out;
}

const char* ByteSource::peek(qint64 at, qint64 length, qint64* got) const
{
    *got = 0;
    if (at < 0 || at >= m_size || length <= 0)
        return nullptr;
    length = std::min({length, kWindow, m_size - at});
    if (m_fd < 0) {
        *got = length;
        return m_bytes.constData() + at;
    }
    if (m_windowAt < 0 || at < m_windowAt || at + length > m_windowAt + m_window.size()) {
        const qint64 span = std::min(kWindow * 2, m_size - at);
        m_window.resize(qsizetype(span));
        m_windowAt = -1;
        if (!readInto(at, span, m_window.data()))
            return nullptr;
        m_windowAt = at;
    }
    *got = length;
    return m_window.constData() + (at - m_windowAt);
}

std::optional<ByteSource> ByteSourceOf(QIODevice& device)
{
    if (auto* file = qobject_cast<QFile*>(&device); file && file->handle() >= 0)
        return ByteSource(file->handle());
    if (auto* buffer = qobject_cast<QBuffer*>(&device))
        return ByteSource(buffer->data());
    return std::nullopt;
}

} // namespace pictomat
