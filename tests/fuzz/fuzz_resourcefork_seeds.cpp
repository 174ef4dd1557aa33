// Writes the seed corpus of fuzz_resourcefork: forks shaped like the ones web
// locations carry, bare and inside AppleDouble files.

#include "ForkBuilder.h"

#include <QFile>
#include <QString>

#include <cstdio>

using namespace pictomat::test;

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
        return 2;
    }
    const uint32_t url = 0x75726C20, text = 0x54455854, drag = 0x64726167;
    const QVector<QByteArray> seeds = {
        MakeResourceFork({{url, "http://127.0.0.1/"}}),
        MakeResourceFork({{text, "http://a/"}, {url, "http://a/"}, {drag, QByteArray(12, 1)}}),
        MakeResourceFork({{url, "http://a/"}, {url, QByteArray()}, {url, QByteArray("b\0c", 3)}}),
        MakeResourceFork({}),
    };
    int n = 0;
    for (const QByteArray& seed : seeds) {
        for (const QByteArray& bytes : {seed, MakeAppleDouble(seed)}) {
            QFile f(QString::fromLocal8Bit(argv[1]) + QStringLiteral("/seed-%1").arg(++n));
            if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
                return 1;
        }
    }
    return 0;
}
