#pragma once

#include "files/UniqueFd.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QSize>

#include <cstdint>
#include <optional>

namespace pictomat::worker {

// The messages between the program and its reading worker, over a
// SOCK_SEQPACKET socket: one message a packet, little-endian, each with a
// header naming the protocol's version so that a program and a worker of
// different builds refuse each other instead of misreading. Descriptors (the
// file to read, the reply socket, the pixels' memfd) travel beside them.
inline constexpr uint32_t kMagic = 0x504d5752; // "RWMP"
inline constexpr uint16_t kVersion = 1;
inline constexpr int kMaxEdges = 64;
inline constexpr int kMaxPathBytes = 4096;
inline constexpr int kMaxMessageBytes = 8192;

enum class RequestKind : uint16_t {
    IconFamily = 1, // the family made from a file's contents, as .icns bytes
    IconSizes = 2,  // squares of the edges asked, premultiplied ARGB32
    Picture = 3,    // the picture within edges[0] along its longer edge, premultiplied ARGB32
    // As Picture, and an icon file gives its best element for edges[0], a
    // movie its poster frame: what a file shows as its own picture.
    AnyPicture = 4,
};

// Only when this is set to 1 in the environment does the worker take a file
// that begins with kTestHead and a word (crash, spin, allocate, hang) as an
// order to fail that way, and the program take PICTOMAT_READER_DEADLINE_MS
// as its deadline: the tests reach the worker's failures through the real
// commands, and no file can order them otherwise.
inline constexpr char kTestEnvironment[] = "PICTOMAT_READER_TESTS";
inline constexpr char kTestHead[] = "PICTOMAT-READER-TEST:";

struct Request {
    RequestKind kind = RequestKind::IconFamily;
    QList<int> edges; // IconSizes: 1 to kMaxEdges edges, each 1 to 4096
    QByteArray path;  // the file's name, for a drawing's links and formats known by extension
};

enum class ReplyKind : uint16_t {
    Started = 1,  // from the child, before it reads anything: its process id
    Finished = 2, // from the child: the outcome, with a memfd when there are pixels or bytes
    Ended = 3,    // from the worker once the child is gone: its wait status
    OutOfMemory = 4,
};

struct Reply {
    ReplyKind kind = ReplyKind::Finished;
    int32_t pid = 0;        // Started
    uint8_t status = 0;     // Finished: a PictureStatus
    uint64_t bytes = 0;     // Finished: what the memfd holds (at least)
    QList<int> edges;       // Finished, IconSizes: the squares in the memfd, in order
    QSize size, natural;    // Finished, Picture: the picture in the memfd, and as the file declares it
    int32_t waitStatus = 0; // Ended
};

QByteArray EncodeRequest(const Request& request);
std::optional<Request> ParseRequest(const char* data, size_t size);
QByteArray EncodeReply(const Reply& reply);
std::optional<Reply> ParseReply(const char* data, size_t size);

// One message and up to two descriptors; false when the peer is gone.
bool SendMessage(int socket, const QByteArray& message, const int* fds = nullptr, int fdCount = 0);
// The next message and the descriptors beside it (owned by the caller; at
// most two are taken, any more are closed). Empty when the peer is gone.
struct Received {
    QByteArray message;
    QList<int> fds;
};
std::optional<Received> ReceiveMessage(int socket);

// What one side hands the other beside a message (a file's bytes, the
// answer's pixels): a memfd holding the pieces one after another, sealed so
// that it cannot change under its reader, read from its start. Invalid when
// it cannot be made.
UniqueFd SealedMemfd(const QList<QByteArrayView>& pieces);

} // namespace pictomat::worker
