#pragma once

#include "commands/Command.h"
#include "commands/CommandContext.h"
#include "commands/CommandSettings.h"
#include "files/FileRef.h"
#include "files/OutputDirectory.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QMap>
#include <QString>
#include <QVector>

#include <optional>

namespace pictomat {

// The icons other platforms want, made from an item's own contents: a
// Windows .ico, a freedesktop (hicolor) icon set, a macOS .iconset folder.

// The sizes each one holds.
inline const QList<int> kWindowsIconSizes = {16, 20, 24, 32, 40, 48, 64, 96, 128, 256};
inline const QList<int> kLinuxIconSetSizes = {16, 22, 24, 32, 48, 64, 96, 128, 256, 512};
// The pixel sizes of the ten .iconset names (icon_16x16.png ... icon_512x512@2x.png).
QList<int> IconsetPixelSizes();

// The item's own picture drawn at each edge, each an m x m square: a picture
// or a movie's poster frame, drawn from the source at that size; an icon
// file's family or an .iconset folder's pictures, each edge from the picture
// of that size, else the next larger one, scaled. Nothing when it is none of
// these; why, when given, says why in the user's language, and `logged` in
// English, for the log.
std::optional<QMap<int, QImage>> MediaPicturesAt(const FileRef& item, const QList<int>& edges, QString* why = nullptr,
                                                 QString* logged = nullptr);

// The .ico of the pictures; empty when they cannot make one.
QByteArray IcoFromPictures(const QMap<int, QImage>& pictures);
// The hicolor layout of the pictures, "16x16/apps/NAME.png" ..., and
// "scalable/apps/NAME.svg" holding svg when given.
QVector<OutputDirectory::File> LinuxIconSetFiles(const QMap<int, QImage>& pictures, const QByteArray& iconName,
                                                 const std::optional<QByteArray>& svg);
// The SVG document itself when the item is an SVG (or SVGZ) drawing.
std::optional<QByteArray> SvgSourceOf(const FileRef& item);
// The pictures under the ten .iconset names, as PNG files.
QVector<OutputDirectory::File> IconsetFiles(const QMap<int, QImage>& pictures);

// "Make Windows Icon for Media" and "Make Linux Icon Set for Media".
void MakeWindowsIconForMedia(CommandContext& context, const CommandRequest& request, const CommandSettings& settings);
void MakeLinuxIconSetForMedia(CommandContext& context, const CommandRequest& request, const CommandSettings& settings);

} // namespace pictomat
