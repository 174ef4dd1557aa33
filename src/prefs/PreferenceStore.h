#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <optional>

namespace pictomat::prefs {

// One per-user preference domain kept as an XML property list at
// $XDG_CONFIG_HOME/<domain>.plist; a binary property list found there is read
// as well and written back as XML. Values are bool, qint64, double or QString
// (QVariant types Bool, LongLong, Double, QString); other kinds found in the
// file (dates, data, arrays, dictionaries, uids) are kept verbatim and
// reported as absent by copyValue of a typed caller, but never lost on
// rewrite.
//
// The application makes one for its domain and hands it down to whatever
// reads or writes settings; a test or a second caller makes its own.
class PreferenceStore {
public:
    // The application's domain at its standard place under XDG_CONFIG_HOME,
    // as that stands at the call.
    static QString standardPath();

    explicit PreferenceStore(QString filePath = standardPath());

    QString filePath() const { return m_filePath; }

    // Re-read the file when it changed on disk since the last read, then write
    // pending changes atomically, merged key by key with what is on disk.
    // Returns false (with lastError()) when pending changes could not be written.
    bool synchronize();

    // A copy of the value; invalid QVariant when absent. Values of kinds other
    // than bool, integer, real and string come back as a QVariant holding
    // OpaqueValue.
    QVariant copyValue(const QString& key) const;
    // An invalid QVariant removes the key. Integers of any width are kept as
    // qint64, floats as double; other kinds are ignored.
    // False (with lastError()) for a kind or text that cannot be stored.
    bool setValue(const QString& key, const QVariant& value);
    void removeValue(const QString& key);
    QStringList keys() const;
    bool hasPendingChanges() const { return !m_pending.isEmpty(); }

    // Why the latest write failed; empty after a successful one.
    QString lastError() const { return m_lastError; }
    // Why the file could not be used at the latest read (unreadable, not a
    // property list); empty when it was read or does not exist.
    QString readError() const { return m_readError; }
    // Where the latest write kept the file it replaced: a damaged file, or a
    // binary one that XML cannot hold exactly.
    QString keptCopy() const { return m_keptCopy; }

    struct OpaqueValue {
        QByteArray xml; // the element as it stood in the file (as XML)
        QString kind;   // its element: "date", "data", "array", "dict", "uid", "integer"
    };

    // What a look at the file on disk says about its identity and age.
    struct FileStamp {
        bool exists = false;
        quint64 device = 0;
        quint64 inode = 0;
        qint64 size = -1;
        qint64 mtimeNs = 0;
        qint64 ctimeNs = 0;
        bool operator==(const FileStamp&) const = default;
    };

private:
    enum class ReadState { Ok, Missing, Unreadable, Corrupt };
    struct Snapshot {
        ReadState state = ReadState::Missing;
        QMap<QString, QVariant> values;
        QByteArray bytes; // the file as read
        unsigned mode = 0600;
        FileStamp stamp;
        QString problem;
        QString lossy; // what XML cannot hold of a binary file
    };

    Snapshot readDisk() const;
    void adopt(const Snapshot& snapshot);
    bool writePending();
    void applyPending(QMap<QString, QVariant>& values) const;
    QString targetPath() const;

    QString m_filePath;
    QMap<QString, QVariant> m_values;                 // as read, with pending changes applied
    QMap<QString, std::optional<QVariant>> m_pending; // nullopt = removal
    FileStamp m_readStamp;
    bool m_everRead = false;
    QString m_lastError;
    QString m_readError;
    QString m_keptCopy;
};

} // namespace pictomat::prefs

Q_DECLARE_METATYPE(pictomat::prefs::PreferenceStore::OpaqueValue)
