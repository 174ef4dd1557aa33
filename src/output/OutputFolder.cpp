#include "output/OutputFolder.h"

#include "files/Paths.h"
#include "output/Log.h"

#include <QFile>
#include <QStorageInfo>

#include <sys/stat.h>
#include <unistd.h>

#include <fcntl.h>
#include <stdio.h> // renameat2, RENAME_NOREPLACE

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace pictomat {

namespace {

// The item's path for the item-folder rule fits 2047 bytes with its zero.
constexpr qsizetype kItemPathBufferBytes = 2047;
// The stored image-folder path fits 1023 bytes with its zero.
constexpr qsizetype kImageFolderBufferBytes = 1023;

const QByteArray kMakerFolderName("Corvane Software");
const QByteArray kAppFolderName("Pictomat");

bool isPlainName(const QByteArray& name)
{
    return !name.isEmpty() && name != "." && name != ".." && !name.contains('/') && !name.contains('\0');
}

std::optional<QByteArray> realPath(const QByteArray& path)
{
    char resolved[PATH_MAX];
    if (!::realpath(path.constData(), resolved))
        return std::nullopt;
    return QByteArray(resolved);
}

// The item's path with its folders resolved and its own name kept, so that a
// symbolic link stays the link (its output goes beside it) while "x/.." and
// linked folders name the real place.
std::optional<QByteArray> canonicalItemPath(const FileRef& item)
{
    const QByteArray name = item.name();
    if (item.path() == "/" || !isPlainName(name))
        return realPath(item.path());
    const std::optional<QByteArray> folder = realPath(item.parent().path());
    if (!folder)
        return std::nullopt;
    return *folder == "/" ? "/" + name : *folder + '/' + name;
}

// Mount points listed by the kernel for this process, with the octal escapes
// of /proc/self/mountinfo ("\040" for a space) undone.
bool isListedMountPoint(const QByteArray& path)
{
    QFile mountinfo(QStringLiteral("/proc/self/mountinfo"));
    if (!mountinfo.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray& line : mountinfo.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() < 5)
            continue;
        const QByteArray& escaped = fields[4];
        QByteArray mountPoint;
        for (qsizetype i = 0; i < escaped.size(); ++i) {
            if (escaped[i] == '\\' && i + 3 < escaped.size()) {
                mountPoint += char(escaped.mid(i + 1, 3).toInt(nullptr, 8));
                i += 3;
            } else {
                mountPoint += escaped[i];
            }
        }
        if (mountPoint == path)
            return true;
    }
    return false;
}

} // namespace

int16_t StatusFromErrno(int error)
{
    switch (error) {
    case 0: return kNoErr;
    case ENOENT:
    case ENOTDIR: return kFnfErr;
    case EEXIST:
    case ENOTEMPTY: return kDupFNErr;
    case EACCES:
    case EPERM:
    case EROFS: return kPermErr;
    case ENOMEM: return kMemFullErr;
    case ENAMETOOLONG:
    case EINVAL: return kBadNameErr;
    default: return kIoErr;
    }
}

FileRef ResolveOutputFolder(const FileRef& item, const OutputFolderRule& rule)
{
    if (rule.useItemsFolder) {
        const QByteArray& itemPath = item.path();
        if (!itemPath.isEmpty() && itemPath.size() + 1 <= kItemPathBufferBytes) {
            FileRef parent;
            if (GetParentFolder(item, &parent) == kNoErr)
                return parent;
        }
    }
    if (const std::optional<QString>& stored = rule.imageFolderPathname) {
        const QByteArray path = stored->toUtf8();
        // A path that is relative would depend on whatever folder the program
        // was started in, so only absolute paths count.
        struct stat st;
        if (stored->isValidUtf16() && path.startsWith('/') && path.size() + 1 <= kImageFolderBufferBytes
            && ::stat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode))
            return FileRef(path);
        qCDebug(lcOutput).noquote() << "the image folder" << *stored << "is no folder here; outputs go elsewhere";
    }
    // A failure leaves the empty reference; creating the output file fails then.
    FileRef folder;
    if (!FindOrCreateDefaultOutputFolder(&folder))
        return {};
    return folder;
}

