#pragma once

#include "icns/IconFamily.h"

#include <QByteArray>
#include <QImage>
#include <QMap>

#include <gtest/gtest.h>

namespace pictomat::test {

// A deterministic picture with flat runs, gradients, noise and every kind of
// alpha (clear, partial, opaque), so that RLE runs and literals, masks and PNG
// filters are all exercised. The seed varies it.
QImage TestPicture(int size, int seed = 0);

// Pictures for every edge the writer knows: 16, 32, 48, 64, 128, 256, 512, 1024.
QMap<int, QImage> FullSet(int seed = 0);

// .icns bytes built by hand: header, then the given elements (no TOC).
QByteArray HandMadeIcns(const QVector<icns::IconFamily::Element>& elements);
QByteArray ElementBytes(icns::OSType type, const QByteArray& payload);

// Hex text to bytes, spaces ignored.
QByteArray Hex(const char* text);

// True when both pictures have the same size and the same non-premultiplied
// ARGB in every pixel; describes the first difference otherwise.
::testing::AssertionResult SamePixels(const QImage& expected, const QImage& actual);

} // namespace pictomat::test
