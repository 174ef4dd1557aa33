#include "commands/SiteIcon.h"

#include "read/PictureFile.h"
#include "platform/CustomIcons.h"
#include "worker/ReadingWorker.h"

#include <QRegularExpression>

#include <algorithm>

namespace pictomat {

namespace {

// An apple-touch-icon without declared sizes is this large on the devices it is for.
constexpr int kAppleTouchEdge = 180;

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
    // What a web server sends is read as any file is, in the worker: the
    // largest picture of an icon file, the first frame of an animation, a
    // drawing drawn from what it holds itself, at no more than a custom
    // icon is stored at.
    PictureResult result = DecodePictureBytesInWorker(bytes, CustomIcons::kLargestEdge);
    return result.ok() ? std::move(result.decoded.picture) : QImage();
}

} // namespace pictomat
