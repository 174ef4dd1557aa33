#include "files/FinderInfo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>

#include <cerrno>

namespace pictomat {

namespace {
constexpr const char* kFinderInfoAttribute = "user.com.apple.FinderInfo";
// Finder info is 32 bytes; a longer attribute is kept as it is beyond the codes.
constexpr ssize_t kMaxFinderInfoBytes = 256;
} // namespace

bool ClearFinderInfoBytes(const FileRef& item, int offset)
{
    if (item.isEmpty() || (offset != 0 && offset != 4))
        return false;
    char bytes[kMaxFinderInfoBytes];
    const ssize_t size = ::lgetxattr(item.c_path(), kFinderInfoAttribute, bytes, sizeof bytes);
    // A file without the attribute has no codes to clear, and one too short
    // to hold the field is not Finder info we understand: leave both alone.
    if (size < offset + 4)
        return false;
    bool changed = false;
    for (int i = offset; i < offset + 4; ++i) {
        changed = changed || bytes[i] != 0;
        bytes[i] = 0;
    }
    if (!changed)
        return true;
    // Every other byte goes back exactly as it was read.
    return ::lsetxattr(item.c_path(), kFinderInfoAttribute, bytes, static_cast<size_t>(size), XATTR_REPLACE) == 0;
}

int TouchForFileManagers(const FileRef& item)
{
    if (item.isEmpty())
        return ENOENT;
    // Setting the mode it already has changes nothing but the status-change
    // time, and inotify reports it to watchers of the folder as IN_ATTRIB;
    // the contents and the modification time stay as they are.
    // Never through a link: the notice is for the item itself.
    struct stat st;
    if (::lstat(item.c_path(), &st) != 0)
        return errno;
    if (S_ISLNK(st.st_mode))
        return 0;
    if (::fchmodat(AT_FDCWD, item.c_path(), st.st_mode & 07777, AT_SYMLINK_NOFOLLOW) == 0)
        return 0;
    // Without /proc the C library cannot do that; the item was no link a moment ago.
    if (errno == EOPNOTSUPP && ::chmod(item.c_path(), st.st_mode & 07777) == 0)
        return 0;
    return errno;
}

} // namespace pictomat
