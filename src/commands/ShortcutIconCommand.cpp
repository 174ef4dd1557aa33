#include "commands/ShortcutIconCommand.h"

#include "commands/CommandServices.h"

#include "platform/CustomIcons.h"
#include "platform/HttpClient.h"
#include "platform/MacRoman.h"
#include "platform/ResourceFork.h"
#include "output/StringUtils.h"

#include <QBuffer>
#include <QImageReader>
#include <QStringDecoder>
#include <QUrl>

#include <algorithm>

namespace pictomat {

namespace {

const QString kNotWebLocation = QStringLiteral("This is not a web location file.");
const QString kLocationNotFound = QStringLiteral("This web location could not be found.");
const QString kPageNotDownloaded = QStringLiteral("The web page could not be downloaded.");
const QString kHeaderNotFound = QStringLiteral("The web page header could not be found.");
const QString kIconNotFound = QStringLiteral("The shortcut icon could not be found.");
const QString kIconNotCreated = QStringLiteral("The shortcut icon image could not be created.");
const QString kIconNotCopied = QStringLiteral("The shortcut icon image could not be copied to the file.");

// The path buffer of the recognition step holds 1024 bytes with its zero.
constexpr qsizetype kPathBufferBytes = 1024;

// Vector pictures have no pixel size of their own worth keeping: they are
// drawn at least this large, and never larger than a stored custom icon.
constexpr int kVectorMinimumEdge = 256;
constexpr int kVectorMaximumEdge = 1024;

// A web location: the item's path as text, as a file URL, its extension "webloc".
bool IsWebLocation(const FileRef& item)
{
    const std::optional<QString> path = stringWithFSRef(&item);
    if (!path || item.path().size() + 1 > kPathBufferBytes)
        return false;
    const QUrl url = QUrl::fromLocalFile(*path);
    if (!url.isValid())
        return false;
    const QString name = url.fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot < 0)
        return false;
    return name.mid(dot + 1).compare(QLatin1String("webloc"), Qt::CaseInsensitive) == 0;
}

// The first `url ` resource of the item's own fork, read up to
// its first zero byte, as UTF-8 text.
std::optional<QString> ReadWebLocationAddress(const FileRef& item)
{
    std::optional<QByteArray> fork = ResourceFork::readResourceFork(item);
    if (!fork)
        return std::nullopt;
    const std::optional<ResourceFork::ResourceMap> map = ResourceFork::ResourceMap::open(std::move(*fork));
    if (!map || map->count1Resources(ResourceFork::kUrlType) <= 0)
        return std::nullopt;
    const std::optional<QByteArray> resource = map->get1IndResource(ResourceFork::kUrlType, 1);
    if (!resource || resource->isEmpty())
        return std::nullopt;
    const qsizetype zero = resource->indexOf('\0');
    const QByteArray bytes = zero < 0 ? *resource : resource->left(zero);
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(bytes);
    if (utf8.hasError())
        return std::nullopt;
    return text;
}

// Strict UTF-8 first; Mac OS Roman decodes any bytes, so a page always has text.
QString DecodePage(const QByteArray& data)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(data);
    if (!utf8.hasError())
        return text;
    return decodeMacRoman(data);
}

// The shortcut-icon link resolved against the web location's
// own address, else the site's /favicon.ico. Nothing when neither can be made.
std::optional<QUrl> IconAddress(const QString& head, const QUrl& pageAddress)
{
    const std::optional<QString> reference =
        extractBetweenPattern(head, QStringLiteral("<link rel=\"shortcut icon\" href=\""), QStringLiteral("\""));
    if (reference) {
        const QUrl relative(*reference, QUrl::StrictMode);
        if (relative.isValid()) {
            const QUrl resolved = pageAddress.resolved(relative);
            if (resolved.isValid() && !resolved.isEmpty())
                return resolved;
        }
    }
    // The fallback keeps the host alone: scheme http, no port, no user, no path.
    const QString host = pageAddress.host();
    if (host.isEmpty())
        return std::nullopt;
    QUrl fallback;
    fallback.setScheme(QStringLiteral("http"));
    fallback.setHost(host);
    fallback.setPath(QStringLiteral("/favicon.ico"));
    if (!fallback.isValid())
        return std::nullopt;
    return fallback;
}

