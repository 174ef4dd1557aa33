#pragma once

#include <QByteArray>
#include <QDBusMessage>
#include <QList>
#include <QString>
#include <QStringList>

class QDBusConnection;

namespace pictomat {

// The running tray program as its clients reach it on the session bus: the
// file-manager actions, "pictomat select", "pictomat menu" and
// "pictomat run --tray". The interface is described in
// data/dbus/com.corvane.Pictomat.xml.
inline constexpr const char* kBusName = "com.corvane.Pictomat";
inline constexpr const char* kObjectPath = "/com/corvane/Pictomat";
inline constexpr const char* kBusInterface = "com.corvane.Pictomat";
// How long a client waits for an answer that should come at once.
inline constexpr int kCallTimeoutMs = 10000;

// Whether a tray program owns the bus name.
bool InstanceRunning(const QDBusConnection& bus);
// A call of one of its methods, which never starts it.
QDBusMessage InstanceCall(const char* method);
// The running instance, started when none runs (with `instanceArguments`):
// false, with a line on standard error, when it cannot be. Without a session
// bus that line is `noBus`, a text marked for "CommandLine" that names what
// the caller wanted to reach.
bool ReachInstance(QDBusConnection& bus, const QStringList& instanceArguments, const char* noBus);

// Files as they go over the bus: a D-Bus string must be UTF-8, and a file
// name need not be, so each goes as an ASCII URI.
QStringList BusUris(const QList<QByteArray>& files);

} // namespace pictomat
