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

// Media read in the sandboxed reading worker: the same results as
// IconFamilyFromMedia and RenderMediaIconSizes, but a file that makes a
// decoder spin, allocate without bound or crash takes down only the child
// that read it. The reason for a failure (the reader stopped, out of memory,
// crashed) goes to the log; the caller gives its command's own message.
std::optional<icns::IconFamily> ReadIconFamilyFromMedia(const QByteArray& path);
std::optional<QMap<int, QImage>> ReadMediaIconSizes(const QByteArray& path, const QList<int>& edges,
                                                    PictureStatus* status = nullptr);

namespace worker {

// For the tests: what the last request's child came to, beside its result.
enum class Ending { Answered, Stopped, OutOfMemory, Crashed, Unavailable };
Ending LastEnding();
// For the tests: asks the worker for a test request (answered only when
// kTestEnvironment is set), with this deadline.
Ending AskForTest(uint16_t kind, std::chrono::milliseconds deadline);
// For the tests: the deadline every request is held to from now on.
void SetReadingDeadline(std::chrono::milliseconds deadline);

} // namespace worker

} // namespace pictomat
