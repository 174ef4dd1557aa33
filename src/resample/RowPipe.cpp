#include "resample/RowPipe.h"

namespace pictomat {

RowPipe::RowPipe(size_t rowBytes, int stripRows, int strips)
    : m_rowBytes(rowBytes), m_stripRows(stripRows), m_strips(strips), m_counts(size_t(strips), 0)
{
    if (rowBytes == 0 || stripRows <= 0 || strips <= 0)
        return;
    m_bytes = LargeBuffer(rowBytes * size_t(stripRows) * size_t(strips));
    if (!m_bytes)
        return;
    m_rows.resize(size_t(stripRows) * size_t(strips));
    for (size_t i = 0; i < m_rows.size(); ++i)
        m_rows[i] = m_bytes.data() + i * rowBytes;
}

uint8_t* const* RowPipe::strip()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    // The strip after the last one sent is free once the reader handed it back.
    m_changed.wait(lock, [this] { return m_stopped || m_written - m_read < m_strips; });
    if (m_stopped)
        return nullptr;
    return m_rows.data() + size_t(m_written % m_strips) * size_t(m_stripRows);
}

void RowPipe::send(int count)
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_counts[size_t(m_written % m_strips)] = count;
        ++m_written;
    }
    m_changed.notify_all();
}

void RowPipe::close()
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_closed = true;
    }
    m_changed.notify_all();
}

int RowPipe::receive(uint8_t* const** rows)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_holding) {
        ++m_read;
        m_holding = false;
        m_changed.notify_all();
    }
    m_changed.wait(lock, [this] { return m_read < m_written || m_closed; });
    if (m_read == m_written)
        return 0;
    m_holding = true;
    const int index = m_read % m_strips;
    *rows = m_rows.data() + size_t(index) * size_t(m_stripRows);
    return m_counts[size_t(index)];
}

void RowPipe::stop()
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_stopped = true;
    }
    m_changed.notify_all();
}

} // namespace pictomat
