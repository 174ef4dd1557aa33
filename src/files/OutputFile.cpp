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

void setError(QString* error, const QString& text)
{
    if (error)
        *error = text;
}

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

OutputFile::Begin OutputFile::begin(const FileRef& target, bool mayReplace, QString* error)
{
    m_target = target;
    m_folder = target.parent().path();
    m_mayReplace = mayReplace;
    if (target.isEmpty() || m_folder.isEmpty()) {
        setError(error, QStringLiteral("there is no folder to write into"));
        return Begin::Failed;
    }
    struct stat st;
    const bool taken = ::lstat(target.c_path(), &st) == 0;
    if (!taken && errno != ENOENT) {
        setError(error, SystemErrorText(errno));
        return Begin::Failed;
    }
    if (taken && !mayReplace)
        return Begin::Exists;
    if (taken && !IsReplaceable(st.st_mode)) {
        setError(error, NotReplaceableReason());
        return Begin::Failed;
    }
    if (taken && !IsPictomatOutput(target.path()) && !CanMoveToTrash(target.path())) {
        setError(error, kNoTrash);
        return Begin::NoTrash;
    }
    // Made now, so that a folder that takes no new file fails before the
    // work; the name itself stays as it is until the output is whole.
    if (!m_temp.create(m_folder, error))
        return Begin::Failed;
    return taken ? Begin::Replacing : Begin::Fresh;
}

OutputFile::Result OutputFile::write(const QByteArray& bytes, QString* error)
{
    return write(QVector<QByteArrayView>{QByteArrayView(bytes)}, error);
}

OutputFile::Result OutputFile::write(const QVector<QByteArrayView>& pieces, QString* error)
{
    QString why;
    if (!m_temp.isOpen() && !m_temp.create(m_folder, &why)) {
        m_failure = why;
        setError(error, why);
        return Result::Failed;
    }
    if (!m_temp.write(pieces, NewFileMode(), &why)) {
        m_failure = why;
        setError(error, why);
        m_temp.discard();
        return Result::Failed;
    }
    MarkAsPictomatOutput(m_temp.fd());
    if (!m_temp.sync(&why)) {
        m_failure = why;
        setError(error, why);
        m_temp.discard();
        return Result::Failed;
    }
    const Result result = commit(&why);
    if (result != Result::Written) {
        m_failure = why;
        setError(error, why);
        m_temp.discard();
        return result;
    }
    m_written = true;
    m_failure.clear();
    return result;
}

OutputFile::Result OutputFile::commit(QString* error)
{
    const QByteArray& path = m_target.path();
    bool displaced = false;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        struct stat st;
        if (::lstat(path.constData(), &st) != 0) {
            if (errno != ENOENT) {
                setError(error, SystemErrorText(errno));
                return Result::Failed;
            }
            if (m_temp.renameOnto(path, false, error))
                break;
            if (errno == EEXIST)
                continue; // something took the name meanwhile: look again
            return Result::Failed;
        }
        // Taken since the start, where nothing was to be replaced.
        if (!m_mayReplace) {
            setError(error, QStringLiteral("another file took the name meanwhile"));
            return Result::Exists;
        }
        if (!IsReplaceable(st.st_mode)) {
            setError(error, NotReplaceableReason());
            return Result::Failed;
        }
        displaced = true;
        // An output of ours that nobody changed since (an earlier run's, or
        // one that another writer of the same name just finished) is
        // replaced in one step: nothing of the user's is in it, and it
        // deserves no place in the Trash.
        if (IsPictomatOutput(path)) {
            if (!m_temp.renameOnto(path, true, error))
                return Result::Failed;
            break;
        }
        QString trashError;
        const TrashResult trashed = MoveToTrash(path, &trashError);
        if (trashed == TrashResult::Moved)
            continue; // the name is free now
        if (trashed == TrashResult::NotSupported) {
            setError(error, kNoTrash);
            return Result::NoTrash;
        }
        setError(error,
                 QStringLiteral("the file that has that name could not be moved to the Trash: %1").arg(trashError));
        return Result::NotTrashed;
    }
    if (m_temp.isOpen()) {
        setError(error, QStringLiteral("the name keeps changing"));
        return Result::Failed;
    }
    // A custom icon is recorded by path, and unless it went to the Trash with
    // the file it belonged to it would pass to the new one.
    if (displaced && ClearCustomIconMetadata(m_target))
        TouchForFileManagers(m_target);
    return Result::Written;
}

} // namespace pictomat
