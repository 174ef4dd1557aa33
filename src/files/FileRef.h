#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <QVector>

#include <optional>

namespace pictomat {

// A reference to a file or folder: its absolute path as the file system's own
// bytes. Names that are not valid UTF-8 must survive every step, so the path
// never goes through QString on its way to a file-system call. An empty
// reference names nothing, and every operation on it fails like an operation
// on a missing file.
class FileRef {
public:
    FileRef() = default;
    explicit FileRef(QByteArray absolutePath);

    // From a local path as typed by a user or handed over by a file manager:
    // made absolute against the working directory, with "." and ".." taken
    // out by the path's words alone (links are not resolved).
    static FileRef fromLocalPath(const QByteArray& path);
    // From a "file://" URI, keeping percent-encoded bytes exactly; "." and
    // ".." are taken out as for a local path.
    static FileRef fromUri(const QByteArray& uri);

    bool isEmpty() const { return m_path.isEmpty(); }
    const QByteArray& path() const { return m_path; }
    const char* c_path() const { return m_path.constData(); }

    // The last component, as stored (extension included); empty for "/".
    QByteArray name() const;
    // The folder that holds this item; empty for "/" and for the empty reference.
    FileRef parent() const;
    FileRef child(const QByteArray& name) const;

    bool exists() const;      // follows symbolic links
    bool isDirectory() const; // follows symbolic links
    bool isRegularFile() const;

    // A "file://" URL whose path carries the exact bytes (percent-encoded where needed).
    QUrl url() const;
    QByteArray uri() const;
    // Human-readable path, for messages only: invalid bytes become U+FFFD.
    QString displayPath() const;

    bool operator==(const FileRef& other) const = default;

private:
    QByteArray m_path;
};

// The selection taken at the last menu build: the count of entries the provider
// reported (resolvable or not) and the references, an empty reference for an
// entry that named nothing. No item array means no selection.
struct SelectedItems {
    qint32 count = 0;
    std::optional<QVector<FileRef>> items;
    // How each entry was named where it came from (an absolute path, or the
    // words given when they make none), for messages about an entry that
    // names nothing; empty where nobody named them.
    QVector<QByteArray> names;

    bool hasSelection() const { return items.has_value() && count > 0; }
};

} // namespace pictomat
