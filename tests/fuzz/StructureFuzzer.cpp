// Feeds arbitrary bytes to the structure checks that stand before libheif
// and poppler, from memory and from a file descriptor: they read only what
// lies inside, finish quickly (no recursion, no walk that grows faster than
// the file) and give the same verdict either way.

#include "checks/HeifCheck.h"
#include "checks/PdfCheck.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

namespace {

constexpr qint64 kPixels = 64LL * 1024 * 1024;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace pictomat;
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    // The same bytes as a file, through its descriptor.
    static const int fd = memfd_create("structure", 0);
    if (fd < 0 || ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != ssize_t(size))
        std::abort();
    const ByteSource inMemory(bytes), inFile(fd);
    for (const auto check : {CheckHeifStructure, CheckPdfStructure}) {
        Error memoryWhy, fileWhy;
        const Soundness fromMemory = check(inMemory, kPixels, &memoryWhy);
        const Soundness fromFile = check(inFile, kPixels, &fileWhy);
        if (fromMemory != fromFile || memoryWhy.message != fileWhy.message)
            std::abort();
    }
    return 0;
}
