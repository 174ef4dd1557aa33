#include "platform/DesktopLinkIcon.h"

#include "files/FileIO.h"
#include "files/FileMetadata.h"
#include "platform/DesktopEntryText.h"

#include <QCoreApplication>

#include <sys/stat.h>

#include <optional>

namespace pictomat::DesktopLinkIcon {

namespace {

// A desktop entry is a few hundred bytes; this is far beyond any.
constexpr qint64 kLargestLinkFile = 1024 * 1024;
const QByteArray kGroup("Desktop Entry");
const QByteArray kKey("Icon");
// The Icon value a picture of ours replaced: "1:" and the value, or "0:"
// when the file had no Icon.
constexpr const char* kReplacedIcon = "metadata::pictomat-replaced-icon";

struct LinkFile {
    QByteArray text;
    mode_t mode = 0644;
};

// The item's text when it is a desktop link; Failed when it is one that may
// not be edited: a symbolic link (what it leads to is not the item) or
// something that cannot be read as a file.
Edit read(const FileRef& item, LinkFile* file, Error* error)
{
    struct stat st;
    if (item.isEmpty() || ::lstat(item.c_path(), &st) != 0)
        return Edit::NotALink;
    const std::optional<QByteArray> text = ReadRegularFile(item.path(), kLargestLinkFile);
    if (!text || !IsDesktopLink(*text))
        return Edit::NotALink;
    if (!S_ISREG(st.st_mode)) {
        SetError(error, QCoreApplication::translate("CustomIcons",
                                                    "The desktop link is a symbolic link, which is never edited."));
        return Edit::Failed;
    }
    file->text = *text;
    file->mode = st.st_mode & 07777;
    return Edit::Done;
}

Edit write(const FileRef& item, const LinkFile& file, const QByteArray& text, Error* error)
{
    Error why;
    // Replaced by a rename: a link put in its place meanwhile is replaced, not written through.
    if (!WriteFileAtomically(item, text, &why, file.mode)) {
        SetError(
            error,
            QCoreApplication::translate("CustomIcons", "The desktop link could not be written: %1").arg(why.message));
        return Edit::Failed;
    }
    return Edit::Done;
}

bool isOurs(const std::optional<QByteArray>& icon, const QByteArray& iconsFolder)
{
    return icon && !iconsFolder.isEmpty() && icon->startsWith(iconsFolder + '/');
}

} // namespace

bool IsDesktopLink(const QByteArray& text)
{
    return DesktopEntryText::FirstGroup(text) == kGroup
           && DesktopEntryText::Value(text, kGroup, "Type") == QByteArray("Link");
}

Edit check(const FileRef& item, Error* error)
{
    LinkFile file;
    return read(item, &file, error);
}

Edit set(const FileRef& item, const QByteArray& iconPath, const QByteArray& iconsFolder, Error* error)
{
    LinkFile file;
    const Edit kind = read(item, &file, error);
    if (kind != Edit::Done)
        return kind;
    const std::optional<QByteArray> before = DesktopEntryText::Value(file.text, kGroup, kKey);
    // What our first picture replaced is what comes back; a later picture
    // of ours replaces only ours.
    if (!isOurs(before, iconsFolder)
        && !FileMetadata::setString(item, kReplacedIcon, before ? "1:" + *before : QByteArray("0:"), error))
        return Edit::Failed;
    const std::optional<QByteArray> edited = DesktopEntryText::WithValue(file.text, kGroup, kKey, iconPath);
    if (!edited) {
        SetError(error, QCoreApplication::translate("CustomIcons", "The desktop link has no [Desktop Entry] group."));
        return Edit::Failed;
    }
    return write(item, file, *edited, error);
}

Edit remove(const FileRef& item, const QByteArray& iconsFolder, Error* error)
{
    LinkFile file;
    const Edit kind = read(item, &file, error);
    if (kind != Edit::Done)
        return kind;
    const std::optional<QByteArray> replaced = FileMetadata::string(item, kReplacedIcon);
    std::optional<QByteArray> restored;
    if (isOurs(DesktopEntryText::Value(file.text, kGroup, kKey), iconsFolder))
        restored = replaced && replaced->startsWith("1:")
                       ? DesktopEntryText::WithValue(file.text, kGroup, kKey, replaced->mid(2))
                       : DesktopEntryText::WithoutKey(file.text, kGroup, kKey);
    if (restored && write(item, file, *restored, error) != Edit::Done)
        return Edit::Failed;
    FileMetadata::unset(item, kReplacedIcon);
    return Edit::Done;
}

} // namespace pictomat::DesktopLinkIcon
