#pragma once

#include "checks/ByteSource.h"
#include "files/Error.h"

namespace pictomat {

// The most items (pictures, tiles, metadata) a HEIF file may hold. A phone's
// 48-megapixel photo holds about 250: its 512-pixel tiles, a gain map's
// tiles, a thumbnail, Exif. libheif's reading time grows with the square of
// their number: 15,625 keep it busy for most of a minute.
inline constexpr int kMaxHeifItems = 1024;

// Whether libheif may read a HEIF or AVIF file, decided from its boxes
// alone: libheif cannot be stopped once it has started, and a few hundred
// bytes can keep it busy for a minute or make it ask for gigabytes. Every box
// lies inside the one that holds it, nesting is shallow, the items are few,
// and each picture it may decode (the primary one, its thumbnails and its
// transparency) has at most `maxPixels` pixels by every measure the file
// gives (its ispe box, a grid's or overlay's canvas, the size the HEVC or AV1
// stream declares), tiles that cover the canvas once each, and enough coded
// bytes for what it declares. *why (when given) says what is wrong.
Soundness CheckHeifStructure(const ByteSource& file, qint64 maxPixels, Error* why = nullptr);

} // namespace pictomat
