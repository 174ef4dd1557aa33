#include "files/ItemNames.h"

#include "files/GObjectPtr.h"

#include <gio/gio.h>

#include <sys/stat.h>

namespace pictomat {

std::optional<QString> DisplayName(const FileRef& item)
{
    struct stat st;
    if (item.isEmpty() || ::lstat(item.c_path(), &st) != 0)
        return std::nullopt;
    GObjectPtr<GFile> file(g_file_new_for_path(item.c_path()));
    GError* error = nullptr;
    GObjectPtr<GFileInfo> info(g_file_query_info(file.get(), G_FILE_ATTRIBUTE_STANDARD_DISPLAY_NAME,
                                                 G_FILE_QUERY_INFO_NOFOLLOW_SYMLINKS, nullptr, &error));
    if (info) {
        if (const char* name = g_file_info_get_display_name(info.get()))
            return QString::fromUtf8(name);
    }
    g_clear_error(&error);
    // Shown, never used as a path: invalid bytes may become replacement characters.
    const QByteArray name = item.name();
    return name.isEmpty() ? QStringLiteral("/") : QString::fromUtf8(name);
}

std::optional<QByteArray> GetItemName(const FileRef& item)
{
    struct stat st;
    if (item.isEmpty() || ::lstat(item.c_path(), &st) != 0)
        return std::nullopt;
    const QByteArray name = item.name();
    // The root has no name of its own to make output names from.
    if (name.isEmpty())
        return std::nullopt;
    return name;
}

} // namespace pictomat
