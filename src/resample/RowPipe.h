#pragma once

#include "resample/LargeBuffer.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace pictomat {

// Rows of pixels handed from a decoder on one thread to their reader on
// another, a strip at a time, with a few strips in flight so that neither
// waits for the other while both have work; memory is the strips alone.
class RowPipe {
public:
    RowPipe(size_t rowBytes, int stripRows, int strips);
    bool valid() const { return bool(m_bytes); }
    int stripRows() const { return m_stripRows; }

    // The writer's side: the rows of a free strip (waits for one); null
    // once the reader stopped.
    uint8_t* const* strip();
    // The first `count` rows of that strip are written; it goes to the reader.
    void send(int count);
    // No more rows come.
    void close();

    // The reader's side: the next strip's rows (waits for them) and how many
    // there are; zero once the writer closed and every strip was read. The
    // strip before is handed back to the writer.
    int receive(uint8_t* const** rows);
    // The reader takes no more rows: the writer's next strip() says so.
    void stop();

private:
    size_t m_rowBytes;
    int m_stripRows;
    int m_strips;
    LargeBuffer m_bytes;
    std::vector<uint8_t*> m_rows; // m_stripRows per strip
    std::vector<int> m_counts;    // rows in each strip sent
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_written = 0; // strips sent so far
    int m_read = 0;    // strips handed back so far
    bool m_holding = false;
    bool m_closed = false;
    bool m_stopped = false;
};

} // namespace pictomat
