#pragma once

#include "files/Error.h"

#include <QByteArray>
#include <QString>

#include <sys/stat.h>

namespace pictomat {

// What outputs need when they displace what has their name: the user's
// Trash, and the mark that tells a file or folder Pictomat made.

enum class TrashResult { Moved, NotSupported, Failed };
// Moves the file or folder at `path` (a link itself, never what it names) to
// the freedesktop Trash through GIO, so that file managers can restore it.
TrashResult MoveToTrash(const QByteArray& path, Error* error);
// GIO's own answer to whether it could go to a Trash; unknown counts as yes,
// and the move itself decides.
bool CanMoveToTrash(const QByteArray& path);

// Marks the open file or folder as made by Pictomat, as it is now: the
// extended attribute "user.pictomat.output" records its inode, size and
// modification time, so that one changed since no longer counts as ours.
// Where the file system keeps no user attributes nothing is marked, and
// nothing there counts as ours.
void MarkAsPictomatOutput(int fd);
// True when the item at `path`, whose lstat(2) is `st`, carries our mark for
// what it is now.
bool HasPictomatMark(const QByteArray& path, const struct stat& st);

} // namespace pictomat
