#include "commands/FailureCause.h"

#include <QCoreApplication>

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
    case ENOTDIR: return QCoreApplication::translate("Cause", "there is no such file or folder");
    case EACCES:
    case EPERM: return QCoreApplication::translate("Cause", "permission denied");
    case ENOSPC: return QCoreApplication::translate("Cause", "the disk is full");
    case EDQUOT: return QCoreApplication::translate("Cause", "the disk quota is used up");
    case EROFS: return QCoreApplication::translate("Cause", "the disk is read-only");
    case EFBIG: return QCoreApplication::translate("Cause", "the file is too large for its disk");
    case EIO: return QCoreApplication::translate("Cause", "the disk could not be read or written");
    case ENAMETOOLONG: return QCoreApplication::translate("Cause", "the name is too long");
    case ELOOP: return QCoreApplication::translate("Cause", "too many symbolic links");
    case EISDIR: return QCoreApplication::translate("Cause", "a folder has that name");
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
    case PictureStatus::NotAPicture:
        return QCoreApplication::translate("Cause", "not a picture, movie or icon file that Pictomat reads");
    case PictureStatus::TooLarge: return QCoreApplication::translate("Cause", "the picture is too large");
    case PictureStatus::Damaged: return QCoreApplication::translate("Cause", "the file is damaged");
    case PictureStatus::TooCostly: return QCoreApplication::translate("Cause", "the drawing takes too long to draw");
    }
    return {};
}

QString noMetadataService()
{
    return QCoreApplication::translate("Cause", "no metadata service (GVfs) on this session bus");
}

QString noTrash()
{
    return QCoreApplication::translate("Cause", "there is no Trash on its drive");
}

QString outputTaken(const FileRef& output)
{
    return QCoreApplication::translate("Cause", "%1 is there, and replacing files of the same name is switched off")
        .arg(output.displayPath());
}

QString iconDrawsNothing()
{
    return QCoreApplication::translate("Cause", "its icon draws nothing");
}

QString iconFileHoldsNothing()
{
    return QCoreApplication::translate("Cause", "the icon file holds no picture that can be written");
}

QString noWebAddress()
{
    return QCoreApplication::translate("Cause", "the file holds no web address");
}

QString notAWebLocation()
{
    return QCoreApplication::translate("Cause", "not a web location (.webloc, .url or a link's .desktop file)");
}

QString pageHasNoHead()
{
    return QCoreApplication::translate("Cause", "the page has no head section");
}

QString pageNamesNoIcon()
{
    return QCoreApplication::translate("Cause", "no icon address could be formed for the page");
}

QString noPictureAtIconAddress()
{
    return QCoreApplication::translate("Cause", "no picture was found at the site's icon addresses");
}

QString clipboardHoldsNoPicture()
{
    return QCoreApplication::translate("Cause", "the clipboard holds no picture");
}

} // namespace pictomat::cause
