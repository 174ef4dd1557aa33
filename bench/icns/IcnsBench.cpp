// Times writing a full .icns family (16 ... 1024 px) from one 1024 px picture:
// our writer (scaling, encoding, atomic write), Pillow's save(format="ICNS")
// of the same picture, and png2icns on the sizes it accepts. Prints the median
// of several runs and the file sizes.

#include "files/FileIO.h"
#include "icns/IconFamily.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QProcess>
#include <QRadialGradient>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

#include <sys/resource.h>

using namespace pictomat::icns;

namespace {

constexpr int kRuns = 9;

// An icon as people draw them: a rounded tile with gradients, soft shapes,
// a shadow and a transparent surround.
QImage iconPicture()
{
    QImage image(1024, 1024, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    for (int i = 12; i > 0; --i) { // soft shadow
        p.setBrush(QColor(0, 0, 0, 6));
        p.drawRoundedRect(QRectF(100 - i, 120 - i, 824 + 2 * i, 824 + 2 * i), 180, 180);
    }
    QLinearGradient tile(0, 100, 0, 924);
    tile.setColorAt(0, QColor(90, 170, 255));
    tile.setColorAt(1, QColor(20, 60, 160));
    p.setBrush(tile);
    p.drawRoundedRect(QRectF(100, 100, 824, 824), 180, 180);
    QRadialGradient glow(QPointF(512, 420), 380);
    glow.setColorAt(0, QColor(255, 255, 255, 200));
    glow.setColorAt(1, QColor(255, 255, 255, 0));
    p.setBrush(glow);
    p.drawEllipse(QPointF(512, 420), 380, 380);
    QPainterPath leaf;
    leaf.moveTo(300, 760);
    leaf.cubicTo(260, 420, 600, 260, 760, 280);
    leaf.cubicTo(760, 560, 560, 800, 300, 760);
    QLinearGradient leafFill(300, 760, 760, 280);
    leafFill.setColorAt(0, QColor(40, 160, 60));
    leafFill.setColorAt(1, QColor(190, 240, 90));
    p.setBrush(leafFill);
    p.drawPath(leaf);
    p.setPen(QPen(QColor(255, 255, 255, 180), 14, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(330, 730), QPointF(700, 330));
    p.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

// Wall-clock and CPU milliseconds: the machine this runs on is often shared,
// and CPU time is what stays comparable under load.
struct Timing {
    double wall = -1;
    double cpu = -1;
    double firstWall = -1; // the first run, before any buffer was reused
};

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double processCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

double childrenCpuMs()
{
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

// Scales, encodes and writes the file. Atomic: through WriteFileAtomically (temporary
// file, fsync, rename); otherwise a plain write, as Pillow does.
Timing ourWriter(const QImage& picture, const QByteArray& path, bool atomic)
{
    std::vector<double> times, cpu;
    for (int run = 0; run < kRuns; ++run) {
        QElapsedTimer timer;
        timer.start();
        const double cpuStart = processCpuMs();
        QMap<int, QImage> images{{1024, picture}};
        QImage current = picture;
        for (int size = 512; size >= 16; size /= 2) {
            current = current.scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            images.insert(size, current);
        }
        const IconFamily family = IconFamily::fromImages(images);
        if (atomic) {
            if (!pictomat::WriteFileAtomically(pictomat::FileRef(path), family.toIcns()))
                return {};
        } else {
            QFile file(QFile::decodeName(path));
            const QByteArray bytes = family.toIcns();
            if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
                return {};
        }
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
        cpu.push_back(processCpuMs() - cpuStart);
    }
    return {median(times), median(cpu), times.front()};
}

Timing pillow(const QString& picture, const QString& out)
{
    // Timed inside Python so that the interpreter's start-up is left out.
    const char* script = R"(
import sys, time
from PIL import Image
src = Image.open(sys.argv[1]); src.load()
times, cpu = [], []
for _ in range(int(sys.argv[3])):
    t, c = time.perf_counter(), time.process_time()
    src.save(sys.argv[2], format='ICNS')
    times.append((time.perf_counter() - t) * 1000)
    cpu.append((time.process_time() - c) * 1000)
times.sort()
cpu.sort()
print(times[len(times) // 2], cpu[len(cpu) // 2])
)";
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"), QLatin1String(script), picture, out, QString::number(kRuns)});
    if (!python.waitForFinished(300000) || python.exitCode() != 0)
        return {};
    const QList<QByteArray> fields = python.readAllStandardOutput().trimmed().split(' ');
    return {fields.value(0).toDouble(), fields.value(1).toDouble()};
}

Timing png2icns(const QImage& picture, const QString& folder, const QString& out)
{
    QStringList args{out};
    for (int size : {16, 32, 48, 128, 256, 512, 1024}) {
        const QString name = folder + QStringLiteral("/p%1.png").arg(size);
        picture.scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).save(name);
        args << name;
    }
    std::vector<double> times, cpu;
    for (int run = 0; run < kRuns; ++run) {
        QElapsedTimer timer;
        timer.start();
        const double cpuStart = childrenCpuMs();
        QProcess tool;
        tool.start(QStringLiteral("png2icns"), args);
        if (!tool.waitForFinished(300000) || tool.exitCode() != 0)
            return {};
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
        cpu.push_back(childrenCpuMs() - cpuStart);
    }
    return {median(times), median(cpu)};
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTemporaryDir dir;
    if (argc == 3 && QByteArray(argv[1]) == "--save-picture")
        return iconPicture().save(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
    const QString picturePath =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : dir.filePath(QStringLiteral("picture.png"));
    QImage picture;
    if (argc > 1) {
        picture = QImage(picturePath)
                      .convertToFormat(QImage::Format_ARGB32)
                      .scaled(1024, 1024, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    } else {
        picture = iconPicture();
        picture.save(picturePath);
    }
    if (picture.isNull()) {
        std::fprintf(stderr, "bench_icns: cannot read the picture\n");
        return 1;
    }
    const QString ours = dir.filePath(QStringLiteral("ours.icns"));
    const QString theirs = dir.filePath(QStringLiteral("pillow.icns"));
    const QString libicns = dir.filePath(QStringLiteral("png2icns.icns"));

    const Timing tOurs = ourWriter(picture, QFile::encodeName(ours), false);
    const Timing tAtomic = ourWriter(picture, QFile::encodeName(ours), true);
    const Timing tPillow = pillow(picturePath, theirs);
    const Timing tPng2icns = png2icns(picture, dir.path(), libicns);
    const qint64 sOurs = QFileInfo(ours).size(), sPillow = QFileInfo(theirs).size(),
                 sLibicns = QFileInfo(libicns).size();

    std::printf("full family from one 1024 px picture, median of %d runs\n", kRuns);
    std::printf("%-10s %10s %10s %12s\n", "writer", "wall ms", "cpu ms", "bytes");
    auto row = [](const char* name, Timing t, qint64 bytes, const char* note) {
        std::printf("%-10s %10.1f %10.1f %12lld%s\n", name, t.wall, t.cpu, static_cast<long long>(bytes), note);
    };
    row("pictomat", tOurs, sOurs, "");
    row("atomic", tAtomic, sOurs, "  (WriteFileAtomically: temporary file, fsync, rename)");
    std::printf("%-10s %10.1f %10s %12s  (first family in the process)\n", "first", tOurs.firstWall, "", "");
    row("pillow", tPillow, sPillow, "");
    row("png2icns", tPng2icns, sLibicns, "  (process run, PNGs made beforehand)");
    if (tOurs.cpu > 0 && tPillow.cpu > 0 && tPng2icns.cpu > 0 && sPillow > 0)
        std::printf("cpu speed-up vs pillow %.1fx, vs png2icns %.1fx; wall %.1fx, %.1fx; size vs pillow %+.1f%%\n",
                    tPillow.cpu / tOurs.cpu, tPng2icns.cpu / tOurs.cpu, tPillow.wall / tOurs.wall,
                    tPng2icns.wall / tOurs.wall, 100.0 * double(sOurs - sPillow) / double(sPillow));
    return 0;
}
