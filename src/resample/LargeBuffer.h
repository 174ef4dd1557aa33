#pragma once

#include <cstddef>
#include <cstdint>

namespace pictomat {

// Working memory of a megabyte or more that a reduction fills once and
// reuses (rows in flight between threads, the rows each size still needs),
// in pages of 2 MiB where the system gives them: touched a small page at a
// time, fresh memory costs more than the filtering it is for, most of all
// in virtual machines, where each first touch of a small page is a trap.
// Smaller buffers, and systems without such pages, get ordinary memory.
class LargeBuffer {
public:
    LargeBuffer() = default;
    explicit LargeBuffer(size_t bytes);
    ~LargeBuffer();
    LargeBuffer(LargeBuffer&& other) noexcept;
    LargeBuffer& operator=(LargeBuffer&& other) noexcept;
    LargeBuffer(const LargeBuffer&) = delete;
    LargeBuffer& operator=(const LargeBuffer&) = delete;

    // Null when the memory could not be had. Its contents are undefined.
    uint8_t* data() const { return m_data; }
    explicit operator bool() const { return m_data != nullptr; }

private:
    void release();
    uint8_t* m_data = nullptr;
    void* m_mapping = nullptr; // where mmap put it, when it did
    size_t m_mapped = 0;
};

} // namespace pictomat
