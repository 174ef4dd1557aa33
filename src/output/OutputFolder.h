#pragma once

#include "files/FileRef.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace pictomat {

inline constexpr int16_t kNoErr = 0;
inline constexpr int16_t kFnfErr = -43;
inline constexpr int16_t kParamErr = -50;
inline constexpr int16_t kMemFullErr = -108;
inline constexpr int16_t kIoErr = -36;
inline constexpr int16_t kBadNameErr = -37;
inline constexpr int16_t kDupFNErr = -48;
inline constexpr int16_t kPermErr = -54;

// The status code for an errno value (ENOENT and ENOTDIR are "not found").
int16_t StatusFromErrno(int error);

// Where outputs go, as the user chose it.
struct OutputFolderRule {
    bool useItemsFolder = false;                // beside each item
    std::optional<QString> imageFolderPathname; // the chosen image folder, if any
};

// The folder an item's output goes to: beside the item when the rule says so,
// else the image folder when it names an existing folder by an absolute path,
// else the default folder. Always succeeds; an unusable result is the empty
// reference.
FileRef ResolveOutputFolder(const FileRef& item, const OutputFolderRule& rule);
// "Pictomat" inside "Corvane Software" inside $XDG_DATA_HOME, created on demand.
bool FindOrCreateDefaultOutputFolder(FileRef* folder);
// Found unless the file system answers "not found".
bool FindChildByName(const FileRef& parent, const QByteArray& name, FileRef* child);
int16_t CreateChildFolder(const FileRef& parent, const QByteArray& name, FileRef* folder);
// The empty reference (and success) for a volume root: "/" or a mount point.
int16_t GetParentFolder(const FileRef& item, FileRef* parent);
// Renames in place; *item names the renamed item afterwards. Another item of
// the new name is never replaced (kDupFNErr); the same name is a no-op.
int16_t RenameItem(FileRef* item, const QByteArray& newName);

// What an item's outputs are named after: its full name as stored; the root
// folder, which has none, is named by its volume's label, or "Root" when it
// has none (a "/" in a label becomes ":", as the Finder shows it).
QByteArray OutputBaseName(const FileRef& item);

// Output names, built from the item's own bytes; nothing is trimmed or replaced.
QByteArray IcnsOutputName(const QByteArray& itemName);
QByteArray ExportOutputName(const QByteArray& itemName, const QString& extension, bool appendIconSize,
                            int16_t iconSize);
// "Make Windows Icon for Media": the item's name, then ".ico".
QByteArray IcoOutputName(const QByteArray& itemName);
// "Make Linux Icon Set for Media": the folder named after the item, then "-icons".
QByteArray IconSetOutputName(const QByteArray& itemName);
// The icon name the pictures of a Linux icon set are filed under: the item's
// name without its extension (nor a picture extension left under it, which
// icon themes would take off), made safe.
QByteArray IconThemeName(const QByteArray& itemName);
// Text made safe for an icon name: every byte but ASCII letters, digits,
// '-', '_' and '.' made '-', runs of '-' made one, no '-' or '.' at either
// end, at most 200 bytes; "icon" when nothing is left.
QByteArray SafeIconName(const QByteArray& text);

} // namespace pictomat
