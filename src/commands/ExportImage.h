#pragma once

#include "commands/CommandContext.h"

#include <QImage>

namespace pictomat {

// Draws the current item's icon at IconSize over the background and writes it
// into `output` with exporter `tag` (1-based). An icon that cannot be loaded,
// a size that cannot be drawn or a failing writer leave the output empty.
void ExportIconImage(CommandContext& context, int tag, const FileRef& output);

// The picture drawn for an item at `size`: its icon over the background.
// With `useIcnsContents`, an .icns item shows the icon stored in it.
// Null when there is no bitmap or no icon; *iconMissing tells which.
QImage DrawItemIconOverBackground(const FileRef& item, int size, bool useIcnsContents, bool* iconMissing);

// The writer quality for a codec quality (0..1024): lossy formats get 0..99,
// lossless (1024) 100; -1 leaves the writer's own default.
int WriterQualityFor(const QByteArray& writerFormat, int codecQuality);

} // namespace pictomat
