#include "platform/CustomIcons.h"

#include "files/FileIO.h"
#include "files/FileMetadata.h"
#include "files/FinderInfo.h"
#include "files/GObjectPtr.h"
#include "files/Paths.h"
#include "resample/Reducer.h"
#include "platform/CustomIconsDirectory.h"
#include "platform/DesktopLinkIcon.h"

#include <QCoreApplication>
#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QImageWriter>

#include <gio/gio.h>

#include <sys/stat.h>

#include <memory>

namespace pictomat {

namespace {

constexpr int kMaxIconEdge = CustomIcons::kLargestEdge;

QString iconsFolder()
{
    return XdgDataHome() + QStringLiteral("/pictomat/icons");
}

QImage iconSized(const QImage& picture)
{
    QImage image = picture;
    if (image.width() > kMaxIconEdge || image.height() > kMaxIconEdge)
        image = ReducePicture(image, image.size().scaled(kMaxIconEdge, kMaxIconEdge, Qt::KeepAspectRatio));
    // One pixel layout per look, so that equal pictures encode to equal files
    // whatever form they arrived in: an alpha channel that is opaque
    // everywhere is left out.
    image = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(row[x]) != 255)
                return image;
        }
    }
    return image.convertToFormat(QImage::Format_RGB32);
}

// Stores the picture once per content; returns the file's path.
std::optional<QString> storeIcon(const QImage& picture, Error* error)
{
    QByteArray png;
    {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "png");
        if (!writer.canWrite() || !writer.write(iconSized(picture))) {
            SetError(error, QCoreApplication::translate("CustomIcons", "The picture could not be encoded as PNG: %1")
                                .arg(writer.errorString()));
            return std::nullopt;
        }
    }
    const QString folder = iconsFolder();
    if (!QDir().mkpath(folder)) {
        SetError(error, QCoreApplication::translate("CustomIcons", "The folder %1 could not be created.").arg(folder));
        return std::nullopt;
    }
    const QString hash = QString::fromLatin1(QCryptographicHash::hash(png, QCryptographicHash::Sha256).toHex());
    const QString path = folder + QLatin1Char('/') + hash + QStringLiteral(".png");
    QFile existing(path);
    if (existing.open(QIODevice::ReadOnly) && existing.size() == png.size() && existing.readAll() == png)
        return path;
    Error why;
    if (!WriteFileAtomically(FileRef(QFile::encodeName(path)), png, &why)) {
        SetError(error, QCoreApplication::translate("CustomIcons", "The icon file %1 could not be written: %2")
                            .arg(path, why.message));
        return std::nullopt;
    }
    return path;
}

bool itemExists(const FileRef& item, bool* isFolder)
{
    struct stat st;
    if (item.isEmpty() || ::stat(item.c_path(), &st) != 0)
        return false;
    *isFolder = S_ISDIR(st.st_mode);
    return true;
}

QString directoryNotEditable()
{
    return QCoreApplication::translate("CustomIcons",
                                       "The folder's .directory is a link or a special file, which is never edited.");
}

} // namespace

namespace CustomIcons {

bool metadataAvailable()
{
    return FileMetadata::writable(FileRef(QByteArray("/")));
}

bool setCustomIcon(const FileRef& item, const QImage& picture, Error* error)
{
    bool isFolder = false;
    if (!itemExists(item, &isFolder)) {
        SetError(error, QCoreApplication::translate("CustomIcons", "The item does not exist."));
        return false;
    }
    if (picture.isNull()) {
        SetError(error, QCoreApplication::translate("CustomIcons", "There is no picture to use as the icon."));
        return false;
    }
    // Checked first, so that a folder whose .directory (or a desktop link
    // that) cannot be edited gets nothing at all.
    if (isFolder && !FolderIconKeyEditable(item)) {
        SetError(error, directoryNotEditable());
        return false;
    }
    if (!isFolder && DesktopLinkIcon::check(item, error) == DesktopLinkIcon::Edit::Failed)
        return false;
    // A folder's .directory needs no metadata service: Dolphin and
    // PCManFM-Qt show the icon without GVfs.
    const bool metadata = FileMetadata::writable(item);
    if (!metadata && !isFolder)
        return FileMetadata::checkWritable(item, error);
    const std::optional<QString> iconPath = storeIcon(picture, error);
    if (!iconPath)
        return false;
    const QByteArray iconBytes = QFile::encodeName(*iconPath);
    if (metadata) {
        if (!FileMetadata::setString(item, FileMetadata::kCustomIcon, FileRef(iconBytes).uri(), error))
            return false;
        // A themed icon name set by another program would otherwise compete
        // with the picture; the picture is what was asked for.
        FileMetadata::unset(item, FileMetadata::kCustomIconName);
    }
    if (isFolder && !SetFolderIconKey(item, iconBytes, error))
        return false;
    if (!isFolder
        && DesktopLinkIcon::set(item, iconBytes, QFile::encodeName(iconsFolder()), error)
               == DesktopLinkIcon::Edit::Failed)
        return false;
    // An open view repaints the item only when told that it changed.
    TouchForFileManagers(item);
    return true;
}

bool removeCustomIcon(const FileRef& item, Error* error)
{
    bool isFolder = false;
    if (!itemExists(item, &isFolder)) {
        SetError(error, QCoreApplication::translate("CustomIcons", "The item does not exist."));
        return false;
    }
    if (isFolder && !FolderIconKeyEditable(item)) {
        SetError(error, directoryNotEditable());
        return false;
    }
    if (!isFolder && DesktopLinkIcon::check(item, error) == DesktopLinkIcon::Edit::Failed)
        return false;
    // Without a metadata service a folder's icon is its .directory's alone.
    if ((!isFolder || FileMetadata::writable(item)) && !ClearCustomIconMetadata(item, error))
        return false;
    if (isFolder && !RemoveFolderIconKey(item, error))
        return false;
    if (!isFolder
        && DesktopLinkIcon::remove(item, QFile::encodeName(iconsFolder()), error) == DesktopLinkIcon::Edit::Failed)
        return false;
    TouchForFileManagers(item);
    return true;
}

std::optional<QByteArray> customIconPath(const FileRef& item)
{
    bool isFolder = false;
    if (!itemExists(item, &isFolder))
        return std::nullopt;
    if (const std::optional<QByteArray> value = FileMetadata::string(item, FileMetadata::kCustomIcon)) {
        if (value->startsWith('/'))
            return value;
        const GObjectPtr<GFile> icon(g_file_new_for_uri(value->constData()));
        GCharPtr path(g_file_get_path(icon.get()));
        if (path)
            return QByteArray(path.get());
    }
    if (!isFolder)
        return std::nullopt;
    const std::optional<QByteArray> key = FolderIconKey(item);
    if (key && key->startsWith('/'))
        return key;
    return std::nullopt;
}

} // namespace CustomIcons

} // namespace pictomat
