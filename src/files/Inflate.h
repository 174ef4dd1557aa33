#pragma once

#include <QByteArray>

#include <memory>
#include <optional>

namespace pictomat {

// Inflates gzip or zlib ("deflate") data as it arrives, refusing to produce
// more than a cap: a small compressed body can stand for gigabytes, so the
// output is bounded, not the input.
class Inflater {
public:
    explicit Inflater(qint64 maxOutput);
    ~Inflater();
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;

    // Appends what `input` inflates to to `output`. False when the data is not
    // valid compressed data or the output would pass the cap.
    bool feed(const QByteArray& input, QByteArray& output);
    // True once the compressed stream has ended.
    bool finished() const { return m_finished; }
    bool overCap() const { return m_overCap; }

private:
    struct Stream;
    std::unique_ptr<Stream> m_stream;
    qint64 m_maxOutput;
    qint64 m_produced = 0;
    bool m_finished = false;
    bool m_overCap = false;
    bool m_failed = false;
};

// The whole of gzip or zlib data inflated, when it is complete, valid and at
// most maxOutput bytes.
std::optional<QByteArray> InflateAll(const QByteArray& compressed, qint64 maxOutput);

} // namespace pictomat
