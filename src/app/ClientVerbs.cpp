#include "app/ClientVerbs.h"

#include "app/Instance.h"
#include "app/Selection.h"
#include "commands/Command.h"
#include "commands/FailureCause.h"
#include "files/FileRef.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QVariantMap>

#include <cstdio>
#include <limits>

namespace pictomat {

int RunSelectVerb(int argc, char** argv, const QList<QByteArray>& files)
{
    QCoreApplication app(argc, argv);
    QString error;
    if (!Selection::RecordHandedOverSelection(files, &error)) {
        std::fprintf(stderr, "pictomat: %s\n", error.toUtf8().constData());
        return 1;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected() && InstanceRunning(bus)) {
        QDBusMessage call = InstanceCall("SetSelection");
        call << BusUris(files);
        bus.call(call, QDBus::Block, kCallTimeoutMs);
    }
    // The hand-over keeps what it was given, as a file manager's would; a
    // shell still hears of each name that names nothing.
    int status = 0;
    for (const QByteArray& file : files) {
        const FileRef ref = file.startsWith("file:") ? FileRef::fromUri(file) : FileRef::fromLocalPath(file);
        const QString missing = cause::ofName(ref.path());
        if (missing.isEmpty())
            continue;
        std::fprintf(stderr, "pictomat: %s: %s\n", file.constData(), missing.toLocal8Bit().constData());
        status = 1;
    }
    return status;
}

int RunMenuVerb(int argc, char** argv, const QList<QByteArray>& files, const QStringList& instanceArguments)
{
    QCoreApplication app(argc, argv);
    if (!files.isEmpty()) {
        QString error;
        if (!Selection::RecordHandedOverSelection(files, &error)) {
            std::fprintf(stderr, "pictomat: %s\n", error.toUtf8().constData());
            return 1;
        }
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!ReachInstance(bus, instanceArguments,
                       QT_TRANSLATE_NOOP("CommandLine", "no session bus, so the Pictomat menu cannot be reached")))
        return 1;
    // The opening rebuilds the menu from the files recorded above.
    const QDBusMessage reply = bus.call(InstanceCall("ShowMenu"), QDBus::Block, kCallTimeoutMs);
    if (reply.type() == QDBusMessage::ErrorMessage) {
        std::fprintf(stderr, "pictomat: %s\n", reply.errorMessage().toUtf8().constData());
        return 1;
    }
    return 0;
}

int RunInTrayVerb(int argc, char** argv, const Command& command, const QString& operand, const QList<QByteArray>& files,
                  const QStringList& instanceArguments)
{
    QCoreApplication app(argc, argv);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!ReachInstance(bus, instanceArguments,
                       QT_TRANSLATE_NOOP("CommandLine", "no session bus, so the running Pictomat cannot be reached")))
        return 1;
    QVariantMap options{{QStringLiteral("interactive"), true}};
    if (command.operand == Operand::Exporter)
        options.insert(QStringLiteral("extension"), operand);
    else if (command.operand == Operand::IconSize)
        options.insert(QStringLiteral("size"), operand.toInt());
    if (const qsizetype alpha = instanceArguments.indexOf(QStringLiteral("-alpha")); alpha >= 0)
        options.insert(QStringLiteral("alpha"), instanceArguments.value(alpha + 1).toDouble());
    QDBusMessage call = InstanceCall("Run");
    call << QString::fromLatin1(command.verb) << BusUris(files) << options;
    // The answer comes when the command has ended, however long it works.
    const QDBusMessage reply = bus.call(call, QDBus::Block, std::numeric_limits<int>::max());
    if (reply.type() == QDBusMessage::ErrorMessage) {
        std::fprintf(stderr, "pictomat: %s\n", reply.errorMessage().toUtf8().constData());
        return reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.InvalidArgs") ? 2 : 1;
    }
    const QList<QVariant> answer = reply.arguments();
    // The alerts were shown by the tray; they are said here too, for a shell.
    for (const QString& message : answer.value(1).toStringList())
        std::fprintf(stderr, "pictomat: %s\n", message.toUtf8().constData());
    return answer.value(0).toInt();
}

} // namespace pictomat