bool FindOrCreateDefaultOutputFolder(FileRef* folder)
{
    *folder = {};
    const QByteArray dataHome = QFile::encodeName(XdgDataHome());
    // The user's data folder is created with its parents when missing.
    const FileRef supportFolder = FileRef::fromLocalPath(dataHome);
    if (supportFolder.isEmpty())
        return false;
    if (!supportFolder.isDirectory()) {
        QByteArray partial;
        for (const QByteArray& part : supportFolder.path().split('/')) {
            if (part.isEmpty())
                continue;
            partial += '/' + part;
            if (::mkdir(partial.constData(), 0700) != 0 && errno != EEXIST)
                return false;
        }
        if (!supportFolder.isDirectory())
            return false;
    }
    FileRef maker;
    if (CreateChildFolder(supportFolder, kMakerFolderName, &maker) != kNoErr)
        return false;
    FileRef app;
    if (CreateChildFolder(maker, kAppFolderName, &app) != kNoErr)
        return false;
    *folder = app;
    return true;
}

bool FindChildByName(const FileRef& parent, const QByteArray& name, FileRef* child)
{
    *child = {};
    // Nothing can be looked up in no folder, and a name with a slash would
    // reach past the parent: both are "not found".
    if (parent.isEmpty() || !isPlainName(name))
        return false;
    const FileRef candidate = parent.child(name);
    struct stat st;
    if (::lstat(candidate.c_path(), &st) != 0 && StatusFromErrno(errno) == kFnfErr)
        return false;
    *child = candidate;
    return true;
}

int16_t CreateChildFolder(const FileRef& parent, const QByteArray& name, FileRef* folder)
{
    if (FindChildByName(parent, name, folder))
        return kNoErr;
    if (parent.isEmpty())
        return kParamErr;
    if (!isPlainName(name))
        return kBadNameErr;
    const FileRef candidate = parent.child(name);
    if (::mkdir(candidate.c_path(), 0777) != 0) {
        const int error = errno;
        // Another process made it between the look-up and now.
        if (error == EEXIST && FindChildByName(parent, name, folder))
            return kNoErr;
        return StatusFromErrno(error);
    }
    *folder = candidate;
    return kNoErr;
}

int16_t GetParentFolder(const FileRef& item, FileRef* parent)
{
    *parent = {};
    if (item.isEmpty())
        return kParamErr;
    struct stat st;
    if (::lstat(item.c_path(), &st) != 0)
        return StatusFromErrno(errno);
    const std::optional<QByteArray> path = canonicalItemPath(item);
    if (!path)
        return StatusFromErrno(errno);
    if (*path == "/")
        return kNoErr;
    const FileRef canonical(*path);
    const FileRef folder = canonical.parent();
    if (S_ISDIR(st.st_mode)) {
        // A volume root has no parent: its device differs from the folder
        // above it, or (a bind mount of the same device) the kernel lists it.
        struct stat up;
        if (::stat(folder.c_path(), &up) != 0)
            return StatusFromErrno(errno);
        if (up.st_dev != st.st_dev || (up.st_ino == st.st_ino) || isListedMountPoint(*path))
            return kNoErr;
    }
    *parent = folder;
    return kNoErr;
}

