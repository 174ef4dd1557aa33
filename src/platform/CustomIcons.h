#pragma once

#include "files/Error.h"
#include "files/FileRef.h"

#include <QByteArray>
#include <QImage>
#include <QString>

#include <optional>

namespace pictomat {

// Custom icons that file managers show. Setting stores the picture as PNG in
// $XDG_DATA_HOME/pictomat/icons/ (named by its content, at most 1024 px on the
// longer side) and points the item's GIO "metadata::custom-icon" at it; for a
// folder it also merges "Icon=" into the folder's .directory. Removing undoes
// both. Files need the GVfs metadata service and fail cleanly without it; a
// folder then gets (or loses) its .directory icon alone.
namespace CustomIcons {

// The longest side of a stored picture; larger ones are scaled down to it.
constexpr int kLargestEdge = 1024;

// True when GIO can write the "metadata" namespace (session bus and GVfs up).
bool metadataAvailable();

bool setCustomIcon(const FileRef& item, const QImage& picture, Error* error = nullptr);
bool removeCustomIcon(const FileRef& item, Error* error = nullptr);
// The picture file the item's custom icon points at, if any.
std::optional<QByteArray> customIconPath(const FileRef& item);

} // namespace CustomIcons

} // namespace pictomat
