#include "files/Trash.h"

#include "files/GObjectPtr.h"

#include <QCoreApplication>

#include <gio/gio.h>

#include <sys/xattr.h>

namespace pictomat {

namespace {

constexpr const char* kOutputAttribute = "user.pictomat.output";

// What the mark holds: the item as it was when we finished it. A file
// edited in place since has another modification time, a copy another inode.
QByteArray markFor(const struct stat& st)
{
    return "1 " + QByteArray::number(quint64(st.st_ino)) + ' ' + QByteArray::number(qint64(st.st_size)) + ' '
           + QByteArray::number(qint64(st.st_mtim.tv_sec)) + '.' + QByteArray::number(qint64(st.st_mtim.tv_nsec));
}

} // namespace

TrashResult MoveToTrash(const QByteArray& path, Error* error)
{
    const GObjectPtr<GFile> file(g_file_new_for_path(path.constData()));
    GError* failure = nullptr;
    if (g_file_trash(file.get(), nullptr, &failure))
        return TrashResult::Moved;
    const bool unsupported = g_error_matches(failure, G_IO_ERROR, G_IO_ERROR_NOT_SUPPORTED);
    SetError(error,
             failure ? QString::fromUtf8(failure->message) : QCoreApplication::translate("Files", "unknown error"));
    if (failure)
        g_error_free(failure);
    return unsupported ? TrashResult::NotSupported : TrashResult::Failed;
}

bool CanMoveToTrash(const QByteArray& path)
{
    const GObjectPtr<GFile> file(g_file_new_for_path(path.constData()));
    const GObjectPtr<GFileInfo> info(g_file_query_info(file.get(), G_FILE_ATTRIBUTE_ACCESS_CAN_TRASH,
                                                       G_FILE_QUERY_INFO_NOFOLLOW_SYMLINKS, nullptr, nullptr));
    if (!info || !g_file_info_has_attribute(info.get(), G_FILE_ATTRIBUTE_ACCESS_CAN_TRASH))
        return true;
    return g_file_info_get_attribute_boolean(info.get(), G_FILE_ATTRIBUTE_ACCESS_CAN_TRASH);
}

void MarkAsPictomatOutput(int fd)
{
    struct stat st;
    if (::fstat(fd, &st) != 0)
        return;
    const QByteArray mark = markFor(st);
    ::fsetxattr(fd, kOutputAttribute, mark.constData(), size_t(mark.size()), 0);
}

bool HasPictomatMark(const QByteArray& path, const struct stat& st)
{
    char value[128];
    const ssize_t size = ::lgetxattr(path.constData(), kOutputAttribute, value, sizeof value);
    return size > 0 && QByteArray(value, size) == markFor(st);
}

} // namespace pictomat
