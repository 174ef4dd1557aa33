#pragma once

#include "image/BackgroundBitmap.h"

#include <QByteArray>
#include <QImage>
#include <QString>

#include <optional>

namespace pictomat {

// Whether pictures written in this format keep their transparency.
bool FormatKeepsAlpha(const QByteArray& writerFormat);

// A picture encoded in the writer format: tagged as sRGB where the format
// allows; where it has no alpha, laid over the background colour (opaque)
// first, so nothing transparent turns black; JPEG at a quality of 90 and
// above keeps full colour resolution (4:4:4); WBMP is written by us, as a dithered
// one-bit picture. `quality` is the writer's 0..100, or -1 for its default.
// What is written is read back through the format's own reader: nothing, and
// *error says why, when the writer fails or what it made does not read as a
// picture of the same size.
std::optional<QByteArray> EncodePicture(const QImage& picture, const QByteArray& writerFormat, int quality,
                                        const BackgroundColor& background, QString* error = nullptr);

} // namespace pictomat
