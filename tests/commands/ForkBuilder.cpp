#include "ForkBuilder.h"

#include <QMap>

namespace pictomat::test {

namespace {
void put16(QByteArray& b, qsizetype at, uint32_t v)
{
    b[at] = char(v >> 8);
    b[at + 1] = char(v);
}
void put32(QByteArray& b, qsizetype at, uint32_t v)
{
    put16(b, at, v >> 16);
    put16(b, at + 2, v & 0xFFFF);
}
} // namespace

QByteArray MakeResourceFork(const QVector<std::pair<uint32_t, QByteArray>>& resources)
{
    QByteArray data;
    QVector<uint32_t> types;
    QMap<uint32_t, QVector<uint32_t>> offsets; // type -> data offsets, in order
    for (const auto& [type, bytes] : resources) {
        if (!types.contains(type))
            types.append(type);
        offsets[type].append(uint32_t(data.size()));
        QByteArray length(4, 0);
        put32(length, 0, uint32_t(bytes.size()));
        data += length + bytes;
    }
    const qsizetype typeList = 28;
    const qsizetype refLists = typeList + 2 + 8 * types.size();
    QByteArray map(refLists + 12 * resources.size() + 2, 0); // empty name list
    put16(map, 24, uint32_t(typeList));
    put16(map, 26, uint32_t(map.size()));
    put16(map, typeList, uint32_t(types.size() - 1));
    qsizetype ref = refLists;
    for (qsizetype t = 0; t < types.size(); ++t) {
        put32(map, typeList + 2 + 8 * t, types[t]);
        put16(map, typeList + 6 + 8 * t, uint32_t(offsets[types[t]].size() - 1));
        put16(map, typeList + 8 + 8 * t, uint32_t(ref - typeList));
        for (qsizetype i = 0; i < offsets[types[t]].size(); ++i, ref += 12) {
            put16(map, ref, uint32_t(128 + i));
            put16(map, ref + 2, 0xFFFF);
            put32(map, ref + 4, offsets[types[t]][i]); // attributes byte stays 0
        }
    }
    const uint32_t dataOffset = 256; // as the system lays forks out
    QByteArray fork(dataOffset, 0);
    put32(fork, 0, dataOffset);
    put32(fork, 4, dataOffset + uint32_t(data.size()));
    put32(fork, 8, uint32_t(data.size()));
    put32(fork, 12, uint32_t(map.size()));
    map.replace(0, 16, fork.left(16));
    return fork + data + map;
}

QByteArray MakeAppleDouble(const QByteArray& fork)
{
    QByteArray head(26 + 24, 0);
    put32(head, 0, 0x00051607);
    put32(head, 4, 0x00020000);
    put16(head, 24, 2);
    put32(head, 26, 9); // FinderInfo
    put32(head, 30, uint32_t(head.size()));
    put32(head, 34, 32);
    put32(head, 38, 2);
    put32(head, 42, uint32_t(head.size() + 32));
    put32(head, 46, uint32_t(fork.size()));
    return head + QByteArray(32, 0) + fork;
}

} // namespace pictomat::test
