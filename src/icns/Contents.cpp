#include "icns/Contents.h"

#include "icns/IcnsCodec.h"

#include <QHash>

namespace pictomat::icns {

using namespace codec;

namespace {

QString dimensions(const IconFamily::Image& image)
{
    QString s = QStringLiteral("%1x%2").arg(image.image.width()).arg(image.image.height());
    if (image.scale > 1)
        s += QStringLiteral(" @%1x").arg(image.scale);
    return s;
}

QByteArray fileNameFor(const IconFamily::Image& image)
{
    QByteArray name;
    for (const QChar c : OSTypeToString(image.type)) {
        const bool plain = c.isLetterOrNumber() || c == QLatin1Char('#') || c == QLatin1Char('_');
        name += plain ? char(c.toLatin1()) : '_';
    }
    name += '-' + QByteArray::number(image.image.width()) + 'x' + QByteArray::number(image.image.height());
    if (image.scale > 1)
        name += '@' + QByteArray::number(image.scale) + 'x';
    return name + ".png";
}

} // namespace

QByteArray codec::PngOf(const IconFamily& family, const IconFamily::Image& image)
{
    // A stored PNG of the decoded size is the picture itself, byte for byte.
    const QByteArray* data = family.elementData(image.type);
    if (data && IsPng(*data) && PngSize(*data) == image.image.size())
        return *data;
    return EncodePng(image.image);
}

QVector<ElementRow> ListElements(const IconFamily& family)
{
    QHash<OSType, QString> holds;
    family.forEachImage([&holds](const IconFamily::Image& image) { holds.insert(image.type, dimensions(image)); });
    QVector<ElementRow> rows;
    rows.reserve(family.elements().size());
    for (const IconFamily::Element& e : family.elements()) {
        QString what = holds.value(e.type, QStringLiteral("-"));
        const Kind* kind = FindKind(e.type);
        if (what == QLatin1String("-") && kind && kind->payload == Payload::Mask8)
            what = QStringLiteral("mask");
        rows.append(ElementRow{e.type, e.data.size(), what});
    }
    return rows;
}

QVector<NamedPng> PicturesAsPng(const IconFamily& family)
{
    QVector<NamedPng> pictures;
    family.forEachImage([&](const IconFamily::Image& image) {
        const QByteArray png = PngOf(family, image);
        if (!png.isEmpty())
            pictures.append(NamedPng{fileNameFor(image), png});
    });
    return pictures;
}

} // namespace pictomat::icns
