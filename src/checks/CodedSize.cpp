#include "checks/CodedSize.h"

#include <QByteArray>

namespace pictomat {

namespace {

// Reads bits most significant first; past the end it gives zeros and
// remembers that it ran out.
class Bits {
public:
    explicit Bits(QByteArrayView bytes) : m_bytes(bytes) { }
    bool ok() const { return m_ok; }

    uint64_t u(int count)
    {
        uint64_t value = 0;
        for (int i = 0; i < count; ++i) {
            if (m_at >= m_bytes.size() * 8) {
                m_ok = false;
                return 0;
            }
            const int bit = (uchar(m_bytes[m_at / 8]) >> (7 - m_at % 8)) & 1;
            value = value << 1 | uint64_t(bit);
            ++m_at;
        }
        return value;
    }

    void skip(int count) { u(count); }

    // Exp-Golomb (HEVC's ue(v)) and AV1's uvlc(): a count of zeros, a one,
    // as many bits again. Longer codes than 32 bits name nothing real.
    uint64_t golomb()
    {
        int zeros = 0;
        while (m_ok && u(1) == 0) {
            if (++zeros > 32) {
                m_ok = false;
                return 0;
            }
        }
        return (uint64_t(1) << zeros) - 1 + u(zeros);
    }

private:
    QByteArrayView m_bytes;
    qint64 m_at = 0;
    bool m_ok = true;
};

// A NAL unit's payload without the bytes that keep start codes out of it
// (0x000003 stands for 0x0000). The size comes within the first hundred bytes.
QByteArray unescaped(QByteArrayView nal)
{
    QByteArray out;
    int zeros = 0;
    for (const char c : nal.first(std::min<qsizetype>(nal.size(), 256))) {
        if (zeros >= 2 && c == 3) {
            zeros = 0;
            continue;
        }
        out.append(c);
        zeros = c == 0 ? zeros + 1 : 0;
    }
    return out;
}

} // namespace

std::optional<CodedSize> HevcSpsSize(QByteArrayView nal)
{
    if (nal.size() < 3 || ((uchar(nal[0]) >> 1) & 0x3F) != 33)
        return std::nullopt;
    const QByteArray rbsp = unescaped(nal.sliced(2));
    Bits bits(rbsp);
    bits.skip(4); // sps_video_parameter_set_id
    const int subLayers = int(bits.u(3));
    bits.skip(1);  // sps_temporal_id_nesting_flag
    bits.skip(96); // the general profile, tier and level
    bool profilePresent[8] = {}, levelPresent[8] = {};
    for (int i = 0; i < subLayers; ++i) {
        profilePresent[i] = bits.u(1);
        levelPresent[i] = bits.u(1);
    }
    if (subLayers > 0)
        bits.skip(2 * (8 - subLayers));
    for (int i = 0; i < subLayers; ++i) {
        bits.skip(profilePresent[i] ? 88 : 0);
        bits.skip(levelPresent[i] ? 8 : 0);
    }
    bits.golomb();          // sps_seq_parameter_set_id
    if (bits.golomb() == 3) // chroma_format_idc: 4:4:4 has a flag more
        bits.skip(1);
    const uint64_t width = bits.golomb();
    const uint64_t height = bits.golomb();
    if (!bits.ok())
        return std::nullopt;
    return CodedSize{qint64(width), qint64(height)};
}

std::optional<CodedSize> Av1SequenceSize(QByteArrayView payload)
{
    Bits bits(payload);
    bits.skip(3);    // seq_profile
    bits.skip(1);    // still_picture
    if (bits.u(1)) { // reduced_still_picture_header
        bits.skip(5);
    } else {
        bool decoderModel = false;
        int delayLength = 0;
        if (bits.u(1)) { // timing_info_present_flag
            bits.skip(64);
            if (bits.u(1)) // equal_picture_interval
                bits.golomb();
            decoderModel = bits.u(1);
            if (decoderModel) {
                delayLength = int(bits.u(5)) + 1;
                bits.skip(32 + 5 + 5);
            }
        }
        const bool displayDelay = bits.u(1);
        const int points = int(bits.u(5)) + 1;
        for (int i = 0; i < points && bits.ok(); ++i) {
            bits.skip(12);     // operating_point_idc
            if (bits.u(5) > 7) // seq_level_idx, and its tier above level 3.3
                bits.skip(1);
            if (decoderModel && bits.u(1))
                bits.skip(2 * delayLength + 1);
            if (displayDelay && bits.u(1))
                bits.skip(4);
        }
    }
    const int widthBits = int(bits.u(4)) + 1;
    const int heightBits = int(bits.u(4)) + 1;
    const uint64_t width = bits.u(widthBits) + 1;
    const uint64_t height = bits.u(heightBits) + 1;
    if (!bits.ok())
        return std::nullopt;
    return CodedSize{qint64(width), qint64(height)};
}

namespace {

void keepLargest(std::optional<CodedSize>& largest, const std::optional<CodedSize>& size)
{
    if (size && (!largest || size->pixels() > largest->pixels()))
        largest = size;
}

uint32_t bigEndian32(QByteArrayView bytes)
{
    return uint32_t(uchar(bytes[0])) << 24 | uint32_t(uchar(bytes[1])) << 16 | uint32_t(uchar(bytes[2])) << 8
           | uint32_t(uchar(bytes[3]));
}

// The sequence headers among the OBUs of `length` bytes.
void av1Headers(const DataReader& read, qint64 length, StreamFacts& facts)
{
    for (qint64 at = 0; at < length && facts.units <= kMaxStreamUnits; ++facts.units) {
        const std::optional<QByteArray> head = read(at, 10);
        if (!head || head->isEmpty())
            return;
        const uchar header = uchar(head->at(0));
        qint64 used = (header & 0x04) ? 2 : 1; // obu_extension_flag
        qint64 size = length - at - used;
        if (header & 0x02) { // obu_has_size_field: a LEB128 number
            size = 0;
            for (int i = 0;; ++i) {
                if (used >= head->size() || i == 8)
                    return;
                const uchar byte = uchar(head->at(used++));
                size |= qint64(byte & 0x7F) << (7 * i);
                if (!(byte & 0x80))
                    break;
            }
        }
        if (size < 0 || size > length - at - used)
            return;
        if (((header >> 3) & 0x0F) == 1) { // OBU_SEQUENCE_HEADER
            if (const std::optional<QByteArray> payload = read(at + used, std::min<qint64>(size, 256)))
                keepLargest(facts.size, Av1SequenceSize(*payload));
        }
        at += used + size;
    }
}

} // namespace

StreamFacts HevcStream(QByteArrayView hvcC, const DataReader& read, qint64 length)
{
    StreamFacts facts;
    // hvcC: 22 bytes of profile, then arrays of NAL units, each after a
    // two-byte length.
    if (hvcC.size() > 22) {
        const int arrays = uchar(hvcC[22]);
        qint64 at = 23;
        for (int a = 0; a < arrays && at + 3 <= hvcC.size(); ++a) {
            const int units = uchar(hvcC[at + 1]) << 8 | uchar(hvcC[at + 2]);
            at += 3;
            for (int u = 0; u < units && at + 2 <= hvcC.size(); ++u) {
                const qint64 size = uchar(hvcC[at]) << 8 | uchar(hvcC[at + 1]);
                if (size > hvcC.size() - at - 2)
                    break;
                keepLargest(facts.size, HevcSpsSize(hvcC.sliced(at + 2, size)));
                at += 2 + size;
            }
        }
    }
    for (qint64 at = 0; at + 4 <= length && facts.units <= kMaxStreamUnits; ++facts.units) {
        const std::optional<QByteArray> head = read(at, 6);
        if (!head || head->size() < 6)
            break;
        const qint64 size = bigEndian32(*head);
        if (size > length - at - 4)
            break;
        if (((uchar(head->at(4)) >> 1) & 0x3F) == 33) { // SPS_NUT
            if (const std::optional<QByteArray> nal = read(at + 4, std::min<qint64>(size, 256)))
                keepLargest(facts.size, HevcSpsSize(*nal));
        }
        at += 4 + size;
    }
    return facts;
}

StreamFacts Av1Stream(QByteArrayView av1C, const DataReader& read, qint64 length)
{
    StreamFacts facts;
    // av1C: four bytes of its own, then the configuration OBUs.
    if (av1C.size() > 4) {
        const QByteArray obus = av1C.sliced(4).toByteArray();
        StreamFacts configuration;
        av1Headers([&](qint64 at, qint64 n) { return std::optional(obus.mid(at, n)); }, obus.size(), configuration);
        facts.size = configuration.size;
    }
    av1Headers(read, length, facts);
    return facts;
}

} // namespace pictomat
