// Writes the seed corpus for fuzz_picture and fuzz_structure: phone photos
// and page artwork as their real writers make them (heif-enc, avifenc with a
// turn and a mirror, a 10-bit HEIC, cairo's PDF surface), and the layouts
// the structure checks look at as containers.py writes them (phone grids,
// object and cross-reference streams, forms, a damaged cross-reference), so
// that mutations start inside the boxes and streams those readers walk.

#include "Seeds.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

namespace {

bool runs(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    return process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

QByteArray bytesOf(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    QTemporaryDir temp;
    const QString png = temp.filePath("p.png"), deep = temp.filePath("deep.png"), out = temp.filePath("out");
    if (!SeedPicture(48).save(png) || !SeedPicture(32).convertToFormat(QImage::Format_RGBA64).save(deep))
        return 1;
    const QList<std::pair<QString, QStringList>> writers{
        {"photo.heic", {"heif-enc", "-q", "60", "-t", "16", png, "-o", out}},
        {"deep.heic", {"heif-enc", "-b", "10", "-q", "60", deep, "-o", out}},
        {"turned.avif", {"avifenc", "--min", "30", "--max", "40", "--irot", "1", "--imir", "0", png, out}},
        {"art.pdf",
         {"/usr/bin/python3", "-c",
          "import sys, cairo\n"
          "s = cairo.PDFSurface(sys.argv[1], 40, 30)\n"
          "c = cairo.Context(s)\n"
          "c.set_source_rgba(0.2, 0.4, 0.8, 0.6)\n"
          "c.arc(20, 15, 12, 0, 6.3)\n"
          "c.fill()\n"
          "c.select_font_face('Sans')\n"
          "c.move_to(4, 26)\n"
          "c.show_text('Ag')\n"
          "s.finish()\n",
          out}},
    };
    bool ok = true;
    for (const auto& [name, command] : writers) {
        QFile::remove(out);
        ok &= runs(command.first(), command.mid(1)) && SaveSeed(dir, name, bytesOf(out));
    }
    const QString containers = QStringLiteral(PICTOMAT_SOURCE_DIR "/tests/checks/containers.py");
    const QString photo = dir + "/photo.heic", turned = dir + "/turned.avif";
    const QList<std::pair<QString, QStringList>> layouts{
        {"grid.heic", {"heif-grid", photo, out, "2", "2", "90", "90", "distinct", "thumb", photo, "exif"}},
        {"grid.avif", {"heif-grid", turned, out, "1", "2", "60", "48"}},
        {"shared-grid.heic", {"heif-grid", photo, out, "3", "3", "144", "144", "shared"}},
        {"declares.heic", {"heif-resize", photo, out, "4000", "3000"}},
        {"declares.avif", {"heif-resize", turned, out, "4000", "3000"}},
        {"nested.heic", {"heif-nest", photo, out, "6"}},
        {"table.pdf", {"pdf", "art", out}},
        {"streams.pdf", {"pdf", "art", out, "objstm", "form"}},
        {"damaged.pdf", {"pdf", "art", out, "broken-xref"}},
        {"tall.pdf", {"pdf", "deep", out, "20", "objstm"}},
        {"thin-image.pdf", {"pdf", "image", out, "3000,3000,200"}},
    };
    for (const auto& [name, arguments] : layouts) {
        QFile::remove(out);
        ok &= runs("/usr/bin/python3", QStringList{containers} + arguments) && SaveSeed(dir, name, bytesOf(out));
    }
    return ok ? 0 : 1;
}
