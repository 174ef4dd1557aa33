// Writes the seed corpus for fuzz_icns: small families of every kind the
// reader knows, so that mutations start from well-formed elements.

#include "icns/IconFamily.h"
#include "Seeds.h"

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

using namespace pictomat::icns;

namespace {

QByteArray u32(quint32 v)
{
    const char b[4] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    return QByteArray(b, 4);
}

QByteArray handMade(const QVector<IconFamily::Element>& elements)
{
    QByteArray body;
    for (const auto& e : elements)
        body += u32(e.type) + u32(quint32(e.data.size() + 8)) + e.data;
    return "icns" + u32(quint32(body.size() + 8)) + body;
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
    IconFamily::WriteOptions legacy;
    legacy.legacy48 = legacy.legacy128 = true;
    ok &= SaveSeed(
        dir, "legacy.icns",
        IconFamily::fromImages(
            {{16, SeedPicture(16)}, {32, SeedPicture(32)}, {48, SeedPicture(48)}, {128, SeedPicture(128)}}, legacy)
            .toIcns());
    ok &= SaveSeed(dir, "png-small.icns",
                   IconFamily::fromImages({{32, SeedPicture(32)}, {64, SeedPicture(64)}}).toIcns());
    ok &= SaveSeed(dir, "png-256.icns", IconFamily::fromImages({{256, SeedPicture(256)}}).toIcns());
    ok &= SaveSeed(dir, "argb.icns",
                   QByteArray::fromHex("69636E7300000024696330340000001C41524742FFFFFBFFFF00FB00FF00FB00FFFFFBFF"));
    QByteArray icn(256, '\x0F'), icl4(512, '\x36'), icl8(1024, '\xD7'), ics(64, '\xF0'), ics8(256, '\x05');
    ok &= SaveSeed(dir, "classic.icns",
                   handMade({{MakeOSType("ICN#"), icn},
                             {MakeOSType("icl4"), icl4},
                             {MakeOSType("icl8"), icl8},
                             {MakeOSType("ics#"), ics},
                             {MakeOSType("ics8"), ics8},
                             {MakeOSType("ICON"), icn.left(128)},
                             {MakeOSType("icm#"), QByteArray(48, '\x3C')},
                             {MakeOSType("icm4"), QByteArray(96, '\x21')}}));
    IconFamily withMeta = IconFamily::fromImages({{16, SeedPicture(16)}});
    withMeta.setElement(MakeOSType("info"), "<?xml version=\"1.0\"?><plist><dict/></plist>");
    withMeta.setElement(MakeOSType("icnV"), u32(0x42000000));
    withMeta.setElement(0xFDD92FA8u, IconFamily::fromImages({{16, SeedPicture(16)}}).toIcns());
    ok &= SaveSeed(dir, "metadata.icns", withMeta.toIcns());
    // Shaped like files that once took minutes: 200,000 empty elements of
    // distinct kinds (1.6 MB), and a family at the element cap whose every
    // element is a small PNG under a kind of its own, all decoded.
    QByteArray flood = handMade({});
    for (quint32 i = 0; i < 200000; ++i)
        flood += u32(0x61000000u + i) + u32(8);
    ok &= SaveSeed(dir, "flood.icns", flood.replace(4, 4, u32(quint32(flood.size()))));
    const QByteArray small = *IconFamily::fromImages({{64, SeedPicture(64)}}).element(MakeOSType("ic12"));
    QVector<IconFamily::Element> many;
    for (quint32 i = 0; i < quint32(kMaxElements); ++i)
        many.append({0x61000000u + i, small});
    ok &= SaveSeed(dir, "at-cap.icns", handMade(many));
    // Plain PNG files, for the check that stands in for decoding them.
    for (int size : {16, 64, 128}) {
        QByteArray png;
        QBuffer buffer(&png);
        ok &= buffer.open(QIODevice::WriteOnly) && SeedPicture(size).save(&buffer, "PNG");
        ok &= SaveSeed(dir, QStringLiteral("picture-%1.png").arg(size), png);
    }
    // JPEG 2000 payloads come from png2icns when it is installed: as written
    // (JP2 boxes in ic08) and as a bare codestream in ic09.
    QTemporaryDir temp;
    const QString png = temp.filePath(QStringLiteral("p256.png")), out = temp.filePath(QStringLiteral("j.icns"));
    if (SeedPicture(256).save(png) && QProcess::execute(QStringLiteral("png2icns"), {out, png}) == 0) {
        QFile f(out);
        if (f.open(QIODevice::ReadOnly)) {
            const QByteArray file = f.readAll();
            ok &= SaveSeed(dir, "jpeg2000.icns", file);
            if (const auto family = IconFamily::fromIcns(file)) {
                const QByteArray jp2 = family->element(MakeOSType("ic08")).value_or(QByteArray());
                const qsizetype box = jp2.indexOf("jp2c");
                if (box >= 4)
                    ok &= SaveSeed(dir, "codestream.icns", handMade({{MakeOSType("ic09"), jp2.mid(box + 4)}}));
            }
        }
    }
    return ok ? 0 : 1;
}
