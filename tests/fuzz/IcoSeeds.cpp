// Writes the seed corpus for fuzz_ico: icons of every kind the reader
// knows, so that mutations start from well-formed pictures: our own
// (bitmaps with masks, PNG), bitmaps of 1 to 24 bits with and without masks
// built by hand, and icotool's files when it is installed.

#include "ico/IcoFile.h"
#include "Seeds.h"

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

using namespace pictomat::ico;

namespace {

void put(QByteArray* b, int bytes, quint32 v)
{
    for (int i = 0; i < bytes; ++i)
        b->append(char(v >> (8 * i)));
}

// One bitmap of the depth: an 8 x 8 picture over a palette, then its mask when asked.
QByteArray bitmapIcon(int depth, bool mask)
{
    const int w = 8, h = 8;
    const int colours = depth <= 8 ? 1 << depth : 0;
    const int stride = ((w * depth + 31) / 32) * 4;
    QByteArray body;
    put(&body, 4, 40);
    put(&body, 4, w);
    put(&body, 4, 2 * h);
    put(&body, 2, 1);
    put(&body, 2, depth);
    for (int i = 0; i < 6; ++i)
        put(&body, 4, i == 4 ? colours : 0);
    for (int i = 0; i < colours; ++i)
        put(&body, 4, 0x010101u * (i * 255 / qMax(colours - 1, 1)));
    for (int i = 0; i < stride * h; ++i)
        body.append(char(i * 37));
    if (mask)
        for (int y = 0; y < h; ++y)
            put(&body, 4, y % 2 ? 0x0F : 0xF0);
    QByteArray file;
    put(&file, 2, 0);
    put(&file, 2, 1);
    put(&file, 2, 1);
    file.append(char(w)).append(char(h)).append(char(colours & 0xFF)).append('\0');
    put(&file, 2, 1);
    put(&file, 2, depth);
    put(&file, 4, quint32(body.size()));
    put(&file, 4, 22);
    return file + body;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    bool ok = true;
    ok &= SaveSeed(
        dir, "ours.ico",
        WriteIco({{SeedPicture(16), {}}, {SeedPicture(32), {}}, {SeedPicture(48), {}}, {SeedPicture(256), {}}}));
    ok &= SaveSeed(dir, "small.ico", WriteIco({{SeedPicture(1), {}}, {SeedPicture(3), {}}}));
    for (int depth : {1, 4, 8, 16, 24, 32})
        for (bool mask : {true, false})
            ok &= SaveSeed(dir, QStringLiteral("bitmap-%1%2.ico").arg(depth).arg(mask ? "-mask" : ""),
                           bitmapIcon(depth, mask));
    QByteArray cursor = bitmapIcon(4, true);
    cursor[2] = 2;
    ok &= SaveSeed(dir, "cursor.cur", cursor);
    // icotool's own files, when it is installed.
    QTemporaryDir temp;
    const QString png = temp.filePath(QStringLiteral("p.png")), out = temp.filePath(QStringLiteral("t.ico"));
    QImage twoColours(24, 24, QImage::Format_ARGB32);
    twoColours.fill(Qt::transparent);
    QPainter(&twoColours).fillRect(4, 4, 16, 16, Qt::white);
    if (twoColours.save(png)) {
        for (const char* depth : {"1", "4", "8", "24", "32"}) {
            if (QProcess::execute(QStringLiteral("icotool"), {"-c", "-b", depth, "-o", out, png}) != 0)
                break;
            QFile f(out);
            if (f.open(QIODevice::ReadOnly))
                ok &= SaveSeed(dir, QStringLiteral("icotool-%1.ico").arg(depth), f.readAll());
        }
    }
    return ok ? 0 : 1;
}
