#include "commands/SiteIcon.h"

#include "files/Inflate.h"
#include "read/Drawing.h"
#include "read/PictureFile.h"
#include "read/SafeSvg.h"
#include "platform/CustomIcons.h"

#include <QBuffer>
#include <QImageReader>
#include <QRegularExpression>

#include <algorithm>

namespace pictomat {

namespace {

// An apple-touch-icon without declared sizes is this large on the devices it is for.
constexpr int kAppleTouchEdge = 180;
// A compressed SVG may unpack to this much text at most.
constexpr qint64 kLargestSvg = 8 * 1024 * 1024;

bool IsWebAddress(const QUrl& url)
{
    return url.isValid() && !url.host().isEmpty()
           && (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"));
}

QStringList Words(const QString& text)
{
    static const QRegularExpression kSpace(QStringLiteral("[ \\t\\n\\f\\r]+"));
    return text.toLower().split(kSpace, Qt::SkipEmptyParts);
}

struct Declared {
    QUrl url;
    bool vector = false;
    int edge = 0; // the largest declared side, 0 when none is declared
};

std::optional<Declared> Candidate(const HtmlLink& link, const QUrl& base)
{
    const QStringList rel = Words(link.rel);
    const bool apple =
        rel.contains(QLatin1String("apple-touch-icon")) || rel.contains(QLatin1String("apple-touch-icon-precomposed"));
    const QString href = link.href.trimmed();
    if ((!rel.contains(QLatin1String("icon")) && !apple) || href.isEmpty())
        return std::nullopt;
    Declared d;
    d.url = base.resolved(QUrl(href, QUrl::TolerantMode));
    if (!IsWebAddress(d.url))
        return std::nullopt;
    d.vector = link.type.trimmed().compare(QLatin1String("image/svg+xml"), Qt::CaseInsensitive) == 0;
    for (const QString& size : Words(link.sizes)) {
        if (size == QLatin1String("any")) {
            d.vector = true;
            continue;
        }
        const QStringList sides = size.split(QLatin1Char('x'));
        bool wide = false, tall = false;
        if (sides.size() == 2) {
            const int w = sides[0].toInt(&wide), h = sides[1].toInt(&tall);
            if (wide && tall)
                d.edge = std::max({d.edge, w, h});
        }
    }
    if (apple && d.edge == 0)
        d.edge = kAppleTouchEdge;
    return d;
}

} // namespace

QVector<QUrl> SiteIconAddresses(const HtmlHead& head, const QUrl& pageAddress)
{
    QUrl base = pageAddress;
    if (!head.baseHref.trimmed().isEmpty()) {
        const QUrl declared = pageAddress.resolved(QUrl(head.baseHref.trimmed(), QUrl::TolerantMode));
        if (declared.isValid() && !declared.isRelative())
            base = declared;
    }
    QVector<QUrl> addresses;
    QVector<Declared> declared;
    bool shortcutTaken = false;
    for (const HtmlLink& link : head.links) {
        const std::optional<Declared> d = Candidate(link, base);
        if (!d)
            continue;
        if (link.shortcutIconForm && !shortcutTaken) {
            shortcutTaken = true;
            addresses.append(d->url);
        } else {
            declared.append(*d);
        }
    }
    std::stable_sort(declared.begin(), declared.end(), [](const Declared& a, const Declared& b) {
        return a.vector != b.vector ? a.vector : a.edge > b.edge;
    });
    for (const Declared& d : declared)
        addresses.append(d.url);
    if (IsWebAddress(pageAddress)) {
        QUrl favicon;
        favicon.setScheme(pageAddress.scheme());
        favicon.setHost(pageAddress.host());
        favicon.setPort(pageAddress.port());
        favicon.setPath(QStringLiteral("/favicon.ico"));
        addresses.append(favicon);
    }
    QVector<QUrl> distinct;
    for (const QUrl& url : addresses) {
        if (!distinct.contains(url))
            distinct.append(url);
    }
    return distinct;
}

QImage DecodeShortcutIconPicture(const QByteArray& bytes)
{
    QByteArray data = bytes;
    if (data.startsWith("\x1f\x8b")) {
        std::optional<QByteArray> inflated = InflateAll(data, kLargestSvg);
        if (!inflated)
            return QImage();
        data = std::move(*inflated);
    }
    if (data.isEmpty())
        return QImage();
    if (IsDrawingFormat(SniffPictureFormat(data.left(1024)))) {
        // Drawn only from what the picture holds itself: its references
        // elsewhere are taken out, and the drawing is given no place to
        // load anything from.
        const std::optional<QByteArray> svg = SelfContainedSvg(data);
        if (!svg)
            return QImage();
        const std::unique_ptr<Drawing> drawing = OpenDrawing(*svg, DrawingLinks::None);
        if (!drawing)
            return QImage();
        const QSizeF edge(CustomIcons::kLargestEdge, CustomIcons::kLargestEdge);
        return drawing->draw(drawing->naturalSize().scaled(edge, Qt::KeepAspectRatio).toSize().expandedTo(QSize(1, 1)));
    }
    QBuffer buffer(&data);
    if (!buffer.open(QIODevice::ReadOnly))
        return QImage();
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    const QByteArray format = reader.format();

    // Icon files hold one picture per size; the largest makes the best icon.
    // Animations (GIF and the like) give their first frame.
    QImage best = reader.read();
    if (format == "ico" || format == "icns" || format == "cur") {
        while (reader.jumpToNextImage()) {
            const QImage next = reader.read();
            if (!next.isNull() && qint64(next.width()) * next.height() > qint64(best.width()) * best.height())
                best = next;
        }
    }
    return best;
}

} // namespace pictomat
