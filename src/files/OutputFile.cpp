#include "files/OutputFile.h"

#include "files/FileMetadata.h"
#include "files/FinderInfo.h"
#include "files/Trash.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pictomat {

namespace {

// How often a name is looked at again when it changed between two steps:
// enough for every writer of the same name to finish once in between.
constexpr int kAttempts = 16;

const QString kNoTrash =
    QStringLiteral("a file that Pictomat did not write has that name, and its file system has no Trash");

} // namespace

bool IsPictomatOutput(const QByteArray& path)
{
    // A mark that matches is ours. One that does not may have been read from
    // another writer's output, put there between the look at the file and the
    // read of its mark, and that output of ours would go to the Trash: so a
    // "no" counts only when the name still holds the file looked at.
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        struct stat before;
        struct stat after;
        if (::lstat(path.constData(), &before) != 0 || !S_ISREG(before.st_mode))
            return false;
        if (HasPictomatMark(path, before))
            return true;
        if (::lstat(path.constData(), &after) != 0)
            return false;
        if (after.st_dev == before.st_dev && after.st_ino == before.st_ino && after.st_size == before.st_size
            && after.st_mtim.tv_sec == before.st_mtim.tv_sec && after.st_mtim.tv_nsec == before.st_mtim.tv_nsec)
            return false;
    }
    return false;
}

OutputFile::Begin OutputFile::begin(const FileRef& target, bool mayReplace, Error* error)
{
    m_target = target;
    m_folder = target.parent().path();
    if (target.isEmpty() || m_folder.isEmpty()) {
        SetError(error, QStringLiteral("there is no folder to write into"));
        return Begin::Failed;
    }
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        struct stat st;
        if (::lstat(target.c_path(), &st) != 0) {
            if (errno != ENOENT) {
                SetError(error, Error::fromErrno(errno));
                return Begin::Failed;
            }
            // The empty output takes the name already marked as ours, so that
            // a writer of the same name meanwhile never takes it for the
            // user's; and never through a link or file put there meanwhile.
            TemporaryFile fresh;
            struct stat made;
            if (!fresh.create(m_folder, error) || !fresh.write(QByteArray(), NewFileMode(), error))
                return Begin::Failed;
            MarkAsPictomatOutput(fresh.fd());
            const bool known = ::fstat(fresh.fd(), &made) == 0;
            Error taken;
            if (!fresh.renameOnto(target.path(), false, &taken)) {
                if (taken.code == EEXIST)
                    continue;
                SetError(error, taken);
                return Begin::Failed;
            }
            m_fresh = known;
            m_freshDevice = made.st_dev;
            m_freshInode = made.st_ino;
            return Begin::Fresh;
        }
        if (!mayReplace)
            return Begin::Exists;
        if (!IsReplaceable(st.st_mode)) {
            SetError(error, NotReplaceableReason());
            return Begin::Failed;
        }
        if (!IsPictomatOutput(target.path()) && !CanMoveToTrash(target.path())) {
            SetError(error, kNoTrash);
            return Begin::NoTrash;
        }
        // Made now, so that a folder that takes no new file fails before the work.
        if (!m_temp.create(m_folder, error))
            return Begin::Failed;
        return Begin::Replacing;
    }
    SetError(error, QStringLiteral("the name keeps changing"));
    return Begin::Failed;
}

OutputFile::Result OutputFile::write(const QByteArray& bytes, Error* error)
{
    return write(QVector<QByteArrayView>{QByteArrayView(bytes)}, error);
}

OutputFile::Result OutputFile::write(const QVector<QByteArrayView>& pieces, Error* error)
{
    Error why;
    if (!m_temp.isOpen() && !m_temp.create(m_folder, &why)) {
        m_failure = why.message;
        SetError(error, why);
        return Result::Failed;
    }
    if (!m_temp.write(pieces, NewFileMode(), &why)) {
        m_failure = why.message;
        SetError(error, why);
        m_temp.discard();
        return Result::Failed;
    }
    MarkAsPictomatOutput(m_temp.fd());
    if (!m_temp.sync(&why)) {
        m_failure = why.message;
        SetError(error, why);
        m_temp.discard();
        return Result::Failed;
    }
    const Result result = commit(&why);
    if (result != Result::Written) {
        m_failure = why.message;
        SetError(error, why);
        m_temp.discard();
        return result;
    }
    m_written = true;
    m_failure.clear();
    return result;
}

OutputFile::Result OutputFile::commit(Error* error)
{
    const QByteArray& path = m_target.path();
    bool displaced = false;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        struct stat st;
        if (::lstat(path.constData(), &st) != 0) {
            if (errno != ENOENT) {
                SetError(error, Error::fromErrno(errno));
                return Result::Failed;
            }
            Error taken;
            if (m_temp.renameOnto(path, false, &taken))
                break;
            if (taken.code == EEXIST)
                continue; // something took the name meanwhile: look again
            SetError(error, taken);
            return Result::Failed;
        }
        if (!IsReplaceable(st.st_mode)) {
            SetError(error, NotReplaceableReason());
            return Result::Failed;
        }
        const bool ourFreshFile = m_fresh && st.st_dev == m_freshDevice && st.st_ino == m_freshInode;
        displaced = displaced || !ourFreshFile;
        // An output of ours that nobody changed since (an earlier run's, or
        // one that another writer of the same name just finished) is
        // replaced in one step: nothing of the user's is in it, and it
        // deserves no place in the Trash.
        if (ourFreshFile || IsPictomatOutput(path)) {
            if (!m_temp.renameOnto(path, true, error))
                return Result::Failed;
            break;
        }
        Error trashError;
        const TrashResult trashed = MoveToTrash(path, &trashError);
        if (trashed == TrashResult::Moved)
            continue; // the name is free now
        if (trashed == TrashResult::NotSupported) {
            SetError(error, kNoTrash);
            return Result::NoTrash;
        }
        SetError(
            error,
            QStringLiteral("the file that has that name could not be moved to the Trash: %1").arg(trashError.message));
        return Result::NotTrashed;
    }
    if (m_temp.isOpen()) {
        SetError(error, QStringLiteral("the name keeps changing"));
        return Result::Failed;
    }
    // A custom icon is recorded by path, and unless it went to the Trash with
    // the file it belonged to it would pass to the new one.
    if (displaced && ClearCustomIconMetadata(m_target))
        TouchForFileManagers(m_target);
    return Result::Written;
}

bool OutputFile::holdsOutput() const
{
    if (m_written)
        return true;
    struct stat st;
    return m_fresh && ::lstat(m_target.c_path(), &st) == 0 && st.st_dev == m_freshDevice && st.st_ino == m_freshInode;
}

} // namespace pictomat
