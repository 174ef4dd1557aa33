#pragma once

#include "platform/FileRef.h"

#include <QByteArray>
#include <QImage>
#include <QString>

#include <optional>

namespace pictomat {

// Custom icons that file managers show. Setting stores the picture as PNG in
// $XDG_DATA_HOME/pictomat/icons/ (named by its content, at most 1024 px on the
// longer side) and points the item's GIO "metadata::custom-icon" at it; for a
// folder it also merges "Icon=" into the folder's .directory. Removing undoes
// both. Both need the GVfs metadata service and fail cleanly without it.
namespace CustomIcons {

// The longest side of a stored picture; larger ones are scaled down to it.
constexpr int kLargestEdge = 1024;

// True when GIO can write the "metadata" namespace (session bus and GVfs up).
bool metadataAvailable();

bool setCustomIcon(const FileRef& item, const QImage& picture, QString* error = nullptr);
bool removeCustomIcon(const FileRef& item, QString* error = nullptr);
// The picture file the item's custom icon points at, if any.
std::optional<QByteArray> customIconPath(const FileRef& item);

} // namespace CustomIcons

// Type and creator codes of the "user.com.apple.FinderInfo" extended attribute:
// bytes 0-3 type, 4-7 creator. A file without the attribute is left alone.
bool ClearFinderInfoBytes(const FileRef& item, int offset /*0 or 4*/);

// A change notice file managers watching the folder see (an attribute change
// on the item). Returns 0 or an errno value.
int TouchForFileManagers(const FileRef& item);

} // namespace pictomat
