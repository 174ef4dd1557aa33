#include "app/Instance.h"

#include "app/InstanceLock.h"
#include "files/FileRef.h"
#include "files/Paths.h"
#include "files/Translations.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusReply>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>

#include <cstdio>

namespace pictomat {

namespace {

constexpr int kInstanceStartLimitMs = 5000;

QString busUri(const QByteArray& argument)
{
    if (argument.startsWith("file:"))
        return QString::fromLatin1(FileRef::fromUri(argument).uri());
    if (argument.contains("://")) {
        QByteArray ascii;
        for (const char c : argument) {
            const auto byte = static_cast<unsigned char>(c);
            if (byte < 0x21 || byte >= 0x7f)
                ascii += '%' + QByteArray::number(byte, 16).rightJustified(2, '0').toUpper();
            else
                ascii += c;
        }
        return QString::fromLatin1(ascii);
    }
    return QString::fromLatin1(FileRef::fromLocalPath(argument).uri());
}

// Starts the tray program: through D-Bus activation once installed, else
// this same executable, detached, its output kept in the runtime folder.
bool startInstance(const QDBusConnection& bus, const QStringList& instanceArguments)
{
    const QDBusReply<QStringList> activatable = bus.interface()->activatableServiceNames();
    if (activatable.isValid() && activatable.value().contains(QString::fromLatin1(kBusName))) {
        if (bus.interface()->startService(QString::fromLatin1(kBusName)).isValid())
            return true;
    }
    const QString folder = XdgRuntimeDir() + QStringLiteral("/pictomat");
    QDir().mkpath(folder);
    const QString log = folder + QStringLiteral("/instance.log");
    QFile(log).open(QIODevice::WriteOnly | QIODevice::Truncate);

    QProcess process;
    process.setProgram(QCoreApplication::applicationFilePath());
    process.setArguments(instanceArguments);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PICTOMAT_DETACHED"), QStringLiteral("1"));
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(QDir::homePath());
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(log, QIODevice::Append);
    process.setStandardErrorFile(log, QIODevice::Append);
    return process.startDetached();
}

bool waitForInstance(const QDBusConnection& bus)
{
    QDeadlineTimer deadline(kInstanceStartLimitMs);
    while (!InstanceRunning(bus)) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(10);
    }
    return true;
}

} // namespace

bool InstanceRunning(const QDBusConnection& bus)
{
    const QDBusReply<bool> reply = bus.interface()->isServiceRegistered(QString::fromLatin1(kBusName));
    return reply.isValid() && reply.value();
}

QDBusMessage InstanceCall(const char* method)
{
    QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(kBusName), QString::fromLatin1(kObjectPath),
                                                       QString::fromLatin1(kBusInterface), QString::fromLatin1(method));
    call.setAutoStartService(false);
    return call;
}

QStringList BusUris(const QList<QByteArray>& files)
{
    QStringList uris;
    for (const QByteArray& f : files)
        uris.append(busUri(f));
    return uris;
}

bool ReachInstance(QDBusConnection& bus, const QStringList& instanceArguments, const char* noBus)
{
    if (!bus.isConnected()) {
        std::fprintf(stderr, "pictomat: %s\n", qUtf8Printable(Translated("CommandLine", noBus)));
        return false;
    }
    if (InstanceRunning(bus))
        return true;
    // Of the entries fired together, one starts the tray program and the
    // others wait for it, then find it running.
    InstanceLock starting(InstanceLock::Role::Starter);
    starting.take(kInstanceStartLimitMs);
    if (!InstanceRunning(bus) && !(startInstance(bus, instanceArguments) && waitForInstance(bus))) {
        std::fprintf(stderr, "pictomat: %s\n",
                     qUtf8Printable(
                         Translated("CommandLine", QT_TRANSLATE_NOOP("CommandLine", "Pictomat could not be started"))));
        return false;
    }
    return true;
}

} // namespace pictomat
