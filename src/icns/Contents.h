#pragma once

// What "pictomat icns" shows of a family, as bytes in and bytes out: the
// command line reads and writes the files.

#include "icns/IconFamily.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

#include <optional>
#include <span>

namespace pictomat::icns {

// One line of a listing: the element's kind, its payload size, and what it
// holds ("16x16", "64x64 @2x", "mask", or "-" for metadata and elements that
// do not decode).
struct ElementRow {
    OSType type;
    qsizetype bytes;
    QString holds;
};
QVector<ElementRow> ListElements(const IconFamily& family);

// A picture as the bytes of a PNG file, under a file name without folder.
struct NamedPng {
    QByteArray name;
    QByteArray png;
};

// Every picture of the family, named after its element and size
// ("is32-16x16.png", "ic12-64x64@2x.png"). PNG payloads are kept as stored.
QVector<NamedPng> PicturesAsPng(const IconFamily& family);

// The names of an .iconset folder, smallest first: icon_16x16.png,
// icon_16x16@2x.png, ... icon_512x512@2x.png.
struct IconsetSlot {
    const char* name;
    int points;  // the edge the name gives
    int scale;   // 1, or 2 for the @2x names
    OSType type; // where the picture goes in a family
    OSType mask; // its 8-bit mask element, for the RGB + mask kinds; else 0
    int pixels() const { return points * scale; }
};
std::span<const IconsetSlot> IconsetSlots();
const IconsetSlot* FindIconsetSlot(const QByteArray& name);

// A family from PNG files; a name may carry its folder, which is left out
// when the name is matched. With byNameOnly (an .iconset folder) every file
// must bear an iconset name; otherwise a file that does not is placed by its
// pixel size in every slot of that size that no named file fills. PNG bytes
// are kept as given where the slot holds PNG; the 16 and 32 pixel 1x slots
// become RGB + mask, as Finder needs. Nothing, and the error says which file
// and why, when a file is no PNG, is not square, has a size no icon has, does
// not match its name, or two files claim one slot.
std::optional<IconFamily> FamilyFromPngs(const QVector<NamedPng>& files, bool byNameOnly, QString* error);

// The family's pictures under iconset names: for each name, the picture of
// that pixel size and scale (the name's own element first, then the deepest
// colours), its PNG payload kept as stored. Pictures that have no iconset
// name (48 pixels, say) are told of in skipped.
QVector<NamedPng> IconsetPictures(const IconFamily& family, QStringList* skipped = nullptr);

} // namespace pictomat::icns
