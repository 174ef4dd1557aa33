#pragma once

#include "files/FileRef.h"
#include "files/TemporaryFile.h"

#include <QByteArray>
#include <QString>

#include <sys/types.h>

namespace pictomat {

// One output file of a command, written so that nothing of the user's is
// lost: the new contents are made whole in a TemporaryFile beside the name,
// and only then take the name: until then the name keeps what it held, and a
// name that was free stays free, so an output that fails leaves nothing
// under it. Pictomat's own outputs carry the extended
// attribute "user.pictomat.output" recording their inode, size and
// modification time, so a file edited since no longer counts as ours. Such an
// output of ours is replaced in one step, without a Trash entry (so re-runs
// and concurrent writers of the same name never fill the Trash or fail); any
// other file that held the name goes to the user's Trash (GIO, so file
// managers can restore it), and where its file system has no Trash it stays.
class OutputFile {
public:
    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    enum class Begin {
        Fresh,     // the name is free; it stays so until the output is written
        Replacing, // the name is taken; what holds it stays until the output is written
        Exists,    // the name is taken and replacing was not asked for
        NoTrash,   // the name is taken by a file that is not ours, with no Trash to move it to
        Failed,    // no file can be made there; error says why
    };
    Begin begin(const FileRef& target, bool mayReplace, QString* error);

    enum class Result {
        Written,
        Failed,     // the contents could not be written; error says why
        Exists,     // a name that was free is taken now, and replacing was not asked for
        NoTrash,    // as Begin::NoTrash, found only now
        NotTrashed, // the file in the way could not be moved to the Trash
    };
    // Makes the output hold `bytes`. On any failure the name keeps what it
    // held, the file that was there or nothing.
    Result write(const QByteArray& bytes, QString* error);
    // The same for bytes in pieces.
    Result write(const QVector<QByteArrayView>& pieces, QString* error);

    const FileRef& target() const { return m_target; }
    bool isWritten() const { return m_written; }

    // Why this output was not written, for whoever reports it.
    const QString& failure() const { return m_failure; }
    void setFailure(const QString& why) { m_failure = why; }

private:
    Result commit(QString* error);

    FileRef m_target;
    QByteArray m_folder;
    TemporaryFile m_temp;
    bool m_mayReplace = false;
    bool m_written = false;
    QString m_failure;
};

// True when the file at `path` (not followed through a link) is one that
// Pictomat wrote and nobody changed since.
bool IsPictomatOutput(const QByteArray& path);

} // namespace pictomat
