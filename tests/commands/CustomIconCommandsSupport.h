#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace pictomat::test {

// Writes small pictures with Pillow, so that what we read was made by someone
// else: "left-red.png" (48x32 RGBA, right half transparent) and
// "quadrants.bmp" (30x20 RGB). Returns false when Pillow is missing.
bool WritePillowPictures(const QString& folder);

// Pillow's view of two pictures: "FORMAT same" when the first is a PNG with
// exactly the second one's pixels, else a description of the difference.
QByteArray PillowCompare(const QByteArray& png, const QByteArray& reference);

} // namespace pictomat::test
