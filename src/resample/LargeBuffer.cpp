#include "resample/LargeBuffer.h"

#include <sys/mman.h>

#include <new>
#include <utility>

namespace pictomat {

namespace {
constexpr size_t kHugePage = size_t(2) << 20;
constexpr size_t kLarge = size_t(1) << 20;
} // namespace

LargeBuffer::LargeBuffer(size_t bytes)
{
#if defined(MADV_HUGEPAGE)
    if (bytes >= kLarge) {
        // Whole 2 MiB pages, on a 2 MiB boundary: the kernel uses a large
        // page only where one fits whole inside the mapping.
        const size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
        const size_t mapped = rounded + kHugePage;
        void* p = ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p != MAP_FAILED) {
            uint8_t* aligned =
                static_cast<uint8_t*>(p) + (kHugePage - reinterpret_cast<uintptr_t>(p) % kHugePage) % kHugePage;
            // Where the kernel has no large pages to give this is only advice
            // not taken, and the memory is ordinary.
            ::madvise(aligned, rounded, MADV_HUGEPAGE);
            m_mapping = p;
            m_mapped = mapped;
            m_data = aligned;
            return;
        }
    }
#endif
    m_data = new (std::nothrow) uint8_t[bytes];
}

LargeBuffer::~LargeBuffer()
{
    release();
}

LargeBuffer::LargeBuffer(LargeBuffer&& other) noexcept
    : m_data(std::exchange(other.m_data, nullptr)), m_mapping(std::exchange(other.m_mapping, nullptr)),
      m_mapped(std::exchange(other.m_mapped, 0))
{
}

LargeBuffer& LargeBuffer::operator=(LargeBuffer&& other) noexcept
{
    if (this != &other) {
        release();
        m_data = std::exchange(other.m_data, nullptr);
        m_mapping = std::exchange(other.m_mapping, nullptr);
        m_mapped = std::exchange(other.m_mapped, 0);
    }
    return *this;
}

void LargeBuffer::release()
{
    if (m_mapping)
        ::munmap(m_mapping, m_mapped);
    else
        delete[] m_data;
    m_data = nullptr;
    m_mapping = nullptr;
    m_mapped = 0;
}

} // namespace pictomat
