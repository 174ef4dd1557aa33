#include "files/Output.h"

#include "files/FileMetadata.h"
#include "files/FinderInfo.h"
#include "files/TemporaryFile.h"
#include "files/Trash.h"

#include <QCoreApplication>

#include <cerrno>
#include <sys/stat.h>

namespace pictomat {

namespace {

// How often a name is looked at again when it changed between two steps:
// enough for every writer of the same name to finish once in between.
constexpr int kAttempts = 16;

} // namespace

Output::Begin Output::begin(const FileRef& target, bool mayReplace, Error* error)
{
    discardTemporary();
    m_target = target;
    m_folder = target.parent().path();
    m_mayReplace = mayReplace;
    m_written = false;
    m_failure.clear();
    if (target.isEmpty() || m_folder.isEmpty()) {
        SetError(error, QCoreApplication::translate("Files", "there is no folder to write into"));
        return Begin::Failed;
    }
    struct stat st;
    const bool taken = ::lstat(target.c_path(), &st) == 0;
    if (!taken && errno != ENOENT) {
        SetError(error, Error::fromErrno(errno));
        return Begin::Failed;
    }
    if (taken && !mayReplace)
        return Begin::Exists;
    if (taken && !replaceable(st.st_mode)) {
        SetError(error, reasons().notReplaceable);
        return Begin::Failed;
    }
    if (taken && !isOurs(target.path()) && !CanMoveToTrash(target.path())) {
        SetError(error, reasons().noTrash);
        return Begin::NoTrash;
    }
    // Made now, so that a folder that takes nothing new fails before the
    // work; the name itself stays as it is until the output is whole.
    if (!makeTemporary(m_folder, error))
        return Begin::Failed;
    return taken ? Begin::Replacing : Begin::Fresh;
}

bool Output::fill(const QVector<Part>& parts, Error* error)
{
    Error why;
    if ((!hasTemporary() && !makeTemporary(m_folder, &why)) || !fillTemporary(parts, &why)) {
        fail(why.message);
        SetError(error, why);
        return false;
    }
    return true;
}

Output::Result Output::commit(Error* error)
{
    Error why;
    const Result result = takeName(&why);
    if (result != Result::Written) {
        fail(why.message);
        SetError(error, why);
        return result;
    }
    m_written = true;
    m_failure.clear();
    return result;
}

Output::Result Output::write(const QVector<Part>& parts, Error* error)
{
    if (!fill(parts, error))
        return Result::Failed;
    return commit(error);
}

void Output::fail(const QString& why)
{
    m_failure = why;
    discardTemporary();
}

Output::Result Output::takeName(Error* error)
{
    if (!hasTemporary()) {
        SetError(error, QCoreApplication::translate("Files", "nothing was written"));
        return Result::Failed;
    }
    const QByteArray& path = m_target.path();
    bool displaced = false;
    bool placed = false;
    for (int attempt = 0; attempt < kAttempts && !placed; ++attempt) {
        struct stat st;
        if (::lstat(path.constData(), &st) != 0) {
            if (errno != ENOENT) {
                SetError(error, Error::fromErrno(errno));
                return Result::Failed;
            }
            placed = takeFreeName(path, error);
            if (placed || errno == EEXIST)
                continue; // placed, or something took the name meanwhile: look again
            return Result::Failed;
        }
        // Taken since the start, where nothing was to be replaced.
        if (!m_mayReplace) {
            SetError(error, QCoreApplication::translate("Files", "something else took the name meanwhile"));
            return Result::Exists;
        }
        if (!replaceable(st.st_mode)) {
            SetError(error, reasons().notReplaceable);
            return Result::Failed;
        }
        displaced = true;
        // An output of ours that nobody changed since (an earlier run's, or
        // one that another writer of the same name just finished) is
        // replaced in one step: nothing of the user's is in it, and it
        // deserves no place in the Trash.
        if (isOurs(path)) {
            const Swap swap = replaceOurs(path, error);
            if (swap == Swap::Failed)
                return Result::Failed;
            placed = swap == Swap::Done;
            continue;
        }
        Error trashError;
        const TrashResult trashed = MoveToTrash(path, &trashError);
        if (trashed == TrashResult::Moved)
            continue; // the name is free now
        if (trashed == TrashResult::NotSupported) {
            SetError(error, reasons().noTrash);
            return Result::NoTrash;
        }
        SetError(error, reasons().notTrashed.arg(trashError.message));
        return Result::NotTrashed;
    }
    if (!placed) {
        SetError(error, QCoreApplication::translate("Files", "the name keeps changing"));
        return Result::Failed;
    }
    // A custom icon is recorded by path, and unless it went to the Trash
    // with what it belonged to it would pass to the new output.
    if (displaced && ClearCustomIconMetadata(m_target))
        TouchForFileManagers(m_target);
    return Result::Written;
}

} // namespace pictomat
