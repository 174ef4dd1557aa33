#include "commands/ShortcutIconCommand.h"

#include "commands/CommandServices.h"
#include "commands/FailureCause.h"
#include "commands/ItemOperations.h"
#include "commands/Log.h"
#include "commands/SiteIcon.h"
#include "commands/WebLocationFile.h"
#include "platform/CustomIcons.h"
#include "web/HtmlHead.h"
#include "web/HttpClient.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QUrl>

namespace pictomat {

namespace {

const QString kNotWebLocation = QStringLiteral(QT_TRANSLATE_NOOP("Alert", "This is not a web location file."));
const QString kLocationNotFound = QStringLiteral(QT_TRANSLATE_NOOP("Alert", "This web location could not be found."));
const QString kPageNotDownloaded = QStringLiteral(QT_TRANSLATE_NOOP("Alert", "The web page could not be downloaded."));
const QString kHeaderNotFound = QStringLiteral(QT_TRANSLATE_NOOP("Alert", "The web page header could not be found."));
const QString kIconNotFound = QStringLiteral(QT_TRANSLATE_NOOP("Alert", "The shortcut icon could not be found."));
const QString kIconNotCreated =
    QStringLiteral(QT_TRANSLATE_NOOP("Alert", "The shortcut icon image could not be created."));
const QString kIconNotCopied =
    QStringLiteral(QT_TRANSLATE_NOOP("Alert", "The shortcut icon image could not be copied to the file."));

// The path buffer of the recognition step holds 1024 bytes with its zero.
constexpr qsizetype kPathBufferBytes = 1024;

// Only an item whose path fits the path buffer of 1024 bytes (its zero
// included) is looked at. The path is the file system's bytes: a name that
// is not UTF-8 is as good as any, as for every other command.
bool HasUsablePath(const FileRef& item)
{
    return !item.isEmpty() && item.path().size() + 1 <= kPathBufferBytes;
}

void Fail(CommandContext& context, const QString& message, const QString& why)
{
    ShowItemAlert(context, message, why);
    qCWarning(lcCommands).noquote() << message;
}

// Fetches the page of one web location whose address has been read, finds its
// icon and sets it; every failure ends with its alert. The first icon address
// that gives a picture wins. The page and every icon tried share one
// deadline, and a stop asked for while they download ends the item at once,
// without an alert: the user knows.
void AddShortcutIcon(CommandContext& context, const FileRef& item, const QString& address)
{
    qCWarning(lcCommands).noquote() << QStringLiteral("Webloc Link = ") + address;

    const FetchBudget budget{QDeadlineTimer(HttpClient::webLocationDeadlineMs()),
                             [&context] { return !context.progress || context.progress->keepWaiting(); }};
    const HttpClient client;
    const QUrl pageAddress(address, QUrl::StrictMode);
    std::optional<HttpResponse> page;
    Error fetchError{QCoreApplication::translate("Cause", "not a web address: %1").arg(address)};
    if (pageAddress.isValid() && !pageAddress.isEmpty())
        page = client.get(pageAddress, HttpClient::kPageCap, Requester::User, budget, &fetchError);
    if (budget.stopped())
        return;
    if (!page)
        return Fail(context, kPageNotDownloaded, cause::ofError(fetchError));

    const HtmlHead head = ParseHtmlHead(page->body, page->contentType);
    if (!head.found) {
        ShowItemAlert(context, kHeaderNotFound, cause::pageHasNoHead());
        qCWarning(lcCommands).noquote() << QStringLiteral("The header was not found.");
        return;
    }
    qCWarning(lcCommands).noquote() << QStringLiteral("The header was found!");

    const QVector<QUrl> iconAddresses = SiteIconAddresses(head, page->finalUrl);
    if (iconAddresses.isEmpty())
        return Fail(context, kIconNotFound, cause::pageNamesNoIcon());
    // Links in a page from the internet may not lead into the local network.
    const Requester requester = page->fromLocalNetwork ? Requester::LocalPage : Requester::PublicPage;
    QImage picture;
    for (const QUrl& iconAddress : iconAddresses) {
        if (budget.deadline.hasExpired())
            break;
        qCWarning(lcCommands).noquote() << QStringLiteral("The shortcut icon is located at: ")
                                               + iconAddress.toString(QUrl::FullyEncoded);
        const std::optional<HttpResponse> icon = client.get(iconAddress, HttpClient::kIconCap, requester, budget);
        if (budget.stopped())
            return;
        picture = icon ? DecodeShortcutIconPicture(icon->body) : QImage();
        if (!picture.isNull())
            break;
    }
    if (picture.isNull())
        return Fail(context, kIconNotCreated, cause::noPictureAtIconAddress());

    Error error;
    if (!CustomIcons::setCustomIcon(item, picture, &error))
        return Fail(context, kIconNotCopied, CustomIconCause(item, error));
}

} // namespace

void AddShortcutIconsCommand(CommandContext& context, const CommandRequest& request, const CommandSettings&)
{
    AddShortcutIcons(context, request.items);
}

void AddShortcutIcons(CommandContext& context, const SelectedItems& selection)
{
    ForEachItem(context, selection, [&context](const FileRef& item) {
        const WebLocation location = HasUsablePath(item) ? ReadWebLocation(item) : WebLocation();
        switch (location.kind) {
        case WebLocation::Kind::NotOne:
            return ShowItemAlert(context, kNotWebLocation,
                                 item.isEmpty() ? MissingItemCause(context) : cause::notAWebLocation());
        case WebLocation::Kind::NoAddress: return ShowItemAlert(context, kLocationNotFound, cause::noWebAddress());
        case WebLocation::Kind::Address: return AddShortcutIcon(context, item, location.address);
        }
    });
}

} // namespace pictomat
