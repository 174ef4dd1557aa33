// Arbitrary bytes as a message to the reading worker (a request) and as one
// from it (a reply): each side reads what it can trust or refuses it, and
// what it accepts says again, encoded, exactly the bytes it was read from.
#include "worker/WorkerProtocol.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace pictomat::worker;
    const char* bytes = reinterpret_cast<const char*>(data);
    const QByteArray input(bytes, qsizetype(size));
    if (const std::optional<Request> request = ParseRequest(bytes, size)) {
        if (request->edges.size() > kMaxEdges || request->path.size() > kMaxPathBytes)
            std::abort();
        if (EncodeRequest(*request) != input)
            std::abort();
    }
    if (const std::optional<Reply> reply = ParseReply(bytes, size)) {
        if (reply->edges.size() > kMaxEdges)
            std::abort();
        if (EncodeReply(*reply) != input)
            std::abort();
    }
    return 0;
}