int16_t RenameItem(FileRef* item, const QByteArray& newName)
{
    if (!item || item->isEmpty())
        return kParamErr;
    const FileRef folder = item->parent();
    if (folder.isEmpty() || !isPlainName(newName))
        return kBadNameErr;
    const qsizetype needed = folder.path().size() + 1 + newName.size();
    QByteArray target;
    target.reserve(needed);
    if (target.capacity() < needed)
        return kMemFullErr;
    target += folder.path();
    if (folder.path() != "/")
        target += '/';
    target += newName;
    if (target == item->path())
        return kNoErr;

    struct stat from;
    if (::lstat(item->c_path(), &from) != 0)
        return StatusFromErrno(errno);
    struct stat to;
    const bool targetExists = ::lstat(target.constData(), &to) == 0;
    // The same file under another spelling (a case-insensitive file system):
    // renaming it to itself replaces nothing.
    if (targetExists && to.st_dev == from.st_dev && to.st_ino == from.st_ino) {
        if (::rename(item->c_path(), target.constData()) != 0)
            return StatusFromErrno(errno);
        *item = FileRef(target);
        return kNoErr;
    }
    // Never replace another file silently: the kernel refuses when the name
    // is taken, without a window between a check and the rename.
    if (::renameat2(AT_FDCWD, item->c_path(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) != 0) {
        const int error = errno;
        if (error != EINVAL && error != ENOSYS)
            return StatusFromErrno(error);
        // File systems without the flag: a hard link fails when the name is
        // taken, so link-then-unlink keeps the guarantee for files; folders
        // cannot be linked and fall back to a checked rename.
        if (S_ISDIR(from.st_mode)) {
            if (::lstat(target.constData(), &to) == 0)
                return kDupFNErr;
            if (::rename(item->c_path(), target.constData()) != 0)
                return StatusFromErrno(errno);
        } else {
            if (::link(item->c_path(), target.constData()) != 0) {
                const int linkError = errno;
                if (linkError == EEXIST)
                    return kDupFNErr;
                if (::lstat(target.constData(), &to) == 0)
                    return kDupFNErr;
                if (::rename(item->c_path(), target.constData()) != 0)
                    return StatusFromErrno(errno);
            } else if (::unlink(item->c_path()) != 0) {
                const int unlinkError = errno;
                ::unlink(target.constData());
                return StatusFromErrno(unlinkError);
            }
        }
    }
    *item = FileRef(target);
    return kNoErr;
}

QByteArray OutputBaseName(const FileRef& item)
{
    const QByteArray name = item.name();
    if (!name.isEmpty() || item.path() != "/")
        return name;
    QByteArray label = QFile::encodeName(QStorageInfo(QStringLiteral("/")).name().trimmed());
    label.replace('/', ':');
    return label.isEmpty() ? QByteArrayLiteral("Root") : label;
}

QByteArray IcnsOutputName(const QByteArray& itemName)
{
    return itemName + ".icns";
}

QByteArray IcoOutputName(const QByteArray& itemName)
{
    return itemName + ".ico";
}

QByteArray IconSetOutputName(const QByteArray& itemName)
{
    return itemName + "-icons";
}

QByteArray IconThemeName(const QByteArray& itemName)
{
    auto extensionAt = [](const QByteArray& name) {
        const qsizetype dot = name.lastIndexOf('.');
        return dot > 0 && dot < name.size() - 1 ? dot : -1;
    };
    QByteArray stem = itemName;
    if (const qsizetype dot = extensionAt(stem); dot > 0)
        stem.truncate(dot);
    for (qsizetype dot = extensionAt(stem); dot > 0; dot = extensionAt(stem)) {
        const QByteArray extension = stem.mid(dot + 1).toLower();
        if (extension != "png" && extension != "svg" && extension != "svgz" && extension != "xpm")
            break;
        stem.truncate(dot);
    }
    return SafeIconName(stem);
}

QByteArray SafeIconName(const QByteArray& text)
{
    QByteArray name;
    for (const char c : text) {
        const bool kept = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'
                          || c == '.' || c == '-';
        if (kept)
            name += c;
        else if (!name.endsWith('-'))
            name += '-';
        if (c == '-' && name.endsWith("--"))
            name.chop(1);
    }
    name.truncate(200);
    while (!name.isEmpty() && (name.startsWith('-') || name.startsWith('.')))
        name.remove(0, 1);
    while (!name.isEmpty() && (name.endsWith('-') || name.endsWith('.')))
        name.chop(1);
    return name.isEmpty() ? QByteArray("icon") : name;
}

QByteArray ExportOutputName(const QByteArray& itemName, const QString& extension, bool appendIconSize, int16_t iconSize)
{
    QByteArray name = itemName;
    if (appendIconSize)
        name += "_" + QByteArray::number(iconSize);
    return name + '.' + extension.toUtf8();
}

} // namespace pictomat
