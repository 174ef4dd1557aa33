#include "commands/ShortcutIconCommand.h"

#include "commands/CommandServices.h"

#include "commands/SiteIcon.h"
#include "files/ResourceFork.h"
#include "output/StringUtils.h"
#include "platform/CustomIcons.h"
#include "web/HtmlHead.h"
#include "web/HttpClient.h"

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

void Fail(CommandContext& context, const QString& message)
{
    ShowStandardAlert(context, message);
    context.desktop.log(message);
}

// Fetches the page of one web location whose address has been read, finds its
// icon and sets it; every failure ends with its alert. The first icon address
// that gives a picture wins.
void AddShortcutIcon(CommandContext& context, const FileRef& item, const QString& address)
{
    context.desktop.log(QStringLiteral("Webloc Link = ") + address);

    const HttpClient client;
    const QUrl pageAddress(address, QUrl::StrictMode);
    std::optional<HttpResponse> page;
    if (pageAddress.isValid() && !pageAddress.isEmpty())
        page = client.get(pageAddress, HttpClient::kPageCap, Requester::User);
    if (!page)
        return Fail(context, kPageNotDownloaded);

    const HtmlHead head = ParseHtmlHead(page->body, page->contentType);
    if (!head.found) {
        ShowStandardAlert(context, kHeaderNotFound);
        context.desktop.log(QStringLiteral("The header was not found."));
        return;
    }
    context.desktop.log(QStringLiteral("The header was found!"));

    const QVector<QUrl> iconAddresses = SiteIconAddresses(head, page->finalUrl);
    if (iconAddresses.isEmpty())
        return Fail(context, kIconNotFound);
    // Links in a page from the internet may not lead into the local network.
    const Requester requester = page->fromLocalNetwork ? Requester::LocalPage : Requester::PublicPage;
    QImage picture;
    for (const QUrl& iconAddress : iconAddresses) {
        context.desktop.log(QStringLiteral("The shortcut icon is located at: ")
                            + iconAddress.toString(QUrl::FullyEncoded));
        const std::optional<HttpResponse> icon = client.get(iconAddress, HttpClient::kIconCap, requester);
        picture = icon ? DecodeShortcutIconPicture(icon->body) : QImage();
        if (!picture.isNull())
            break;
    }
    if (picture.isNull())
        return Fail(context, kIconNotCreated);

    if (!CustomIcons::setCustomIcon(item, picture))
        return Fail(context, kIconNotCopied);
}

} // namespace

void AddShortcutIconsCommand(CommandContext& context, const CommandRequest& request, const CommandSettings&)
{
    AddShortcutIcons(context, request.items);
}

void AddShortcutIcons(CommandContext& context, const SelectedItems& selection)
{
    ForEachItem(context, selection, [&context](const FileRef& item) {
        if (!IsWebLocation(item)) {
            ShowStandardAlert(context, kNotWebLocation);
            return;
        }
        const std::optional<QString> address = ReadWebLocationAddress(item);
        if (!address) {
            ShowStandardAlert(context, kLocationNotFound);
            return;
        }
        AddShortcutIcon(context, item, *address);
    });
}

} // namespace pictomat
