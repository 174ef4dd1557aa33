#include "app/Selection.h"

#include "platform/Paths.h"
#include "platform/ScriptRunner.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <sys/stat.h>

namespace pictomat {

namespace {

QByteArray parseLineEnd(QByteArray line)
{
    if (line.endsWith('\r'))
        line.chop(1);
    return line;
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

SelectedItems AcquireFinderSelection()
{
    SelectedItems selection;
    const std::optional<QByteArray> output =
        RunScriptWithTimeLimit(QFile::encodeName(selectionScriptPath()), kScriptTimeLimitMs);
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
    // Handing over nothing clears what an earlier hand-over left.
    if (localPathsOrUris.isEmpty()) {
        if (QFile::exists(file) && !QFile::remove(file)) {
            if (error)
                *error = QStringLiteral("Could not remove %1.").arg(file);
            return false;
        }
        return true;
    }
    if (!QDir().mkpath(folder)) {
        if (error)
            *error = QStringLiteral("Could not create %1.").arg(folder);
        return false;
    }
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QByteArray text;
    for (const QByteArray& entry : localPathsOrUris) {
        const FileRef ref = entry.startsWith("file:") ? FileRef::fromUri(entry) : FileRef::fromLocalPath(entry);
        if (!ref.isEmpty()) {
            text += ref.uri();
        } else {
            // Still one entry, one line: the reader counts it and resolves nothing.
            text += "?" + entry.toPercentEncoding("/:");
        }
        text += '\n';
    }
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(text) != text.size() || !out.commit()) {
        if (error)
            *error = QStringLiteral("Could not write %1: %2").arg(file, out.errorString());
        return false;
    }
    return true;
}

} // namespace Selection

} // namespace pictomat
