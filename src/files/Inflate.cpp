#include "files/Inflate.h"

#include <zlib.h>

#include <algorithm>

namespace pictomat {

namespace {
// Window bits 15 plus 32: zlib tells gzip from zlib headers by itself.
constexpr int kAutoDetectWindowBits = 15 + 32;
constexpr qsizetype kOutputStep = 64 * 1024;
} // namespace

struct Inflater::Stream {
    z_stream z{};
    bool open = false;
    ~Stream()
    {
        if (open)
            inflateEnd(&z);
    }
};

Inflater::Inflater(qint64 maxOutput) : m_stream(std::make_unique<Stream>()), m_maxOutput(maxOutput)
{
    m_stream->open = inflateInit2(&m_stream->z, kAutoDetectWindowBits) == Z_OK;
    m_failed = !m_stream->open;
}

Inflater::~Inflater() = default;

bool Inflater::feed(const QByteArray& input, QByteArray& output)
{
    if (m_failed || m_overCap)
        return false;
    if (m_finished)
        return input.isEmpty(); // nothing may follow the end of the stream
    z_stream& z = m_stream->z;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.constData()));
    z.avail_in = uInt(input.size());
    while (z.avail_in > 0 && !m_finished) {
        // Never ask for more room than the cap leaves, plus one byte to notice passing it.
        const qsizetype room = qsizetype(std::min<qint64>(kOutputStep, m_maxOutput - m_produced + 1));
        const qsizetype before = output.size();
        output.resize(before + room);
        z.next_out = reinterpret_cast<Bytef*>(output.data() + before);
        z.avail_out = uInt(room);
        const int status = inflate(&z, Z_NO_FLUSH);
        const qsizetype made = room - qsizetype(z.avail_out);
        output.resize(before + made);
        m_produced += made;
        if (m_produced > m_maxOutput) {
            m_overCap = true;
            return false;
        }
        if (status == Z_STREAM_END) {
            m_finished = true;
        } else if (status != Z_OK && !(status == Z_BUF_ERROR && made > 0)) {
            m_failed = true;
            return false;
        }
    }
    return !m_finished || z.avail_in == 0;
}

std::optional<QByteArray> InflateAll(const QByteArray& compressed, qint64 maxOutput)
{
    Inflater inflater(maxOutput);
    QByteArray output;
    if (!inflater.feed(compressed, output) || !inflater.finished())
        return std::nullopt;
    return output;
}

} // namespace pictomat
