#pragma once

#include "icns/IconFamily.h"
#include "read/PictureFile.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QMap>

#include <chrono>
#include <optional>

namespace pictomat {

// How long one file may be read by the worker before its reader is stopped.
inline constexpr std::chrono::milliseconds kReadingDeadline{15000};

// Starts the worker, when it is not running, without waiting for it: a
// command that will read files calls it first, so that the worker starts
// while the command gets ready. Called while this process runs no other
// thread, it forks the worker from itself (see Worker::warm).
void StartReadingWorker();

// Media read in the sandboxed reading worker: the same results as
// IconFamilyFromMedia and RenderMediaIconSizes, but a file that makes a
// decoder spin, allocate without bound or crash takes down only the child
// that read it. The reason for a failure (the reader stopped, out of memory,
// crashed) goes to the log; the caller gives its command's own message.
std::optional<icns::IconFamily> ReadIconFamilyFromMedia(const QByteArray& path, PictureStatus* status = nullptr);
std::optional<QMap<int, QImage>> ReadMediaIconSizes(const QByteArray& path, const QList<int>& edges,
                                                    PictureStatus* status = nullptr);
// A family's sizes as IconFamilySizes makes them, its elements decoded in
// the worker (a family put together from a user's PNG files).
std::optional<QMap<int, QImage>> ReadIconFamilySizes(const icns::IconFamily& family, const QList<int>& edges,
                                                     PictureStatus* status = nullptr);

// A picture file, or picture bytes (the clipboard's), decoded in the worker
// at no more than maxEdge along its longer edge, as ReadPictureFile and
// DecodePictureBytes decode them; a reader that fails to answer counts as
// a damaged picture (TooCostly when it was stopped, TooLarge when it ran out
// of memory). A picture only shown (a file's icon in a menu) may be given
// less time than a command's own file.
PictureResult ReadPictureInWorker(const FileRef& file, int maxEdge,
                                  std::chrono::milliseconds deadline = kReadingDeadline);
// Bytes from elsewhere (the clipboard, a web site) may also be an icon file,
// which gives its best element, as ReadAnyPicture reads it.
PictureResult DecodePictureBytesInWorker(const QByteArray& bytes, int maxEdge);
// What a file shows as its own picture, as ReadAnyPicture gives it, read
// in the worker: a picture, an icon file's best element, a movie's poster.
PictureResult ReadAnyPictureInWorker(const FileRef& file, int maxEdge);
// As ReadImageFile, in the worker.
QImage ReadImageInWorker(const FileRef& file, int maxEdge, PictureStatus* status = nullptr);

} // namespace pictomat
