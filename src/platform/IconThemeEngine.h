#pragma once

#include "platform/IconProvider.h"

#include <QIcon>
#include <QImage>
#include <QVector>

namespace pictomat {

// Draws one of the pictures of an icon into a transparent size x size image
// (premultiplied ARGB): the bitmap made for that size, else the scalable
// drawing at the exact size, else the nearest larger bitmap scaled down, else
// the largest smaller one scaled up smoothly. Null when none can be read.
QImage RenderIconFiles(const QVector<IconFile>& files, int size);
// Draws a picture into the middle of a transparent image, aspect kept.
void DrawFitted(QImage& out, const QImage& picture);

// A QIcon over the same pictures that reads them only when a size is asked
// for, so that finding an icon costs no decoding and needs no GUI.
QIcon MakeFileSetIcon(const QVector<IconFile>& files);

} // namespace pictomat
