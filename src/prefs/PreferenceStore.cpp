#include "prefs/PreferenceStore.h"

#include "files/FileIO.h"
#include "files/UniqueFd.h"

#include "files/Paths.h"
#include "prefs/FileLock.h"
#include "prefs/Log.h"
#include "prefs/PlistCodec.h"
#include "prefs/Preferences.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <limits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pictomat::prefs {

namespace {

// Far beyond any real settings file; more is not read into memory.
constexpr qint64 kMaxFileSize = 16 * 1024 * 1024;

PreferenceStore::FileStamp stampOf(const struct stat& st)
{
    PreferenceStore::FileStamp s;
    s.exists = true;
    s.device = quint64(st.st_dev);
    s.inode = quint64(st.st_ino);
    s.size = qint64(st.st_size);
    s.mtimeNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    s.ctimeNs = qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    return s;
}

PreferenceStore::FileStamp statPath(const QString& path)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    return stampOf(st);
}

// Keeps a preference file under a name of its own before it is replaced:
// "<file><suffix>", or "<file><suffix>.N" when an older, different copy
// already holds that name. Called under the lock.
std::optional<QString> keepCopy(const QString& filePath, const char* suffix, const QByteArray& bytes, Error* error)
{
    for (int n = 0; n < 100; ++n) {
        const QString name = filePath + QLatin1String(suffix) + (n ? QStringLiteral(".%1").arg(n) : QString());
        QFile existing(name);
        if (existing.exists()) {
            if (existing.open(QIODevice::ReadOnly) && existing.readAll() == bytes)
                return name;
            continue;
        }
        if (!WriteFileAtomically(FileRef(QFile::encodeName(name)), bytes, error, 0600u))
            return std::nullopt;
        return name;
    }
    SetError(error, QCoreApplication::translate("Preferences", "too many copies of %1 are kept already").arg(filePath));
    return std::nullopt;
}

} // namespace

QString PreferenceStore::standardPath()
{
    return XdgConfigHome() + QLatin1Char('/') + QLatin1String(kDomain) + QStringLiteral(".plist");
}

PreferenceStore::PreferenceStore(QString filePath) : m_filePath(std::move(filePath)) { }

QString PreferenceStore::targetPath() const
{
    // A preference file that is a link (dotfile managers keep them so) is
    // replaced where it really lives; the link stays a link.
    QString path = m_filePath;
    for (int hops = 0; hops < 40; ++hops) {
        const QFileInfo info(path);
        if (!info.isSymLink())
            break;
        path = info.symLinkTarget();
    }
    return path;
}

PreferenceStore::Snapshot PreferenceStore::readDisk() const
{
    Snapshot s;
    // Non-blocking, so that a pipe put in the file's place cannot hang every reader.
    UniqueFd file(::open(QFile::encodeName(m_filePath).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!file.valid()) {
        const int code = errno;
        if (code != ENOENT) {
            s.state = ReadState::Unreadable;
            s.problem =
                QStringLiteral("cannot read the preferences file %1: %2").arg(m_filePath, SystemErrorText(code));
        }
        s.stamp = statPath(m_filePath);
        return s;
    }
    struct stat st;
    if (::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxFileSize) {
        s.state = ReadState::Unreadable;
        s.problem = QStringLiteral("cannot read the preferences file %1: it is not a regular file of at most %2 bytes")
                        .arg(m_filePath)
                        .arg(kMaxFileSize);
        s.stamp = statPath(m_filePath);
        return s;
    }
    s.stamp = stampOf(st);
    s.mode = unsigned(st.st_mode) & 07777;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(file.get(), buffer, sizeof buffer);
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            s.state = ReadState::Unreadable;
            s.problem =
                QStringLiteral("cannot read the preferences file %1: %2").arg(m_filePath, SystemErrorText(errno));
            return s;
        }
        s.bytes.append(buffer, n);
        if (s.bytes.size() > kMaxFileSize) {
            s.state = ReadState::Unreadable;
            s.problem = QStringLiteral("cannot read the preferences file %1: it grew past %2 bytes")
                            .arg(m_filePath)
                            .arg(kMaxFileSize);
            return s;
        }
    }
    // An empty file is an empty domain, not a damaged one.
    if (s.bytes.trimmed().isEmpty()) {
        s.state = ReadState::Ok;
        return s;
    }
    plist::ParseResult parsed = plist::Parse(s.bytes);
    if (!parsed.ok) {
        s.state = ReadState::Corrupt;
        s.problem =
            QStringLiteral("the preferences file %1 is not a valid property list (%2)").arg(m_filePath, parsed.error);
        return s;
    }
    s.state = ReadState::Ok;
    s.values = std::move(parsed.values);
    s.lossy = parsed.lossy;
    return s;
}

void PreferenceStore::applyPending(QMap<QString, QVariant>& values) const
{
    for (auto it = m_pending.cbegin(); it != m_pending.cend(); ++it) {
        if (it.value())
            values.insert(it.key(), *it.value());
        else
            values.remove(it.key());
    }
}

void PreferenceStore::adopt(const Snapshot& snapshot)
{
    m_values = snapshot.values;
    applyPending(m_values);
    m_readStamp = snapshot.stamp;
    m_everRead = true;
    // One log line per damaged state of the file, not one per getter.
    if (!snapshot.problem.isEmpty() && snapshot.problem != m_readError) {
        const QString outcome = snapshot.state == ReadState::Corrupt
                                    ? QStringLiteral("; using the defaults and keeping the file until it is replaced")
                                    : QStringLiteral("; using the defaults");
        qCWarning(lcPrefs).noquote() << snapshot.problem + outcome;
    }
    m_readError = snapshot.problem;
}

