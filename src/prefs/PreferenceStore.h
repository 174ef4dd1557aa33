#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QMap>
#include <QString>
#include <QVariant>

#include <optional>

namespace pictomat::prefs {

// One per-user preference domain kept as an XML property list at
// $XDG_CONFIG_HOME/<domain>.plist. Values are bool, qint64, double or QString
// (QVariant types Bool, LongLong, Double, QString); other kinds found in the
// file (dates, data, arrays, dictionaries) are kept verbatim and reported as
// absent by copyValue of a typed caller, but never lost on rewrite.
class PreferenceStore {
public:
    // The application's domain, at its standard place.
    static PreferenceStore& shared();
    // Forget the shared instance (tests change XDG_CONFIG_HOME between cases).
    static void resetShared();

    explicit PreferenceStore(QString filePath);

    QString filePath() const { return m_filePath; }

    // Re-read the file when it changed on disk since the last read, then write
    // pending changes atomically, merged key by key with what is on disk.
    // Returns false (with lastError()) when pending changes could not be written.
    bool synchronize();

    // A copy of the value; invalid QVariant when absent. Values of kinds other
    // than bool, integer, real and string come back as a QVariant holding
    // OpaqueValue.
    QVariant copyValue(const QString& key) const;
    void setValue(const QString& key, const QVariant& value);
    void removeValue(const QString& key);
    QStringList keys() const;

    QString lastError() const { return m_lastError; }

    struct OpaqueValue {
        QByteArray xml;  // the element as it stood in the file
        QString kind;    // "date", "data", "array", "dict"
    };

private:
    QString m_filePath;
    QMap<QString, QVariant> m_values;
    QMap<QString, std::optional<QVariant>> m_pending;  // nullopt = removal
    QDateTime m_readStamp;
    qint64 m_readSize = -1;
    quint64 m_readInode = 0;
    QString m_lastError;
    bool m_corruptKept = false;
};

} // namespace pictomat::prefs

Q_DECLARE_METATYPE(pictomat::prefs::PreferenceStore::OpaqueValue)
