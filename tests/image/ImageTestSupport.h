#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QStringList>
#include <QVector>

#include <optional>

namespace pictomat::test {

// One size of an .icns file as Pillow reads it (ARGB32, not premultiplied),
// so that our output is checked by a reader someone else wrote.
std::optional<QImage> PillowIcnsImage(const QByteArray& icnsPath, int size);

// Runs ffmpeg quietly; true when it wrote the output. Skip tests when !HaveFfmpeg().
bool HaveFfmpeg();
bool RunFfmpeg(const QStringList& arguments, const QString& output);

// The rows whose every pixel has the given alpha (255: opaque, 0: transparent).
QVector<int> RowsWithAlpha(const QImage& image, int alpha);
QVector<int> Range(int first, int last); // first..last inclusive

bool Near(QRgb pixel, QColor colour, int tolerance);

// Peak signal-to-noise ratio over the colour channels of two equal-sized
// pictures, as they look over black (premultiplied); 0 when their sizes differ.
double Psnr(const QImage& a, const QImage& b);

} // namespace pictomat::test
