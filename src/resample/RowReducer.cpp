#include "resample/RowReducer.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace pictomat {

RowReducer::RowReducer(QSize source, const QVector<Target>& targets) : m_source(source)
{
    if (source.isEmpty())
        return;
    int deepest = 0;
    for (const Target& target : targets) {
        if (target.size.isEmpty())
            return;
        if (!target.rowAt
            && (!target.image || target.image->format() != QImage::Format_ARGB32_Premultiplied
                || !target.image->rect().contains(QRect(target.at, target.size))))
            return;
        Job job;
        job.level = resample::LevelFor(source, target.size);
        const QSize in = resample::LevelSize(source, job.level);
        const QSizeF span = QSizeF(source) / double(1 << job.level);
        job.down = resample::TapsFor(in.height(), span.height(), target.size.height(), resample::Pass::Columns);
        job.across = resample::TapsFor(in.width(), span.width(), target.size.width(), resample::Pass::Rows);
        job.target = target;
        deepest = std::max(deepest, job.level);
        m_jobs.push_back(std::move(job));
    }
    m_levels.resize(size_t(deepest) + 1);
    size_t widest = 0;
    size_t ringPixels = 0;
    for (int k = 0; k <= deepest; ++k) {
        Level& level = m_levels[size_t(k)];
        level.size = resample::LevelSize(source, k);
        // Two rows make the next average; each size needs the rows under one output row.
        level.capacity = k < deepest ? 2 : 1;
        for (size_t j = 0; j < m_jobs.size(); ++j)
            if (m_jobs[j].level == k) {
                level.jobs.push_back(int(j));
                level.capacity = std::max(level.capacity, m_jobs[j].down.widest);
            }
        level.capacity = std::min(level.capacity, level.size.height() + 1);
        level.stride = size_t(level.size.width()) + resample::kRowPadding;
        ringPixels += level.stride * size_t(level.capacity);
        widest = std::max(widest, level.stride);
        m_window.resize(std::max(m_window.size(), size_t(level.capacity)));
    }
    // Left as it comes: every row is written before it is read, and its
    // pages are then touched as the rows arrive rather than all at once
    // before the first, while the decoder waits.
    m_rings = LargeBuffer(ringPixels * sizeof(uint32_t));
    if (!m_rings)
        return;
    uint32_t* ring = reinterpret_cast<uint32_t*>(m_rings.data());
    for (Level& level : m_levels) {
        level.ring = ring;
        ring += level.stride * size_t(level.capacity);
    }
    m_columns.reset(new (std::nothrow) uint32_t[widest]());
    m_valid = bool(m_columns);
}

void RowReducer::addRow(const uint32_t* row)
{
    if (!m_valid || m_levels[0].received >= m_source.height())
        return;
    Level& first = m_levels[0];
    std::memcpy(first.slot(first.received), row, size_t(m_source.width()) * sizeof(uint32_t));
    arrived(0);
}

// A row was written into the level's next slot: every size made from this
// level takes what it can, and each second row makes a row of the next.
void RowReducer::arrived(int k)
{
    Level& level = m_levels[size_t(k)];
    ++level.received;
    for (int j : level.jobs)
        advance(m_jobs[size_t(j)], level);
    if (size_t(k) + 1 < m_levels.size() && level.received % 2 == 0) {
        Level& next = m_levels[size_t(k) + 1];
        resample::HalveRows(level.slot(level.received - 2), level.slot(level.received - 1), level.size.width(),
                            next.slot(next.received));
        arrived(k + 1);
    }
}

void RowReducer::advance(Job& job, const Level& level)
{
    const int width = level.size.width();
    while (job.next < job.target.size.height()) {
        const int y = job.next;
        const int first = job.down.start[size_t(y)];
        const int count = job.down.count[size_t(y)];
        if (first + count > level.received)
            return;
        for (int i = 0; i < count; ++i)
            m_window[size_t(i)] = level.slot(first + i);
        resample::ColumnsPass(m_window.data(), job.down, y, m_columns.get(), width);
        uint32_t* out =
            job.target.rowAt
                ? job.target.rowAt(y)
                : reinterpret_cast<uint32_t*>(job.target.image->scanLine(job.target.at.y() + y)) + job.target.at.x();
        resample::RowsPass(m_columns.get(), job.across, out);
        ++job.next;
        if (job.target.rowDone)
            job.target.rowDone(y);
    }
}

bool RowReducer::finish()
{
    if (!m_valid || m_levels[0].received != m_source.height())
        return false;
    // An odd last row is a box of its own: its average is of itself.
    for (size_t k = 0; k + 1 < m_levels.size(); ++k) {
        Level& level = m_levels[k];
        if (level.received % 2 == 0)
            continue;
        Level& next = m_levels[k + 1];
        const uint32_t* last = level.slot(level.received - 1);
        resample::HalveRows(last, last, level.size.width(), next.slot(next.received));
        arrived(int(k) + 1);
    }
    return std::all_of(m_jobs.begin(), m_jobs.end(),
                       [](const Job& job) { return job.next == job.target.size.height(); });
}

} // namespace pictomat
