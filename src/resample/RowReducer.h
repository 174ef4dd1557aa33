#pragma once

#include "resample/Kernels.h"
#include "resample/LargeBuffer.h"

#include <QImage>
#include <QPoint>
#include <QSize>
#include <QVector>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace pictomat {

// A picture reduced to many sizes while its rows arrive, top to bottom, with
// the same pixels as PictureReducer makes from the whole picture: the box
// averages are made a pair of rows at a time, and each size is filtered as
// soon as the rows under its next output row are in. Only the rows some
// size still needs are held, so memory follows the sizes, not the picture.
class RowReducer {
public:
    struct Target {
        QImage* image; // premultiplied ARGB32; the size is written at `at`
        QPoint at;
        QSize size;
        std::function<void(int row)> rowDone = {}; // told of each row written, in order
        // Where each row goes instead of into `image` (which may then be
        // null): size.width() pixels, until rowDone is told of it.
        std::function<uint32_t*(int row)> rowAt = {};
    };
    // `source` is the size of the picture whose rows will arrive.
    RowReducer(QSize source, const QVector<Target>& targets);
    bool valid() const { return m_valid; }
    // The next row of the picture, premultiplied ARGB32, source.width() pixels.
    void addRow(const uint32_t* row);
    // After the last row: whether every target got every one of its rows.
    bool finish();

private:
    struct Level {
        QSize size;
        int capacity = 0; // rows held, the oldest overwritten first
        size_t stride = 0;
        uint32_t* ring = nullptr; // in m_rings
        int received = 0;
        std::vector<int> jobs;
        uint32_t* slot(int y) const { return ring + size_t(y % capacity) * stride; }
    };
    struct Job {
        int level = 0;
        resample::Taps down, across;
        int next = 0; // the next output row
        Target target;
    };
    void arrived(int level);
    void advance(Job& job, const Level& level);

    bool m_valid = false;
    QSize m_source;
    std::vector<Level> m_levels;
    LargeBuffer m_rings; // every level's rows, in one piece
    std::vector<Job> m_jobs;
    std::vector<const uint32_t*> m_window;
    std::unique_ptr<uint32_t[]> m_columns; // one row after the columns pass
};

} // namespace pictomat
