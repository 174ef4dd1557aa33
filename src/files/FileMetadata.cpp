#include "files/FileMetadata.h"

#include "files/GObjectPtr.h"

#include <QCoreApplication>

#include <gio/gio.h>

#include <memory>

namespace pictomat {

namespace {

using FilePtr = GObjectPtr<GFile>;
using FileInfoPtr = GObjectPtr<GFileInfo>;

struct AttributeListUnref {
    void operator()(GFileAttributeInfoList* list) const
    {
        if (list)
            g_file_attribute_info_list_unref(list);
    }
};
using AttributeListPtr = std::unique_ptr<GFileAttributeInfoList, AttributeListUnref>;

class ErrorSlot {
public:
    ErrorSlot() = default;
    ErrorSlot(const ErrorSlot&) = delete;
    ErrorSlot& operator=(const ErrorSlot&) = delete;
    ~ErrorSlot()
    {
        if (m_error)
            g_error_free(m_error);
    }
    GError** out() { return &m_error; }
    QString message() const
    {
        return m_error ? QString::fromUtf8(m_error->message) : QCoreApplication::translate("Files", "unknown error");
    }

private:
    GError* m_error = nullptr;
};

FilePtr fileFor(const FileRef& item)
{
    return FilePtr(g_file_new_for_path(item.c_path()));
}

QString noMetadataService()
{
    return QCoreApplication::translate(
        "Files", "The file manager's metadata service (GVfs on the session bus) is not available.");
}

} // namespace

namespace FileMetadata {

bool writable(const FileRef& item)
{
    const FilePtr file = fileFor(item);
    ErrorSlot err;
    AttributeListPtr list(g_file_query_writable_namespaces(file.get(), nullptr, err.out()));
    return list && g_file_attribute_info_list_lookup(list.get(), "metadata") != nullptr;
}

bool checkWritable(const FileRef& item, Error* error)
{
    if (writable(item))
        return true;
    SetError(error, noMetadataService());
    return false;
}

bool setString(const FileRef& item, const char* key, const QByteArray& value, Error* error)
{
    const FilePtr file = fileFor(item);
    ErrorSlot err;
    if (g_file_set_attribute_string(file.get(), key, value.constData(), G_FILE_QUERY_INFO_NONE, nullptr, err.out()))
        return true;
    SetError(error, err.message());
    return false;
}

bool unset(const FileRef& item, const char* key, Error* error)
{
    const FilePtr file = fileFor(item);
    ErrorSlot err;
    if (g_file_set_attribute(file.get(), key, G_FILE_ATTRIBUTE_TYPE_INVALID, nullptr, G_FILE_QUERY_INFO_NONE, nullptr,
                             err.out()))
        return true;
    SetError(error, err.message());
    return false;
}

std::optional<QByteArray> string(const FileRef& item, const char* key)
{
    const FilePtr file = fileFor(item);
    ErrorSlot err;
    const FileInfoPtr info(g_file_query_info(file.get(), key, G_FILE_QUERY_INFO_NONE, nullptr, err.out()));
    const char* value = info ? g_file_info_get_attribute_string(info.get(), key) : nullptr;
    if (!value || !*value)
        return std::nullopt;
    return QByteArray(value);
}

} // namespace FileMetadata

bool ClearCustomIconMetadata(const FileRef& item, Error* error)
{
    if (!FileMetadata::checkWritable(item, error))
        return false;
    for (const char* key : {FileMetadata::kCustomIcon, FileMetadata::kCustomIconName}) {
        if (!FileMetadata::unset(item, key, error))
            return false;
    }
    return true;
}

} // namespace pictomat
