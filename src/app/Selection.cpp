#include "app/Selection.h"

#include "app/Log.h"
#include "files/Paths.h"
#include "platform/Desktop.h"
#include "platform/ScriptRunner.h"
#include "prefs/PreferenceStore.h"
#include "prefs/Preferences.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <sys/stat.h>
#include <time.h>

namespace pictomat {

namespace {

QByteArray parseLineEnd(QByteArray line)
{
    if (line.endsWith('\r'))
        line.chop(1);
    return line;
}

// The bytes as one word of the shell, whatever they hold.
QByteArray shellQuoted(QByteArray bytes)
{
    return '\'' + bytes.replace('\'', "'\\''") + '\'';
}

FileRef referenceFromLine(const QByteArray& line)
{
    FileRef ref;
    if (line.startsWith("file:"))
        ref = FileRef::fromUri(line);
    else if (line.startsWith('/') && !line.contains('\0'))
        ref = FileRef(line);
    struct stat st;
    // lstat: a link that points nowhere is still a selected item.
    if (ref.isEmpty() || ::lstat(ref.c_path(), &st) != 0)
        return {};
    return ref;
}

} // namespace

namespace Selection {

QString selectionScriptPath()
{
    const QString overridden = qEnvironmentVariable("PICTOMAT_SELECTION_SCRIPT");
    if (!overridden.isEmpty())
        return overridden;
    return DataDirectory() + QStringLiteral("/selection");
}

qint64 handOverLifetimeSeconds(prefs::PreferenceStore& store)
{
    store.synchronize();
    QVariant value = store.copyValue(QString::fromLatin1(kExpiryKey));
    if (value.typeId() != QMetaType::LongLong && value.typeId() != QMetaType::Double) {
        const prefs::KeyInfo* key = prefs::FindKey(QString::fromLatin1(kExpiryKey));
        value = key ? key->defaultValue : QVariant(qint64(600));
    }
    const double seconds = value.toDouble();
    // A negative or absurd value is no lifetime: the hand-over stays.
    return seconds >= 1 && seconds < 1e12 ? qint64(seconds) : 0;
}

SelectedItems AcquireFinderSelection(prefs::PreferenceStore& store, qint64 clipboardChangedNs,
                                     const QString& clipboardFiles)
{
    SelectedItems selection;
    // What the script would otherwise start programs to find out.
    const QByteArray handedOver = QFile::encodeName(handedOverSelectionFile());
    struct stat st = {};
    const bool handedOverExists = ::stat(handedOver.constData(), &st) == 0;
    if (!handedOverExists)
        st = {};
    const qint64 handedOverNs = handedOverExists ? qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec : 0;
    struct timespec now = {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    QList<QByteArray> environment = {
        "PICTOMAT_HANDED_OVER=" + handedOver,
        "PICTOMAT_HANDED_OVER_NS=" + (handedOverNs > 0 ? QByteArray::number(handedOverNs) : QByteArray()),
        "PICTOMAT_NOW_NS=" + QByteArray::number(qint64(now.tv_sec) * 1000000000 + now.tv_nsec),
        "PICTOMAT_SELECTION_EXPIRY=" + QByteArray::number(handOverLifetimeSeconds(store)),
        "PICTOMAT_CLIPBOARD_CHANGED_NS="
            + (clipboardChangedNs > 0 ? QByteArray::number(clipboardChangedNs) : QByteArray()),
        "PICTOMAT_CLIPBOARD_FILES=" + QFile::encodeName(clipboardFiles),
    };
    // A long hand-over (a whole photo library) takes the script longer to
    // look through: its limit grows with it.
    const int limitMs = kScriptTimeLimitMs + int(qMin<qint64>(qint64(st.st_size) / 1024, kMaxHandedOverItems));
    const std::optional<QByteArray> output =
        RunScriptWithTimeLimit(QFile::encodeName(selectionScriptPath()), limitMs, environment);
    if (!output)
        return selection;
    QVector<FileRef> items;
    for (const QByteArray& raw : output->split('\n')) {
        const QByteArray line = parseLineEnd(raw);
        if (line.trimmed().isEmpty())
            continue;
        items.append(referenceFromLine(line));
    }
    if (items.isEmpty())
        return selection;
    selection.count = qint32(items.size());
    selection.items = std::move(items);
    return selection;
}

QString handedOverSelectionFile()
{
    return XdgRuntimeDir() + QStringLiteral("/pictomat/selection");
}

bool RecordHandedOverSelection(const QList<QByteArray>& localPathsOrUris, QString* error)
{
    const QString file = handedOverSelectionFile();
    const QString folder = XdgRuntimeDir() + QStringLiteral("/pictomat");
    if (!QDir().mkpath(folder)) {
        if (error)
            *error = QCoreApplication::translate("Selection", "Could not create %1.").arg(folder);
        return false;
    }
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QList<QByteArray> entries = localPathsOrUris;
    if (entries.size() > kMaxHandedOverItems) {
        qCWarning(lcApp).noquote() << QStringLiteral("A hand-over of %1 items was cut to its first %2.")
                                          .arg(entries.size())
                                          .arg(kMaxHandedOverItems);
        entries.resize(kMaxHandedOverItems);
    }
    // Handing over nothing leaves an empty file: its time says when the
    // selection was cleared, so that only files copied after it count.
    QByteArray text;
    for (const QByteArray& entry : entries) {
        const FileRef ref = entry.startsWith("file:") ? FileRef::fromUri(entry) : FileRef::fromLocalPath(entry);
        if (ref.isEmpty()) {
            // Still one entry: the reader counts it and resolves nothing.
            text += "e '' " + shellQuoted("?" + entry.toPercentEncoding("/:")) + '\n';
        } else if (ref.path().contains('\n') || ref.path().contains('\r')) {
            // A name a line of output cannot hold goes out as a URI.
            text += "e " + shellQuoted(ref.path()) + ' ' + shellQuoted(ref.uri()) + '\n';
        } else {
            text += "e " + shellQuoted(ref.path()) + '\n';
        }
    }
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(text) != text.size() || !out.commit()) {
        if (error)
            *error = QCoreApplication::translate("Selection", "Could not write %1: %2").arg(file, out.errorString());
        return false;
    }
    return true;
}

} // namespace Selection

} // namespace pictomat
