#include "files/OutputFile.h"

#include "files/Trash.h"

#include <QCoreApplication>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pictomat {

namespace {

// How often a name is looked at again when it changed between two steps:
// enough for every writer of the same name to finish once in between.
constexpr int kAttempts = 16;

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

bool OutputFile::makeTemporary(const QByteArray& folder, Error* error)
{
    return m_temp.create(folder, error);
}

bool OutputFile::fillTemporary(const QVector<Part>& parts, Error* error)
{
    if (parts.size() != 1 || !parts.first().path.isEmpty()) {
        SetError(error, QCoreApplication::translate("Files", "an output file holds one file, itself"));
        return false;
    }
    if (!m_temp.write(parts.first().pieces, NewFileMode(), error))
        return false;
    MarkAsPictomatOutput(m_temp.fd());
    return m_temp.sync(error);
}

bool OutputFile::takeFreeName(const QByteArray& path, Error* error)
{
    return m_temp.renameOnto(path, false, error);
}

Output::Swap OutputFile::replaceOurs(const QByteArray& path, Error* error)
{
    return m_temp.renameOnto(path, true, error) ? Swap::Done : Swap::Failed;
}

bool OutputFile::replaceable(mode_t mode) const
{
    return IsReplaceable(mode);
}

bool OutputFile::isOurs(const QByteArray& path) const
{
    return IsPictomatOutput(path);
}

const Output::Reasons& OutputFile::reasons() const
{
    static const Reasons kReasons{
        NotReplaceableReason(),
        QCoreApplication::translate(
            "Files", "a file that Pictomat did not write has that name, and its file system has no Trash"),
        QCoreApplication::translate("Files", "the file that has that name could not be moved to the Trash: %1"),
    };
    return kReasons;
}

} // namespace pictomat
