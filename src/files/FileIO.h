#pragma once

#include "files/Error.h"
#include "files/FileRef.h"
#include "files/UniqueFd.h"

#include <QByteArray>
#include <QFile>

#include <memory>
#include <optional>

namespace pictomat {

// QFile takes QString names, which cannot carry every byte a Linux name may
// hold; these open by the file system's own bytes and hand Qt the descriptor.

// What a file read for its contents may be.
enum class ReadableKind {
    RegularFile,
    RegularFileOrFolder,
};
// Opens a file for its contents without ever blocking: a FIFO, a device or a
// socket named like the file (or put in its place while a command runs) is
// refused, checked on the opened descriptor itself so that nothing can be
// swapped in between. Null when the file is missing or not of the kind asked.
std::unique_ptr<QFile> OpenFileForReading(const FileRef& file, ReadableKind kind = ReadableKind::RegularFile);
// The same as a descriptor, for readers that take one (the movie reader).
UniqueFd OpenDescriptorForReading(const QByteArray& path, ReadableKind kind = ReadableKind::RegularFile);

// A regular file's bytes when it holds at most maxBytes. Anything else (a
// FIFO, a device, a folder, a larger file) gives nothing, and never blocks.
// A file as it stands now, to tell when it changes: its modification time
// in nanoseconds, size and inode ("mtime:size:inode"); all zero when there
// is no such file.
QByteArray FileVersion(const QByteArray& path);

// Writes all the bytes to the descriptor, through short writes and
// interruptions; false with errno set when it cannot (ENOSPC when the
// descriptor takes no more).
bool WriteAll(int fd, QByteArrayView bytes);

std::optional<QByteArray> ReadRegularFile(const QByteArray& path, qint64 maxBytes, Error* error = nullptr);

// Writes bytes atomically beside the target (a TemporaryFile, fsync, rename,
// fsync of the folder), so the target is always either its old contents or
// the new ones; on failure the target is untouched and error says why. A link
// at the target's name is replaced, never written through. The file gets
// `mode`, or the usual 0666 less the umask.
bool WriteFileAtomically(const FileRef& target, const QByteArray& bytes, Error* error = nullptr,
                         std::optional<unsigned> mode = std::nullopt);
// The same for a name that must not exist yet: fails, touching nothing, when
// anything has the name (even a dangling symbolic link); existed then says so.
bool WriteNewFileAtomically(const FileRef& target, const QByteArray& bytes, Error* error = nullptr,
                            bool* existed = nullptr);

} // namespace pictomat
