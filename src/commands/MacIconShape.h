#pragma once

#include <QColor>
#include <QImage>

namespace pictomat {

// Apple's macOS app icon grid, which since macOS 26 the system holds every
// app icon to (one that is off it is shown shrunk inside a grey box): on a
// 1024 grid the body is a square of 824 centred, its corners continuous
// curves (a superellipse, |x|^5 + |y|^5 = 1, whose corners match Apple's
// 185 px template corner on the diagonal), over a soft shadow cast below.

// The body's side on an m pixel grid (824/1024 of it).
double MacIconBody(int m);
// The pixel size the art is drawn at for an m pixel icon: the body, grown to
// the same whole number of pixels on each side of it.
int MacIconArtEdge(int m);

// How much of each pixel of an m x m square the body covers, 0 to 255
// (Format_Alpha8), its centre moved down by `down` pixels: each pixel near
// the edge sampled 16 x 16 times, so edges are clean at 16 pixels.
QImage MacIconMask(int m, double down = 0);

// The m pixel icon: `art` (any size, drawn from the source for the body at
// MacIconArtEdge(m)) centred over `background` inside the body, clipped to
// it, over the shadow Apple's template casts (black at 30%, 10 px down, 10
// px blur on the 1024 grid). Premultiplied ARGB32; null without memory.
QImage MacShapedIcon(const QImage& art, int m, const QColor& background);

} // namespace pictomat
