#include "image/BackgroundBitmap.h"

#include <QColor>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace pictomat {

namespace {

// QColor refuses values outside 0...1, so bring them into range; a value that
// is not a number counts as unset.
float unitComponent(float value)
{
    if (std::isnan(value))
        return 1.0f;
    return std::clamp(value, 0.0f, 1.0f);
}

} // namespace

std::optional<QImage> CreateBackgroundBitmap(int32_t width, int32_t height, const BackgroundColor& color)
{
    if (width <= 0 || height <= 0)
        return std::nullopt;
    if (width > kMaxBitmapEdge || height > kMaxBitmapEdge)
        return std::nullopt;

    QImage bitmap(width, height, QImage::Format_RGBA8888_Premultiplied);
    if (bitmap.isNull() || bitmap.bytesPerLine() != qsizetype(width) * 4)
        return std::nullopt;
    bitmap.fill(Qt::transparent);

    const QColor colour = QColor::fromRgbF(unitComponent(color.red), unitComponent(color.green),
                                           unitComponent(color.blue), unitComponent(color.alpha));
    QPainter painter(&bitmap);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.fillRect(QRect(0, 0, width, height), colour);
    painter.end();
    return bitmap;
}

} // namespace pictomat
