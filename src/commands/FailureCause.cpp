#include "commands/FailureCause.h"

#include <cerrno>
#include <sys/stat.h>

namespace pictomat::cause {

QString ofName(const QByteArray& path)
{
    struct stat st;
    if (path.isEmpty())
        return ofErrno(ENOENT);
    // lstat: a link that points nowhere is still there.
    if (::lstat(path.constData(), &st) == 0)
        return {};
    return ofErrno(errno);
}

QString ofErrno(int code)
{
    switch (code) {
    case ENOENT:
    case ENOTDIR: return QStringLiteral("there is no such file or folder");
    case EACCES:
    case EPERM: return QStringLiteral("permission denied");
    case ENOSPC: return QStringLiteral("the disk is full");
    case EDQUOT: return QStringLiteral("the disk quota is used up");
    case EROFS: return QStringLiteral("the disk is read-only");
    case EFBIG: return QStringLiteral("the file is too large for its disk");
    case EIO: return QStringLiteral("the disk could not be read or written");
    case ENAMETOOLONG: return QStringLiteral("the name is too long");
    case ELOOP: return QStringLiteral("too many symbolic links");
    case EISDIR: return QStringLiteral("a folder has that name");
    default: return SystemErrorText(code);
    }
}

QString ofError(const Error& error)
{
    return error.code != 0 ? ofErrno(error.code) : error.message;
}

QString ofPicture(PictureStatus status)
{
    switch (status) {
    case PictureStatus::Decoded: return {};
    case PictureStatus::NotAPicture: return QStringLiteral("not a picture, movie or icon file that Pictomat reads");
    case PictureStatus::TooLarge: return QStringLiteral("the picture is too large");
    case PictureStatus::Damaged: return QStringLiteral("the file is damaged");
    case PictureStatus::TooCostly: return QStringLiteral("the drawing takes too long to draw");
    }
    return {};
}

QString noMetadataService()
{
    return QStringLiteral("no metadata service (GVfs) on this session bus");
}

QString noTrash()
{
    return QStringLiteral("there is no Trash on its drive");
}

QString outputTaken(const FileRef& output)
{
    return QStringLiteral("%1 is there, and replacing files of the same name is switched off")
        .arg(output.displayPath());
}

QString iconDrawsNothing()
{
    return QStringLiteral("its icon draws nothing");
}

QString iconFileHoldsNothing()
{
    return QStringLiteral("the icon file holds no picture that can be written");
}

QString noWebAddress()
{
    return QStringLiteral("the file holds no web address");
}

QString notAWebLocation()
{
    return QStringLiteral("not a web location (.webloc, .url or a link's .desktop file)");
}

QString pageHasNoHead()
{
    return QStringLiteral("the page has no head section");
}

QString pageNamesNoIcon()
{
    return QStringLiteral("no icon address could be formed for the page");
}

QString noPictureAtIconAddress()
{
    return QStringLiteral("no picture was found at the site's icon addresses");
}

QString clipboardHoldsNoPicture()
{
    return QStringLiteral("the clipboard holds no picture");
}

} // namespace pictomat::cause
