#include "platform/ItemIcon.h"

#include <QList>
#include <QMap>
#include <QPainter>

#include <algorithm>

namespace pictomat {

bool DrawIconIntoBitmap(QImage& bitmap, const IconProvider::Icon& icon)
{
    if (bitmap.isNull() || icon.isNull())
        return false;
    const int edge = std::min(bitmap.width(), bitmap.height());
    const QImage picture = IconProvider::render(icon, edge);
    if (picture.isNull())
        return false;

    QPainter painter(&bitmap);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRect target((bitmap.width() - edge) / 2, (bitmap.height() - edge) / 2, edge, edge);
    painter.drawImage(target, picture);
    return true;
}

icns::IconFamily IconFamilyForItemIcon(const IconProvider::Icon& icon)
{
    static const QList<int> kSizes = {16, 32, 64, 128, 256, 512, 1024};
    const QMap<int, QImage> pictures = IconProvider::render(icon, kSizes);
    if (pictures.isEmpty())
        return icns::IconFamily();
    return icns::IconFamily::fromImages(pictures);
}

} // namespace pictomat
