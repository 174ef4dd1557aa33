#pragma once

#include "icns/IconFamily.h"
#include "platform/IconProvider.h"

#include <QImage>

namespace pictomat {

// Composites the icon over the bitmap, covering the whole square (centred in
// the shorter edge when the bitmap is not square). False, the bitmap
// untouched, when the icon could not be rendered at that size or draws nothing.
bool DrawIconIntoBitmap(QImage& bitmap, const IconProvider::Icon& icon);

// The item's icon as an icon family: rendered at every size the icon-family
// codec writes (16 to 1024 px; the @2x slots are filled from these). Empty when
// the icon renders at no size.
icns::IconFamily IconFamilyForItemIcon(const IconProvider::Icon& icon);

} // namespace pictomat
