#pragma once

#include "commands/Command.h"
#include "commands/CommandContext.h"
#include "commands/CommandSettings.h"
#include "platform/IconProvider.h"

#include <QImage>

namespace pictomat {

// The image exports: each item's icon drawn at IconSize over the background
// and written with the request's exporter. An icon that cannot be loaded, a
// size that cannot be drawn or a failing writer leave the output empty.
void ExportIconImages(CommandContext& context, const CommandRequest& request, const CommandSettings& settings);

// The picture drawn for an item at `size`: its icon over the background.
// With `icnsItem`, an .icns item shows the icon stored in it instead. Null when
// there is no bitmap or no icon; *iconMissing tells which.
QImage DrawItemIconOverBackground(const FileRef& item, const IconProvider::Icon& icon, int size,
                                  const BackgroundColor& background, bool icnsItem, bool* iconMissing);

// The writer quality for a codec quality (0..1024): lossy formats get 0..99,
// lossless (1024) 100; -1 leaves the writer's own default.
int WriterQualityFor(const QByteArray& writerFormat, int codecQuality);

} // namespace pictomat
