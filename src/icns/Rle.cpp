#include "icns/IcnsCodec.h"

namespace pictomat::icns::codec {

bool RleDecode(const uchar* in, qsizetype inSize, qsizetype* pos, uchar* out, qsizetype outSize, int stride)
{
    qsizetype p = *pos;
    qsizetype written = 0;
    while (written < outSize) {
        if (p >= inSize)
            return false;
        const uchar control = in[p++];
        if (control < 0x80) {
            const qsizetype count = qsizetype(control) + 1;
            if (count > inSize - p || count > outSize - written)
                return false;
            for (qsizetype i = 0; i < count; ++i)
                out[(written + i) * stride] = in[p + i];
            p += count;
            written += count;
        } else {
            const qsizetype count = qsizetype(control) - 125;
            if (p >= inSize || count > outSize - written)
                return false;
            const uchar value = in[p++];
            for (qsizetype i = 0; i < count; ++i)
                out[(written + i) * stride] = value;
            written += count;
        }
    }
    *pos = p;
    return true;
}

void RleEncode(const uchar* in, qsizetype count, int stride, QByteArray* out, bool noLeadingZero)
{
    // Literal bytes are gathered until a run of three or more pays for itself.
    uchar literal[128];
    int literalCount = 0;
    auto flush = [&] {
        if (literalCount == 0)
            return;
        out->append(char(literalCount - 1));
        out->append(reinterpret_cast<const char*>(literal), literalCount);
        literalCount = 0;
    };
    qsizetype i = 0;
    auto runAt = [&](qsizetype at) {
        const uchar v = in[at * stride];
        qsizetype n = 1;
        while (at + n < count && n < 130 && in[(at + n) * stride] == v)
            ++n;
        return n;
    };
    if (noLeadingZero && count >= 2 && runAt(0) < 3) {
        literal[literalCount++] = in[0];
        literal[literalCount++] = in[stride];
        i = 2;
    }
    while (i < count) {
        const qsizetype run = runAt(i);
        if (run >= 3) {
            flush();
            out->append(char(run + 125));
            out->append(char(in[i * stride]));
            i += run;
        } else {
            literal[literalCount++] = in[i * stride];
            ++i;
            if (literalCount == 128)
                flush();
        }
    }
    flush();
}

} // namespace pictomat::icns::codec
