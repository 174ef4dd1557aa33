// Feeds arbitrary bytes to the AppleDouble and resource-map readers, both as a
// sidecar file and as a bare fork, and reads every resource they offer.

#include "files/ResourceFork.h"

#include <cstdint>
#include <cstdlib>

using pictomat::ResourceFork::ResourceMap;
namespace ResourceFork = pictomat::ResourceFork;

namespace {

void readMap(const QByteArray& fork)
{
    const std::optional<ResourceMap> map = ResourceMap::open(fork);
    if (!map)
        return;
    for (const uint32_t type : {ResourceFork::kUrlType, ResourceFork::fourCharCode("TEXT")}) {
        const int count = map->count1Resources(type);
        if (count < 0 || count > 0x10000)
            std::abort();
        // The first few, and the last, as a lookup by index would reach them.
        for (int index = 0; index <= count + 1; ++index) {
            if (index > 8 && index < count)
                index = count;
            const std::optional<QByteArray> data = map->get1IndResource(type, index);
            if (data && (index < 1 || index > count || data->size() > fork.size()))
                std::abort();
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // fromRawData: no copy, so any read past the input is the fuzzer's to see.
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    if (const std::optional<QByteArray> fork = ResourceFork::forkFromAppleDouble(bytes)) {
        if (fork->isEmpty() || fork->size() > bytes.size())
            std::abort();
        readMap(*fork);
    }
    readMap(bytes);
    return 0;
}