void Fail(CommandContext& context, const QString& message)
{
    ShowStandardAlert(context, message);
    context.desktop.log(message);
}

// Fetches the page of one web location whose address has been read, finds its
// icon and sets it; every failure ends with its alert.
void AddShortcutIcon(CommandContext& context, const FileRef& item, const QString& address)
{
    context.desktop.log(QStringLiteral("Webloc Link = ") + address);

    const HttpClient client;
    const QUrl pageAddress(address, QUrl::StrictMode);
    std::optional<QByteArray> data;
    if (pageAddress.isValid() && !pageAddress.isEmpty())
        data = client.get(pageAddress, HttpClient::kPageCap);
    if (!data)
        return Fail(context, kPageNotDownloaded);
    const QString page = DecodePage(*data);

    const std::optional<QString> head =
        extractBetweenPattern(page, QStringLiteral("<head"), QStringLiteral("</head>"));
    if (!head) {
        ShowStandardAlert(context, kHeaderNotFound);
        context.desktop.log(QStringLiteral("The header was not found."));
        return;
    }
    context.desktop.log(QStringLiteral("The header was found!"));

    const std::optional<QUrl> iconAddress = IconAddress(*head, pageAddress);
    if (!iconAddress)
        return Fail(context, kIconNotFound);
    context.desktop.log(QStringLiteral("The shortcut icon is located at: ")
                        + iconAddress->toString(QUrl::FullyEncoded));

    const std::optional<QByteArray> iconData = client.get(*iconAddress, HttpClient::kIconCap);
    const QImage picture = iconData ? DecodeShortcutIconPicture(*iconData) : QImage();
    if (picture.isNull())
        return Fail(context, kIconNotCreated);

    if (!CustomIcons::setCustomIcon(item, picture))
        return Fail(context, kIconNotCopied);
}

} // namespace

QImage DecodeShortcutIconPicture(const QByteArray& bytes)
{
    if (bytes.isEmpty())
        return QImage();
    QBuffer buffer;
    buffer.setData(bytes);
    if (!buffer.open(QIODevice::ReadOnly))
        return QImage();
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    const QByteArray format = reader.format();

    if (format == "svg" || format == "svgz") {
        QSize size = reader.size();
        if (size.isEmpty())
            size = QSize(kVectorMinimumEdge, kVectorMinimumEdge);
        const int edge = std::clamp(std::max(size.width(), size.height()), kVectorMinimumEdge, kVectorMaximumEdge);
        reader.setScaledSize(size.scaled(edge, edge, Qt::KeepAspectRatio));
        return reader.read();
    }

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

void AddShortcutIconsCommand(CommandContext& context, const CommandRequest& request, const CommandSettings&)
{
    AddShortcutIcons(context, request.items);
}

void AddShortcutIcons(CommandContext& context, const SelectedItems& selection)
{
    if (!selection.items)
        return;
    // A copy: the selection must stay as it was when the command began.
    const QVector<FileRef> items = *selection.items;
    const qsizetype count = std::min<qsizetype>(selection.count, items.size());
    for (qsizetype i = 0; i < count; ++i) {
        const FileRef& item = items[i];
        if (!BeginItem(context, int(i + 1), int(count), item))
            break;
        if (!IsWebLocation(item)) {
            ShowStandardAlert(context, kNotWebLocation);
            continue;
        }
        const std::optional<QString> address = ReadWebLocationAddress(item);
        if (!address) {
            ShowStandardAlert(context, kLocationNotFound);
            continue;
        }
        AddShortcutIcon(context, item, *address);
    }
}

} // namespace pictomat
