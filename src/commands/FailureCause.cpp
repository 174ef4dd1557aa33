#include "commands/FailureCause.h"

#include <QCoreApplication>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace pictomat::cause {

namespace {

// A text of the "Cause" context in the words asked for.
QString said(const char* text, In in)
{
    return in == In::English ? QString::fromUtf8(text) : QCoreApplication::translate("Cause", text);
}

} // namespace

QString ofName(const QByteArray& path, In in)
{
    struct stat st;
    if (path.isEmpty())
        return ofErrno(ENOENT, in);
    // lstat: a link that points nowhere is still there.
    if (::lstat(path.constData(), &st) == 0)
        return {};
    return ofErrno(errno, in);
}

QString ofErrno(int code, In in)
{
    switch (code) {
    case ENOENT:
    case ENOTDIR: return said(QT_TRANSLATE_NOOP("Cause", "there is no such file or folder"), in);
    case EACCES:
    case EPERM: return said(QT_TRANSLATE_NOOP("Cause", "permission denied"), in);
    case ENOSPC: return said(QT_TRANSLATE_NOOP("Cause", "the disk is full"), in);
    case EDQUOT: return said(QT_TRANSLATE_NOOP("Cause", "the disk quota is used up"), in);
    case EROFS: return said(QT_TRANSLATE_NOOP("Cause", "the disk is read-only"), in);
    case EFBIG: return said(QT_TRANSLATE_NOOP("Cause", "the file is too large for its disk"), in);
    case EIO: return said(QT_TRANSLATE_NOOP("Cause", "the disk could not be read or written"), in);
    case ENAMETOOLONG: return said(QT_TRANSLATE_NOOP("Cause", "the name is too long"), in);
    case ELOOP: return said(QT_TRANSLATE_NOOP("Cause", "too many symbolic links"), in);
    case EISDIR: return said(QT_TRANSLATE_NOOP("Cause", "a folder has that name"), in);
    default:
        // The C library's own words, in English for the log whatever the
        // locale says.
        if (in == In::English) {
            if (const char* english = ::strerrordesc_np(code))
                return QString::fromUtf8(english);
        }
        return SystemErrorText(code);
    }
}

QString ofError(const Error& error, In in)
{
    return error.code != 0 ? ofErrno(error.code, in) : error.message;
}

QString ofPicture(PictureStatus status, In in)
{
    switch (status) {
    case PictureStatus::Decoded: return {};
    case PictureStatus::NotAPicture:
        return said(QT_TRANSLATE_NOOP("Cause", "not a picture, movie or icon file that Pictomat reads"), in);
    case PictureStatus::TooLarge: return said(QT_TRANSLATE_NOOP("Cause", "the picture is too large"), in);
    case PictureStatus::Damaged: return said(QT_TRANSLATE_NOOP("Cause", "the file is damaged"), in);
    case PictureStatus::TooCostly: return said(QT_TRANSLATE_NOOP("Cause", "the drawing takes too long to draw"), in);
    }
    return {};
}

QString noMetadataService(In in)
{
    return said(QT_TRANSLATE_NOOP("Cause", "no metadata service (GVfs) on this session bus"), in);
}

QString noTrash(In in)
{
    return said(QT_TRANSLATE_NOOP("Cause", "there is no Trash on its drive"), in);
}

QString outputTaken(const FileRef& output, In in)
{
    return said(QT_TRANSLATE_NOOP("Cause", "%1 is there, and replacing files of the same name is switched off"), in)
        .arg(output.displayPath());
}

QString iconDrawsNothing(In in)
{
    return said(QT_TRANSLATE_NOOP("Cause", "its icon draws nothing"), in);
}

QString iconFileHoldsNothing(In in)
{
    return said(QT_TRANSLATE_NOOP("Cause", "the icon file holds no picture that can be written"), in);
}

QString noWebAddress(In in)
{
    return said(QT_TRANSLATE_NOOP("Cause", "the file holds no web address"), in);
}

QString notAWebLocation(In in)
{
    return said(QT_TRANSLATE_NOOP("Cause", "not a web location (.webloc, .url or a link's .desktop file)"), in);
}

QString pageHasNoHead(In in)
{
    return said(QT_TRANSLATE_NOOP("Cause", "the page has no head section"), in);
}

QString pageNamesNoIcon(In in)
{
    return said(QT_TRANSLATE_NOOP("Cause", "no icon address could be formed for the page"), in);
}

QString noPictureAtIconAddress(In in)
{
    return said(QT_TRANSLATE_NOOP("Cause", "no picture was found at the site's icon addresses"), in);
}

QString clipboardHoldsNoPicture(In in)
{
    return said(QT_TRANSLATE_NOOP("Cause", "the clipboard holds no picture"), in);
}

} // namespace pictomat::cause
