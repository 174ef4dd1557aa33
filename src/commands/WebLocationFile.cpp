#include "commands/WebLocationFile.h"

#include "files/FileIO.h"
#include "files/ResourceFork.h"
#include "platform/DesktopEntryText.h"
#include "platform/DesktopLinkIcon.h"
#include "prefs/PlistCodec.h"

#include <QStringDecoder>

#include <sys/stat.h>

namespace pictomat {

namespace {

// A web location is a few hundred bytes; a larger file is none, and is not read.
constexpr qint64 kLargestWebLocation = 1024 * 1024;

using Kind = WebLocation::Kind;

WebLocation address(const QString& text)
{
    const QString trimmed = text.trimmed();
    return trimmed.isEmpty() ? WebLocation{Kind::NoAddress, {}} : WebLocation{Kind::Address, trimmed};
}

// Addresses are UTF-8 text in every form; other bytes name nothing.
std::optional<QString> utf8(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

WebLocation fromText(const std::optional<QByteArray>& value)
{
    if (!value)
        return {Kind::NoAddress, {}};
    const std::optional<QString> text = utf8(*value);
    return text ? address(*text) : WebLocation{Kind::NoAddress, {}};
}

// An XML property list as plistlib, plutil and Safari write it: the
// declaration or DOCTYPE, or <plist> itself, after a byte-order mark and blanks.
bool looksLikeXmlPlist(const QByteArray& bytes)
{
    QByteArray head = bytes.left(512);
    if (head.startsWith("\xEF\xBB\xBF"))
        head = head.mid(3);
    head = head.trimmed();
    return head.startsWith("<?xml") || head.startsWith("<!DOCTYPE plist") || head.startsWith("<plist");
}

// The first `url ` resource of the item's own fork, read up to its first
// zero byte. Nothing when there is none; an empty text when there is one
// that names no address.
std::optional<WebLocation> fromResourceFork(const FileRef& item)
{
    std::optional<QByteArray> fork = ResourceFork::readResourceFork(item);
    if (!fork)
        return std::nullopt;
    const std::optional<ResourceFork::ResourceMap> map = ResourceFork::ResourceMap::open(std::move(*fork));
    if (!map || map->count1Resources(ResourceFork::kUrlType) <= 0)
        return std::nullopt;
    const std::optional<QByteArray> resource = map->get1IndResource(ResourceFork::kUrlType, 1);
    if (!resource || resource->isEmpty())
        return WebLocation{Kind::NoAddress, {}};
    const qsizetype zero = resource->indexOf('\0');
    const std::optional<QString> text = utf8(zero < 0 ? *resource : resource->left(zero));
    // Read as it always was: the text as it stands, not trimmed.
    if (!text || text->isEmpty())
        return WebLocation{Kind::NoAddress, {}};
    return WebLocation{Kind::Address, *text};
}

bool namedAsWebLocation(const QByteArray& name)
{
    const QByteArray lower = name.toLower();
    return lower.endsWith(".webloc") || lower.endsWith(".url");
}

} // namespace

WebLocation WebLocationFromData(const QByteArray& bytes)
{
    if (prefs::plist::IsBinary(bytes) || looksLikeXmlPlist(bytes)) {
        const prefs::plist::ParseResult list = prefs::plist::Parse(bytes);
        const QVariant url = list.values.value(QStringLiteral("URL"));
        if (!list.ok || url.typeId() != QMetaType::QString)
            return {};
        return address(url.toString());
    }
    const QByteArray desktopEntry("Desktop Entry");
    if (DesktopEntryText::FirstGroup(bytes) == desktopEntry) {
        if (!DesktopLinkIcon::IsDesktopLink(bytes))
            return {};
        std::optional<QByteArray> url = DesktopEntryText::Value(bytes, desktopEntry, "URL");
        if (!url)
            url = DesktopEntryText::Value(bytes, desktopEntry, "URL[$e]");
        return fromText(url);
    }
    // Windows reads its INI files ignoring case, names and keys alike.
    const QByteArray shortcut("InternetShortcut");
    if (DesktopEntryText::HasGroup(bytes, shortcut, true))
        return fromText(DesktopEntryText::Value(bytes, shortcut, "URL", true));
    return {};
}

WebLocation ReadWebLocation(const FileRef& item)
{
    struct stat st;
    if (item.isEmpty() || ::stat(item.c_path(), &st) != 0 || !S_ISREG(st.st_mode))
        return {};
    const std::optional<WebLocation> fork = fromResourceFork(item);
    if (fork && fork->kind == Kind::Address)
        return *fork;
    WebLocation data;
    if (const std::optional<QByteArray> bytes = ReadRegularFile(item.path(), kLargestWebLocation))
        data = WebLocationFromData(*bytes);
    if (data.kind != Kind::NotOne)
        return data;
    if (fork || namedAsWebLocation(item.name()))
        return {Kind::NoAddress, {}};
    return {};
}

} // namespace pictomat