bool PreferenceStore::synchronize()
{
    if (!m_pending.isEmpty())
        return writePending();
    if (!m_everRead || !(statPath(m_filePath) == m_readStamp))
        adopt(readDisk());
    return true;
}

bool PreferenceStore::writePending()
{
    m_keptCopy.clear();
    const QString target = targetPath();
    const QString folder = QFileInfo(target).absolutePath();
    // Our own folder is made on demand; the place a link names is not ours
    // to make, so a link into a missing folder fails.
    if (target != m_filePath ? !QFileInfo(folder).isDir() : !QDir().mkpath(folder)) {
        m_lastError =
            target != m_filePath
                ? QCoreApplication::translate("Preferences", "the preferences file links into %1, which does not exist")
                      .arg(folder)
                : QCoreApplication::translate("Preferences", "cannot create the preferences folder %1").arg(folder);
        return false;
    }
    const FileLock lock(m_filePath + QStringLiteral(".lock"));
    if (!lock.isLocked()) {
        m_lastError = QCoreApplication::translate("Preferences", "cannot save preferences: %1").arg(lock.error());
        return false;
    }
    // Merge with whatever another process wrote since our last read.
    const Snapshot disk = readDisk();
    adopt(disk);
    if (disk.state == ReadState::Unreadable) {
        // Writing now would replace contents we have never seen.
        m_lastError = QCoreApplication::translate("Preferences", "cannot save preferences: %1").arg(disk.problem);
        return false;
    }
    if (disk.state == ReadState::Corrupt) {
        Error error;
        const std::optional<QString> kept = keepCopy(target, ".corrupt", disk.bytes, &error);
        if (!kept) {
            m_lastError = QCoreApplication::translate("Preferences",
                                                      "cannot save preferences: the damaged file could not be kept: %1")
                              .arg(error.message);
            return false;
        }
        m_keptCopy = *kept;
        qCWarning(lcPrefs).noquote() << QStringLiteral("the damaged preferences file was kept as %1").arg(*kept);
    } else if (!disk.lossy.isEmpty()) {
        // The XML that replaces a binary file cannot hold all of it: the
        // original stays beside it.
        Error error;
        const std::optional<QString> kept = keepCopy(target, ".binary", disk.bytes, &error);
        if (!kept) {
            m_lastError = QCoreApplication::translate("Preferences",
                                                      "cannot save preferences: the binary file could not be kept: %1")
                              .arg(error.message);
            return false;
        }
        m_keptCopy = *kept;
        const QString lossy = QStringLiteral("the preferences file %1 holds %2; the binary original was kept as %3");
        qCWarning(lcPrefs).noquote() << lossy.arg(m_filePath, disk.lossy, *kept);
    }
    Error error;
    if (!WriteFileAtomically(FileRef(QFile::encodeName(target)), plist::Serialize(m_values), &error,
                             disk.stamp.exists ? disk.mode : 0600u)) {
        m_lastError = QCoreApplication::translate("Preferences", "cannot save preferences: %1").arg(error.message);
        return false;
    }
    m_pending.clear();
    m_readStamp = statPath(m_filePath);
    m_readError.clear();
    m_lastError.clear();
    return true;
}

QVariant PreferenceStore::copyValue(const QString& key) const
{
    return m_values.value(key);
}

bool PreferenceStore::setValue(const QString& key, const QVariant& value)
{
    if (key.isEmpty() || !plist::IsStorableText(key)) {
        m_lastError = QCoreApplication::translate("Preferences",
                                                  "a preference key must be non-empty text without control characters");
        return false;
    }
    if (!value.isValid()) {
        removeValue(key);
        return true;
    }
    QVariant stored;
    switch (value.typeId()) {
    case QMetaType::Bool: stored = value.toBool(); break;
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::LongLong: stored = value.toLongLong(); break;
    case QMetaType::ULong:
    case QMetaType::ULongLong: {
        bool ok = false;
        const qulonglong u = value.toULongLong(&ok);
        if (!ok || u > qulonglong(std::numeric_limits<qint64>::max())) {
            m_lastError = QCoreApplication::translate("Preferences", "the number is too large to store");
            return false;
        }
        stored = qint64(u);
        break;
    }
    case QMetaType::Float:
    case QMetaType::Double: stored = value.toDouble(); break;
    case QMetaType::QString:
        if (!plist::IsStorableText(value.toString())) {
            m_lastError = QCoreApplication::translate(
                "Preferences", "the text holds control characters that a property list cannot store");
            return false;
        }
        stored = value.toString();
        break;
    default:
        if (value.metaType() != QMetaType::fromType<OpaqueValue>()) {
            m_lastError =
                QCoreApplication::translate("Preferences", "values of kind %1 cannot be stored").arg(value.typeName());
            return false;
        }
        stored = value;
        break;
    }
    m_values.insert(key, stored);
    m_pending.insert(key, stored);
    return true;
}

void PreferenceStore::removeValue(const QString& key)
{
    m_values.remove(key);
    m_pending.insert(key, std::nullopt);
}

QStringList PreferenceStore::keys() const
{
    return m_values.keys();
}

} // namespace pictomat::prefs
