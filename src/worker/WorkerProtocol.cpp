#include "worker/WorkerProtocol.h"

#include "files/FileIO.h"

#include <QtEndian>

#include <sys/mman.h>
#include <sys/socket.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace pictomat::worker {

namespace {

class Writer {
public:
    template <typename T>
    void put(T value)
    {
        char bytes[sizeof(T)];
        qToLittleEndian(value, bytes);
        m_out.append(bytes, qsizetype(sizeof(T)));
    }
    void putBytes(const QByteArray& bytes)
    {
        put<uint32_t>(uint32_t(bytes.size()));
        m_out.append(bytes);
    }
    QByteArray take() { return std::move(m_out); }

private:
    QByteArray m_out;
};

class Reader {
public:
    Reader(const char* data, size_t size) : m_data(data), m_size(size) { }
    template <typename T>
    std::optional<T> get()
    {
        if (m_size - m_at < sizeof(T))
            return std::nullopt;
        const T value = qFromLittleEndian<T>(m_data + m_at);
        m_at += sizeof(T);
        return value;
    }
    std::optional<QByteArray> getBytes(size_t max)
    {
        const std::optional<uint32_t> length = get<uint32_t>();
        if (!length || *length > max || m_size - m_at < *length)
            return std::nullopt;
        QByteArray bytes(m_data + m_at, qsizetype(*length));
        m_at += *length;
        return bytes;
    }
    bool atEnd() const { return m_at == m_size; }

private:
    const char* m_data;
    size_t m_size;
    size_t m_at = 0;
};

void putHeader(Writer& out, uint16_t kind)
{
    out.put<uint32_t>(kMagic);
    out.put<uint16_t>(kVersion);
    out.put<uint16_t>(kind);
}

std::optional<uint16_t> getHeader(Reader& in)
{
    const std::optional<uint32_t> magic = in.get<uint32_t>();
    const std::optional<uint16_t> version = in.get<uint16_t>();
    const std::optional<uint16_t> kind = in.get<uint16_t>();
    if (!magic || *magic != kMagic || !version || *version != kVersion || !kind)
        return std::nullopt;
    return kind;
}

void putEdges(Writer& out, const QList<int>& edges)
{
    out.put<uint16_t>(uint16_t(edges.size()));
    for (int edge : edges)
        out.put<uint16_t>(uint16_t(edge));
}

std::optional<QList<int>> getEdges(Reader& in)
{
    const std::optional<uint16_t> count = in.get<uint16_t>();
    if (!count || *count > kMaxEdges)
        return std::nullopt;
    QList<int> edges;
    for (int i = 0; i < *count; ++i) {
        const std::optional<uint16_t> edge = in.get<uint16_t>();
        if (!edge || *edge == 0 || *edge > 4096)
            return std::nullopt;
        edges.append(*edge);
    }
    return edges;
}

} // namespace

QByteArray EncodeRequest(const Request& request)
{
    Writer out;
    putHeader(out, uint16_t(request.kind));
    putEdges(out, request.edges);
    out.putBytes(request.path);
    return out.take();
}

std::optional<Request> ParseRequest(const char* data, size_t size)
{
    Reader in(data, size);
    const std::optional<uint16_t> kind = getHeader(in);
    if (!kind)
        return std::nullopt;
    Request request;
    request.kind = RequestKind(*kind);
    switch (request.kind) {
    case RequestKind::IconFamily:
    case RequestKind::IconSizes: break;
    case RequestKind::Picture:
    case RequestKind::AnyPicture: break;
    default: return std::nullopt;
    }
    std::optional<QList<int>> edges = getEdges(in);
    std::optional<QByteArray> path = in.getBytes(kMaxPathBytes);
    if (!edges || !path || !in.atEnd() || path->contains('\0'))
        return std::nullopt;
    if ((request.kind == RequestKind::IconSizes && edges->isEmpty())
        || ((request.kind == RequestKind::Picture || request.kind == RequestKind::AnyPicture) && edges->size() != 1))
        return std::nullopt;
    request.edges = std::move(*edges);
    request.path = std::move(*path);
    return request;
}

QByteArray EncodeReply(const Reply& reply)
{
    Writer out;
    putHeader(out, uint16_t(reply.kind));
    switch (reply.kind) {
    case ReplyKind::Started: out.put<int32_t>(reply.pid); break;
    case ReplyKind::Finished:
        out.put<uint8_t>(reply.status);
        out.put<uint64_t>(reply.bytes);
        putEdges(out, reply.edges);
        // No size (a family, squares) goes as 0 x 0.
        for (int value : {reply.size.width(), reply.size.height(), reply.natural.width(), reply.natural.height()})
            out.put<int32_t>(std::max(value, 0));
        break;
    case ReplyKind::Ended: out.put<int32_t>(reply.waitStatus); break;
    case ReplyKind::OutOfMemory: break;
    }
    return out.take();
}

