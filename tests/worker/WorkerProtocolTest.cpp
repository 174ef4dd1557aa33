// The messages between the program and its reading worker: each side refuses
// what the other could not have sent (cut short, another version, trailing
// bytes, edges out of range) rather than read past it, and descriptors cross
// a real socket as the same open files.
#include "worker/WorkerProtocol.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <fcntl.h>
#include <unistd.h>

namespace pictomat::worker {
namespace {

TEST(WorkerProtocol, WhatWasNotSentWholeByThisVersionIsRefused)
{
    Request request;
    request.kind = RequestKind::IconSizes;
    request.edges = {16, 1024, 4096};
    request.path = "/home/someone/Pictures/a drawing.svg";
    const QByteArray bytes = EncodeRequest(request);
    const std::optional<Request> read = ParseRequest(bytes.constData(), size_t(bytes.size()));
    ASSERT_TRUE(read);
    EXPECT_EQ(read->edges, request.edges);
    EXPECT_EQ(read->path, request.path);
    for (qsizetype cut = 0; cut < bytes.size(); ++cut)
        EXPECT_FALSE(ParseRequest(bytes.constData(), size_t(cut))) << cut;
    EXPECT_FALSE(ParseRequest((bytes + "x").constData(), size_t(bytes.size() + 1)));
    QByteArray otherVersion = bytes;
    otherVersion[4] = char(kVersion + 1);
    EXPECT_FALSE(ParseRequest(otherVersion.constData(), size_t(otherVersion.size())));

    // Edges the worker could not make, a path with a NUL, a kind it does not serve.
    for (const QList<int>& edges : {QList<int>{}, QList<int>{0}, QList<int>{4097}}) {
        Request wrong = request;
        wrong.edges = edges;
        const QByteArray w = EncodeRequest(wrong);
        EXPECT_FALSE(ParseRequest(w.constData(), size_t(w.size())));
    }
    Request nul = request;
    nul.path = QByteArray("a\0b", 3);
    const QByteArray n = EncodeRequest(nul);
    EXPECT_FALSE(ParseRequest(n.constData(), size_t(n.size())));
    Request unknown = request;
    unknown.kind = RequestKind(0x7f01);
    const QByteArray u = EncodeRequest(unknown);
    EXPECT_FALSE(ParseRequest(u.constData(), size_t(u.size())));

    Reply finished;
    finished.kind = ReplyKind::Finished;
    finished.status = 3;
    finished.bytes = 4 * 16 * 16;
    finished.edges = {16};
    const QByteArray f = EncodeReply(finished);
    const std::optional<Reply> back = ParseReply(f.constData(), size_t(f.size()));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->bytes, finished.bytes);
    for (qsizetype cut = 0; cut < f.size(); ++cut)
        EXPECT_FALSE(ParseReply(f.constData(), size_t(cut))) << cut;
    Reply started;
    started.kind = ReplyKind::Started;
    started.pid = 0;
    const QByteArray s = EncodeReply(started);
    EXPECT_FALSE(ParseReply(s.constData(), size_t(s.size()))) << "no process has id 0";
}

TEST(WorkerProtocol, DescriptorsCrossTheSocketAsTheSameFilesAndACutMessageIsNone)
{
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair), 0);
    const int file = ::open("/proc/self/exe", O_RDONLY | O_CLOEXEC);
    ASSERT_GE(file, 0);
    Request request;
    request.path = "/proc/self/exe";
    const int fds[2] = {file, pair[0]};
    ASSERT_TRUE(SendMessage(pair[0], EncodeRequest(request), fds, 2));
    const std::optional<Received> received = ReceiveMessage(pair[1]);
    ASSERT_TRUE(received);
    ASSERT_EQ(received->fds.size(), 2);
    struct stat sent {
    }, arrived{};
    ASSERT_EQ(::fstat(file, &sent), 0);
    ASSERT_EQ(::fstat(received->fds[0], &arrived), 0);
    EXPECT_EQ(sent.st_ino, arrived.st_ino);
    EXPECT_EQ(sent.st_dev, arrived.st_dev);
    EXPECT_NE(::fcntl(received->fds[0], F_GETFD) & FD_CLOEXEC, 0);
    EXPECT_TRUE(ParseRequest(received->message.constData(), size_t(received->message.size())));
    for (int fd : received->fds)
        ::close(fd);

    // Larger than any message of the protocol: arrives as nothing readable.
    ASSERT_TRUE(SendMessage(pair[0], QByteArray(kMaxMessageBytes + 100, 'x')));
    const std::optional<Received> cut = ReceiveMessage(pair[1]);
    ASSERT_TRUE(cut);
    EXPECT_TRUE(cut->message.isEmpty());

    ::close(pair[0]);
    EXPECT_FALSE(ReceiveMessage(pair[1]));
    ::close(pair[1]);
    ::close(file);
}

} // namespace
} // namespace pictomat::worker
