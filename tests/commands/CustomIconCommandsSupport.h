#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace pictomat::test {

// The data folder GLib settled on in this process before any test changed
// XDG_DATA_HOME: where this process's GVfs metadata lives, so `gio` has to
// look there too when it checks what the process itself set.

// The custom icon `gio info` reports for an item, as a local path; empty when
// none is set. metadataHome is the XDG_DATA_HOME of the process that set it.
QByteArray GioCustomIcon(const QByteArray& item, const QString& metadataHome);

// Writes small pictures with Pillow, so that what we read was made by someone
// else: "left-red.png" (48x32 RGBA, right half transparent) and
// "quadrants.bmp" (30x20 RGB). Returns false when Pillow is missing.
bool WritePillowPictures(const QString& folder);

// Pillow's view of two pictures: "FORMAT same" when the first is a PNG with
// exactly the second one's pixels, else a description of the difference.
QByteArray PillowCompare(const QByteArray& png, const QByteArray& reference);

} // namespace pictomat::test
