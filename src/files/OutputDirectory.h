#pragma once

#include "files/FileRef.h"
#include "files/OutputFile.h"
#include "files/UniqueFd.h"

#include <QByteArray>
#include <QString>
#include <QVector>

namespace pictomat {

// One output folder of a command, made as OutputFile makes a file: the whole
// folder is written beside its name under a temporary name
// (".pictomat-XXXXXX.tmp", locked while it is being made) and takes the name
// only once every file in it is whole. A folder (or link) that held the name
// goes to the Trash first, as one item, so a file manager restores it whole;
// where there is no Trash, only a folder Pictomat made, holding nothing but
// what it made and changed since by no one, is replaced. Nothing else is
// ever replaced: a file of that name stays and the output fails.
class OutputDirectory {
public:
    OutputDirectory() = default;
    ~OutputDirectory();
    OutputDirectory(const OutputDirectory&) = delete;
    OutputDirectory& operator=(const OutputDirectory&) = delete;

    // As OutputFile::begin, except that a fresh start leaves the name free
    // until the folder is written.
    OutputFile::Begin begin(const FileRef& target, bool mayReplace, QString* error);

    // A file of the folder: its path inside it ("16x16/apps/NAME.png"),
    // folders made as needed, and its contents.
    struct File {
        QByteArray path;
        QByteArray bytes;
    };
    // Makes the folder hold exactly these files. On any failure the name
    // keeps what it held and nothing of the new folder is left.
    OutputFile::Result write(const QVector<File>& files, QString* error);

    const FileRef& target() const { return m_target; }
    bool isWritten() const { return m_written; }
    const QString& failure() const { return m_failure; }
    void setFailure(const QString& why) { m_failure = why; }

private:
    bool makeTemporary(QString* error);
    bool fill(const QVector<File>& files, QString* error);
    OutputFile::Result commit(QString* error);
    void discard();

    FileRef m_target;
    QByteArray m_folder;
    QByteArray m_temp; // the folder being made, while it is
    UniqueFd m_lock;   // its descriptor, holding the lock
    bool m_written = false;
    QString m_failure;
};

// True when the folder at `path` (not followed through a link) is one that
// Pictomat made, and it and everything in it are as Pictomat left them.
bool IsPictomatOutputFolder(const QByteArray& path);

} // namespace pictomat
