#include "ImageTestSupport.h"

#include "TestEnv.h"

#include <QFile>
#include <QStandardPaths>

#include <cmath>

namespace pictomat::test {

std::optional<QImage> PillowIcnsImage(const QByteArray& icnsPath, int size)
{
    const ProcessResult r = RunPython(R"(
import sys
from PIL import Image
im = Image.open(sys.argv[1])
edge = int(sys.argv[2])
im.size = (edge, edge, 1) if (edge, edge, 1) in im.info['sizes'] else (edge // 2, edge // 2, 2)
im.load()
sys.stdout.write(im.convert('RGBA').tobytes().hex())
)",
                                      {QFile::decodeName(icnsPath), QString::number(size)});
    const QByteArray pixels = QByteArray::fromHex(r.out);
    if (r.exitCode != 0 || pixels.size() != qsizetype(size) * size * 4) {
        ADD_FAILURE() << "Pillow could not read size " << size << ": " << r.err.toStdString();
        return std::nullopt;
    }
    QImage image(size, size, QImage::Format_RGBA8888);
    for (int y = 0; y < size; ++y)
        memcpy(image.scanLine(y), pixels.constData() + qsizetype(y) * size * 4, size_t(size) * 4);
    return image.convertToFormat(QImage::Format_ARGB32);
}

bool HaveFfmpeg()
{
    return !QStandardPaths::findExecutable("ffmpeg").isEmpty();
}

bool RunFfmpeg(const QStringList& arguments, const QString& output)
{
    const ProcessResult r = RunProcess(
        "ffmpeg", QStringList{"-hide_banner", "-loglevel", "error", "-y"} + arguments + QStringList{output}, {}, 60000);
    EXPECT_EQ(r.exitCode, 0) << "ffmpeg failed: " << r.err.toStdString();
    return r.exitCode == 0 && QFile::exists(output);
}

QVector<int> RowsWithAlpha(const QImage& image, int alpha)
{
    QVector<int> rows;
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < argb.height(); ++y) {
        bool all = true;
        for (int x = 0; x < argb.width() && all; ++x)
            all = qAlpha(argb.pixel(x, y)) == alpha;
        if (all)
            rows.append(y);
    }
    return rows;
}

QVector<int> Range(int first, int last)
{
    QVector<int> r;
    for (int i = first; i <= last; ++i)
        r.append(i);
    return r;
}

bool Near(QRgb pixel, QColor colour, int tolerance)
{
    return std::abs(qRed(pixel) - colour.red()) <= tolerance && std::abs(qGreen(pixel) - colour.green()) <= tolerance
           && std::abs(qBlue(pixel) - colour.blue()) <= tolerance
           && std::abs(qAlpha(pixel) - colour.alpha()) <= tolerance;
}

double Psnr(const QImage& a, const QImage& b)
{
    const QImage x = a.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage y = b.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (x.size() != y.size() || x.isNull())
        return 0;
    double squares = 0;
    for (int row = 0; row < x.height(); ++row)
        for (int col = 0; col < x.width(); ++col) {
            const QRgb p = x.pixel(col, row), q = y.pixel(col, row);
            for (int d : {qRed(p) - qRed(q), qGreen(p) - qGreen(q), qBlue(p) - qBlue(q)})
                squares += double(d) * d;
        }
    const double mse = squares / (3.0 * x.width() * x.height());
    return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

} // namespace pictomat::test
