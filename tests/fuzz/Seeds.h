#pragma once

// What the seed generators share: the picture they draw their icons from (a
// translucent disc with an outline and an opaque square, so that every kind
// of alpha, edges and flat runs are there), and writing a seed.

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QString>

inline QImage SeedPicture(int size)
{
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(30, 110, 220, 200));
    p.setPen(QPen(Qt::black, size / 16.0));
    p.drawEllipse(QRectF(size * 0.1, size * 0.1, size * 0.8, size * 0.8));
    p.fillRect(QRectF(0, size * 0.6, size * 0.3, size * 0.3), QColor(250, 200, 0));
    return image;
}

// Writes the seed `name` into the folder; false when nothing could be written.
inline bool SaveSeed(const QString& dir, const QString& name, const QByteArray& bytes)
{
    QFile f(dir + QLatin1Char('/') + name);
    return !bytes.isEmpty() && f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}
