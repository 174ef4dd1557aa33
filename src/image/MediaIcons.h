#pragma once

#include "icns/IconFamily.h"
#include "image/FitRect.h"
#include "read/MoviePoster.h"
#include "read/PictureFile.h"
#include "read/Source.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QMap>
#include <QSize>

#include <optional>

namespace pictomat {

// The rows an icon made from a file's contents holds, smallest first: every
// element a current macOS reads (the @2x slots take the rows of twice their
// size).
inline constexpr int kIconFamilySizes[] = {16, 32, 48, 64, 128, 256, 512, 1024};
inline constexpr int kLargestIconRow = 1024;

// Paths are the file system's bytes throughout.

// Whether the file's bytes are an icon family (.icns), whatever its name.
bool HoldsIconFamily(const QByteArray& path);

// Every edge asked for, each an m x m premultiplied-ARGB square with the media's picture drawn from
// the source at that size (vector sources rendered at that size, rasters reduced by the one reducer),
// fitted and centred as the fitting rule puts it, never upscaled past the source. Picture files
// (by content), icon files (each size from their best element, as IconFamilySizes), movie
// posters; nothing (status says why) when the file is none of these.
std::optional<QMap<int, QImage>> RenderMediaIconSizes(const QByteArray& path, const QList<int>& edges,
                                                      PictureStatus* status = nullptr);
std::optional<QMap<int, QImage>> RenderMediaIconSizes(PictureSource file, const QList<int>& edges,
                                                      PictureStatus* status = nullptr);

// Each edge an m x m square of the family's best element for it, reduced
// into the square; nothing when an element does not decode (damaged).
std::optional<QMap<int, QImage>> IconFamilySizes(const icns::IconFamily& family, const QList<int>& edges,
                                                 PictureStatus* status = nullptr);

// What a file shows as its own picture, within maxEdge along its longer
// edge: a picture or drawing as ReadPicture gives it, an icon file's best
// element for that edge, or a movie's poster frame; NotAPicture when it is
// none of these.
PictureResult ReadAnyPicture(PictureSource file, int maxEdge);

// The size a picture of a given natural size takes in a largestEdge square,
// fitted as the fitting rule puts it (at least a pixel each way).
PictureTarget IconFitTarget(int largestEdge);

// The picture read once for icons up to `largestEdge`, shrunk on load to no
// less than twice what that size needs (never past its own size), in sRGB,
// with the source's natural size in display orientation. Nothing when no
// reader takes the file, it is past the picture limits, or nothing decodes;
// *status tells which.
std::optional<DecodedPicture> DecodeImageForIcon(const QByteArray& path, PictureStatus* status = nullptr,
                                                 int largestEdge = kLargestIconRow);

// Every edge (kIconFamilySizes unless given) drawn from one decoded picture:
// an m x m transparent square with the picture reduced into
// FitRectInSquare(natural, m). Premultiplied ARGB.
QMap<int, QImage> RenderIconRows(const QImage& picture, QSize natural, const QList<int>& edges = {});

// The family written for rows drawn by RenderIconRows: RGB + mask (mask from
// alpha) for 16, 32, 48 and 128, PNG for 32 (ic11), 64 (ic12), 128 (ic07),
// 256 (ic08, ic13), 512 (ic09, ic14) and 1024 (ic10).
icns::IconFamily IconFamilyFromRows(const QMap<int, QImage>& rows);

// The icon family of a still image; nothing when nothing decodes (*status
// says why).
std::optional<icns::IconFamily> IconFamilyFromImage(const QByteArray& path, PictureStatus* status = nullptr);

// The icon family made from an item's contents, chosen by its bytes: the
// family an icon file holds (damaged when it is cut short: a part of its
// icon would pass for the whole), a picture, else a movie's poster frame.
// Nothing when it is none of these (special files included, never read), or
// when it cannot be used: *status says why.
std::optional<icns::IconFamily> IconFamilyFromMedia(const QByteArray& path, PictureStatus* status = nullptr);
std::optional<icns::IconFamily> IconFamilyFromMedia(PictureSource file, PictureStatus* status = nullptr);

// The family of the frame shown at the movie's poster time (the first frame
// when the movie records none), fitted by the movie's display size. Nothing
// when the file is not a movie or no frame decodes.
std::optional<icns::IconFamily> IconFamilyFromMoviePoster(const QByteArray& path, PictureStatus* status = nullptr);

// The family of an .iconset folder: its PNG files under the standard names
// (icon_16x16.png ... icon_512x512@2x.png), each in its own slot, PNG bytes
// kept as they are; other files in the folder are left alone. Nothing, and
// the error says which file and why, when a named file cannot be read, is no
// PNG, does not match its name, or the folder holds no such file.
std::optional<icns::IconFamily> IconFamilyFromIconsetFolder(const QByteArray& path, QString* error = nullptr);

} // namespace pictomat
