#include "resample/Reducer.h"

#include "resample/Kernels.h"

#include <QPainter>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>
#include <thread>
#include <vector>

namespace pictomat {

namespace {

// Set on threads that already share the cores among themselves.
thread_local bool t_oneCore = false;

// Rows [begin, end) of `count` handed to one or two threads, by the work they hold.
template <typename Work>
void inRows(int count, qint64 cost, const Work& work)
{
    static const bool twoCores = std::thread::hardware_concurrency() >= 2;
    if (!twoCores || t_oneCore || cost < 2'000'000 || count < 2) {
        work(0, count);
        return;
    }
    const int half = count / 2;
    std::thread other([&] { work(half, count); });
    work(0, half);
    other.join();
}

// The picture filtered to `size`, written into `out` at `at`. The columns
// pass (many pixels at once) runs first, a strip of rows at a time, so the
// rows pass (a pixel at a time) has the fewest rows and no intermediate
// picture is ever held whole.
bool filterInto(const QImage& in, QSizeF span, QSize size, QImage& out, QPoint at)
{
    const resample::Taps down = resample::TapsFor(in.height(), span.height(), size.height(), resample::Pass::Columns);
    const resample::Taps across = resample::TapsFor(in.width(), span.width(), size.width(), resample::Pass::Rows);
    constexpr int kStrip = 16;
    const int strips = (size.height() + kStrip - 1) / kStrip;
    const qint64 cost = qint64(size.height())
                        * (qint64(in.width()) * qint64(down.weights.size() / size_t(size.height()) + 1)
                           + qint64(size.width()) * qint64(across.weights.size() / size_t(size.width()) + 1));
    const size_t stride = size_t(in.width()) + resample::kRowPadding;
    std::vector<const uint32_t*> rows(size_t(in.height()));
    for (int y = 0; y < in.height(); ++y)
        rows[size_t(y)] = reinterpret_cast<const uint32_t*>(in.constScanLine(y));
    bool ok = true;
    inRows(strips, cost, [&](int begin, int end) {
        const std::unique_ptr<uint32_t[]> strip(new (std::nothrow) uint32_t[stride * kStrip]());
        if (!strip) {
            ok = false;
            return;
        }
        for (int k = begin; k < end; ++k) {
            const int first = k * kStrip, last = std::min(first + kStrip, size.height());
            for (int y = first; y < last; ++y)
                resample::ColumnsPass(rows.data() + down.start[size_t(y)], down, y,
                                      strip.get() + size_t(y - first) * stride, in.width());
            for (int y = first; y < last; ++y)
                resample::RowsPass(strip.get() + size_t(y - first) * stride, across,
                                   reinterpret_cast<uint32_t*>(out.scanLine(at.y() + y)) + at.x());
        }
    });
    return ok;
}

QImage filtered(const QImage& in, QSizeF span, QSize size)
{
    QImage out(size, QImage::Format_ARGB32_Premultiplied);
    if (out.isNull() || !filterInto(in, span, size, out, QPoint(0, 0)))
        return {};
    return out;
}

// The mean of each 2 x 2 box (a partial box at an odd edge: of what it holds).
QImage halved(const QImage& in)
{
    const int w = in.width(), h = in.height();
    QImage out((w + 1) / 2, (h + 1) / 2, QImage::Format_ARGB32_Premultiplied);
    if (out.isNull())
        return out;
    inRows(out.height(), qint64(w) * h, [&](int begin, int end) {
        for (int y = begin; y < end; ++y) {
            const auto* a = reinterpret_cast<const uint32_t*>(in.constScanLine(2 * y));
            const auto* b = 2 * y + 1 < h ? reinterpret_cast<const uint32_t*>(in.constScanLine(2 * y + 1)) : a;
            resample::HalveRows(a, b, w, reinterpret_cast<uint32_t*>(out.scanLine(y)));
        }
    });
    return out;
}

} // namespace

PictureReducer::PictureReducer(const QImage& picture)
{
    if (picture.isNull())
        return;
    m_source = picture.size();
    m_levels.append(picture.format() == QImage::Format_ARGB32_Premultiplied
                        ? picture
                        : picture.convertToFormat(QImage::Format_ARGB32_Premultiplied));
}

// The smallest average at least kMargin times the size asked for, so the filter
// still sees every detail it must smooth away; -1 when it cannot be made.
int PictureReducer::levelFor(QSize size)
{
    const int level = resample::LevelFor(m_source, size);
    // Made from the finest one still held.
    int from = level;
    while (from > 0 && (from >= m_levels.size() || m_levels.at(from).isNull()))
        --from;
    if (m_levels.at(from).isNull())
        return -1;
    for (int k = from; k < level; ++k) {
        QImage next = halved(m_levels.at(k));
        if (next.isNull())
            return -1;
        if (k + 1 < m_levels.size())
            m_levels[k + 1] = std::move(next);
        else
            m_levels.append(std::move(next));
    }
    return level;
}

QImage PictureReducer::reduced(QSize size)
{
    if (m_levels.isEmpty() || size.isEmpty())
        return {};
    if (size == m_source && !m_levels.first().isNull())
        return m_levels.first();
    const int level = levelFor(size);
    if (level < 0)
        return {};
    const bool oneCore = t_oneCore;
    t_oneCore = oneCore || m_prepared;
    QImage out = filtered(m_levels.at(level), QSizeF(m_source) / double(1 << level), size);
    t_oneCore = oneCore;
    return out;
}

bool PictureReducer::reduceInto(QImage& target, QPoint at, QSize size)
{
    if (m_levels.isEmpty() || size.isEmpty() || target.format() != QImage::Format_ARGB32_Premultiplied
        || !target.rect().contains(QRect(at, size)))
        return false;
    const int level = levelFor(size);
    if (level < 0)
        return false;
    const bool oneCore = t_oneCore;
    t_oneCore = oneCore || m_prepared;
    const bool ok = filterInto(m_levels.at(level), QSizeF(m_source) / double(1 << level), size, target, at);
    t_oneCore = oneCore;
    return ok;
}

void PictureReducer::prepare(const QList<QSize>& sizes)
{
    for (const QSize& size : sizes)
        if (!size.isEmpty() && !m_levels.isEmpty())
            levelFor(size);
    m_prepared = true;
}

void PictureReducer::onlyNeed(QSize largest)
{
    const int level = levelFor(largest);
    for (int k = 0; k < level; ++k)
        m_levels[k] = QImage();
}

QImage PictureReducer::fitted(QSize box, QSize natural)
{
    if (m_levels.isEmpty() || box.isEmpty())
        return {};
    const QSize aspect = natural.isEmpty() ? m_levels.first().size() : natural;
    const QSize target = aspect.scaled(box, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
    return PlacedInBox(reduced(target), box);
}

QImage PlacedInBox(const QImage& picture, QSize box, std::optional<QPoint> at)
{
    if (picture.isNull() || picture.size() == box)
        return picture;
    QImage out(box, QImage::Format_ARGB32_Premultiplied);
    if (out.isNull())
        return out;
    out.fill(Qt::transparent);
    QPainter painter(&out);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(at.value_or(QPoint((box.width() - picture.width()) / 2, (box.height() - picture.height()) / 2)),
                      picture);
    return out;
}

QImage ReducePicture(const QImage& picture, QSize size)
{
    return PictureReducer(picture).reduced(size);
}

QImage ReduceIntoBox(const QImage& picture, QSize box)
{
    return PictureReducer(picture).fitted(box);
}

} // namespace pictomat
