#pragma once

#include "files/Error.h"
#include "files/UniqueFd.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QVector>
#include <QString>

#include <sys/types.h>

namespace pictomat {

// A file being made in the folder its finished contents are renamed into.
// Its name is short and always the same shape, ".pictomat-XXXXXX.tmp", so that
// a long final name never makes it too long and a leftover is recognisable.
// It is created exclusively (never through a link in its place) and holds an
// flock(2) for as long as it is open: that lock is how another Pictomat tells
// a file still being written from one that a killed process left behind.
// Unless renamed into place, it is removed at scope end.
class TemporaryFile {
public:
    TemporaryFile() = default;
    ~TemporaryFile() { discard(); }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    // Makes it in `folder`, first clearing what crashed writers left there.
    bool create(const QByteArray& folder, Error* error);
    bool isOpen() const { return m_fd.valid(); }
    int fd() const { return m_fd.get(); }
    const QByteArray& path() const { return m_path; }

    // Writes every byte and sets the mode.
    bool write(const QByteArray& bytes, mode_t mode, Error* error);
    // The same for bytes in pieces, written one after another.
    bool write(const QVector<QByteArrayView>& pieces, mode_t mode, Error* error);
    // Flushes the file's contents and attributes to the disk.
    bool sync(Error* error);
    // Gives the file the name `target`. With `replace`, a regular file or a
    // symbolic link that has the name goes (the link itself, never what it
    // points to), while a folder, FIFO, device or socket stays and the rename
    // fails (code EEXIST, message NotReplaceableReason()); without `replace`,
    // any taken name fails with code EEXIST and is left alone.
    bool renameOnto(const QByteArray& target, bool replace, Error* error);
    // Removes the file now.
    void discard();

private:
    UniqueFd m_fd;
    QByteArray m_path;
};

// Removes the temporary files in `folder` that no live process holds: the
// leftovers of a writer that was killed. Only our own name shape is touched,
// only regular files of this user, and only when their lock can be taken.
void RemoveAbandonedTemporaryFiles(const QByteArray& folder);

// Whether a new file may take the place of what has this mode: a regular
// file or a symbolic link. Folders and special files are never replaced.
bool IsReplaceable(mode_t mode);
// Why a name is not replaced: "a folder or special file has that name".
QString NotReplaceableReason();
// Whether a name has the shape of our temporary files (and folders).
bool IsTemporaryName(const char* name);
// rename(2) that leaves a taken name alone (errno EEXIST), even where the
// file system cannot say so itself.
int RenameNoReplace(const char* from, const char* to);
// Makes a rename in the folder durable; a failure loses nothing written.
void SyncFolder(const QByteArray& folder);

// The file-creation mode a new file gets: 0666 less the umask.
mode_t NewFileMode();

} // namespace pictomat
