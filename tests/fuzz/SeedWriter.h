#pragma once

// What every seed generator does: write named files into the folder it is given.

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QPair>
#include <QString>

#include <plist/plist.h>

#include <cstdio>

namespace pictomat::test {

// A libplist tree as a binary property list; the tree is freed.
inline QByteArray BinaryPlistFrom(plist_t root)
{
    char* raw = nullptr;
    uint32_t length = 0;
    plist_to_bin(root, &raw, &length);
    QByteArray bytes(raw, qsizetype(length));
    plist_to_bin_free(raw);
    plist_free(root);
    return bytes;
}

// "NAME DIR": writes each seed as DIR/name; 0 when all were written.
inline int WriteSeeds(int argc, char** argv, const QList<QPair<QString, QByteArray>>& seeds)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    for (const auto& [name, bytes] : seeds) {
        QFile file(dir + '/' + name);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            return 1;
    }
    return 0;
}

} // namespace pictomat::test