std::optional<Reply> ParseReply(const char* data, size_t size)
{
    Reader in(data, size);
    const std::optional<uint16_t> kind = getHeader(in);
    if (!kind)
        return std::nullopt;
    Reply reply;
    reply.kind = ReplyKind(*kind);
    switch (reply.kind) {
    case ReplyKind::Started: {
        const std::optional<int32_t> pid = in.get<int32_t>();
        if (!pid || *pid <= 0)
            return std::nullopt;
        reply.pid = *pid;
        break;
    }
    case ReplyKind::Finished: {
        const std::optional<uint8_t> status = in.get<uint8_t>();
        const std::optional<uint64_t> bytes = in.get<uint64_t>();
        std::optional<QList<int>> edges = getEdges(in);
        if (!status || !bytes || !edges)
            return std::nullopt;
        int32_t sides[4];
        for (int32_t& side : sides) {
            const std::optional<int32_t> value = in.get<int32_t>();
            if (!value || *value < 0)
                return std::nullopt;
            side = *value;
        }
        reply.size = QSize(sides[0], sides[1]);
        reply.natural = QSize(sides[2], sides[3]);
        reply.status = *status;
        reply.bytes = *bytes;
        reply.edges = std::move(*edges);
        break;
    }
    case ReplyKind::Ended: {
        const std::optional<int32_t> waitStatus = in.get<int32_t>();
        if (!waitStatus)
            return std::nullopt;
        reply.waitStatus = *waitStatus;
        break;
    }
    case ReplyKind::OutOfMemory: break;
    default: return std::nullopt;
    }
    if (!in.atEnd())
        return std::nullopt;
    return reply;
}

bool SendMessage(int socket, const QByteArray& message, const int* fds, int fdCount)
{
    iovec io{const_cast<char*>(message.constData()), size_t(message.size())};
    msghdr header{};
    header.msg_iov = &io;
    header.msg_iovlen = 1;
    alignas(cmsghdr) char control[CMSG_SPACE(2 * sizeof(int))] = {};
    if (fdCount > 0) {
        header.msg_control = control;
        header.msg_controllen = CMSG_SPACE(size_t(fdCount) * sizeof(int));
        cmsghdr* c = CMSG_FIRSTHDR(&header);
        c->cmsg_level = SOL_SOCKET;
        c->cmsg_type = SCM_RIGHTS;
        c->cmsg_len = CMSG_LEN(size_t(fdCount) * sizeof(int));
        std::memcpy(CMSG_DATA(c), fds, size_t(fdCount) * sizeof(int));
    }
    for (;;) {
        const ssize_t n = ::sendmsg(socket, &header, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        return n == ssize_t(message.size());
    }
}

std::optional<Received> ReceiveMessage(int socket)
{
    Received received;
    received.message.resize(kMaxMessageBytes);
    iovec io{received.message.data(), size_t(received.message.size())};
    msghdr header{};
    header.msg_iov = &io;
    header.msg_iovlen = 1;
    alignas(cmsghdr) char control[CMSG_SPACE(8 * sizeof(int))] = {};
    header.msg_control = control;
    header.msg_controllen = sizeof control;
    ssize_t n;
    do
        n = ::recvmsg(socket, &header, MSG_CMSG_CLOEXEC);
    while (n < 0 && errno == EINTR);
    if (n <= 0)
        return std::nullopt;
    for (cmsghdr* c = CMSG_FIRSTHDR(&header); c; c = CMSG_NXTHDR(&header, c)) {
        if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_RIGHTS)
            continue;
        const size_t count = (c->cmsg_len - CMSG_LEN(0)) / sizeof(int);
        for (size_t i = 0; i < count; ++i) {
            int fd;
            std::memcpy(&fd, CMSG_DATA(c) + i * sizeof(int), sizeof fd);
            if (received.fds.size() < 2)
                received.fds.append(fd);
            else
                ::close(fd);
        }
    }
    // A message cut short is no message of the protocol.
    if (header.msg_flags & (MSG_TRUNC | MSG_CTRUNC)) {
        for (int fd : received.fds)
            ::close(fd);
        received.fds.clear();
        received.message.clear();
        return received;
    }
    received.message.truncate(qsizetype(n));
    return received;
}

UniqueFd SealedMemfd(const QList<QByteArrayView>& pieces)
{
    UniqueFd memfd(::memfd_create("pictomat-reading", MFD_CLOEXEC | MFD_ALLOW_SEALING));
    if (!memfd.valid())
        return memfd;
    for (QByteArrayView piece : pieces) {
        if (!WriteAll(memfd.get(), piece))
            return UniqueFd();
    }
    if (::fcntl(memfd.get(), F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL) != 0
        || ::lseek(memfd.get(), 0, SEEK_SET) != 0)
        return UniqueFd();
    return memfd;
}

} // namespace pictomat::worker
