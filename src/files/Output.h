#pragma once

#include "files/Error.h"
#include "files/FileRef.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QVector>

#include <sys/types.h>

namespace pictomat {

// One output of a command, a file or a folder, made so that nothing of the
// user's is lost: the contents are made whole beside the name under a
// temporary name (".pictomat-XXXXXX.tmp", locked while it is being made) and
// only then take the name. Until then the name keeps what it held, and a name
// that was free stays free, so an output that fails leaves nothing under it.
// Pictomat's outputs carry the extended attribute "user.pictomat.output"
// recording their inode, size and modification time, so one edited since no
// longer counts as ours. An output of ours that held the name is replaced in
// one step, without a Trash entry (so re-runs and concurrent writers of the
// same name never fill the Trash or fail); anything else that held it goes
// to the user's Trash (GIO, so file managers can restore it), and where its
// file system has no Trash it stays and the output fails.
//
// An output is begun (the name looked at, the temporary made), filled,
// then committed (the name taken) or failed (the temporary gone, the reason
// kept). Dropped before its commit, it leaves the name as it was.
class Output {
public:
    virtual ~Output() = default;
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    enum class Begin {
        Fresh,     // the name is free; it stays so until the output is written
        Replacing, // the name is taken; what holds it stays until the output is written
        Exists,    // the name is taken and replacing was not asked for
        NoTrash,   // the name is taken by something not ours, with no Trash to move it to
        Failed,    // nothing can be made there; error says why
    };
    Begin begin(const FileRef& target, bool mayReplace, Error* error);

    // One file of what an output holds: its path inside the output
    // ("16x16/apps/NAME.png"), empty for a file output, which is that one
    // file; and its bytes, in pieces written one after another.
    struct Part {
        QByteArray path;
        QVector<QByteArrayView> pieces;
    };
    // Writes the contents into the temporary, whole and on the disk. False,
    // with the output failed, when they cannot be.
    bool fill(const QVector<Part>& parts, Error* error);

    enum class Result {
        Written,
        Failed,     // the contents could not be written or take the name; error says why
        Exists,     // a name that was free is taken now, and replacing was not asked for
        NoTrash,    // as Begin::NoTrash, found only now
        NotTrashed, // what held the name could not be moved to the Trash
    };
    // Gives the name the contents filled in. On any failure the name keeps
    // what it held and the output is failed.
    Result commit(Error* error);
    // fill() and then commit().
    Result write(const QVector<Part>& parts, Error* error);
    // Gives the output up: the temporary goes, and `why` is kept for
    // whoever reports it.
    void fail(const QString& why);

    const FileRef& target() const { return m_target; }
    bool isWritten() const { return m_written; }
    // Why this output was not written.
    const QString& failure() const { return m_failure; }

protected:
    Output() = default;

    // What a file and a folder output do each their own way.
    virtual bool makeTemporary(const QByteArray& folder, Error* error) = 0;
    virtual bool hasTemporary() const = 0;
    // Removes the temporary and all it holds, unless it took the name.
    virtual void discardTemporary() = 0;
    virtual bool fillTemporary(const QVector<Part>& parts, Error* error) = 0;
    // Renames the temporary onto a name that is free; false with errno
    // EEXIST when something took it meanwhile.
    virtual bool takeFreeName(const QByteArray& path, Error* error) = 0;
    // Puts the temporary in place of an earlier output of ours.
    enum class Swap {
        Done,      // the temporary has the name
        NameFreed, // the earlier output is gone and the name is free
        Failed,
    };
    virtual Swap replaceOurs(const QByteArray& path, Error* error) = 0;
    // Whether what has this mode may give the output its name.
    virtual bool replaceable(mode_t mode) const = 0;
    // Whether the name holds an output of ours that nobody changed since.
    virtual bool isOurs(const QByteArray& path) const = 0;
    // How the failures of the name are told.
    struct Reasons {
        QString notReplaceable;
        QString noTrash;
        QString notTrashed; // %1: why the Trash took nothing
    };
    virtual const Reasons& reasons() const = 0;

    const QByteArray& folder() const { return m_folder; }

private:
    Result takeName(Error* error);

    FileRef m_target;
    QByteArray m_folder;
    bool m_mayReplace = false;
    bool m_written = false;
    QString m_failure;
};

} // namespace pictomat
