#pragma once

#include <QByteArray>
#include <QDBusContext>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

namespace pictomat {

class AppController;
struct Command;

// The running instance on the session bus: the file-manager actions reach its
// menu through it, and any program can run a command. The interface is
// described in data/dbus/com.corvane.Pictomat.xml.
class TrayService : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.corvane.Pictomat")
public:
    explicit TrayService(AppController& controller, QObject* parent = nullptr);
    ~TrayService() override;

    enum class Registration { Registered, AlreadyRunning, NoBus };
    // Owns the bus name and exports this object.
    Registration registerOnBus();

public Q_SLOTS:
    // Rebuilds the menu and shows it at the pointer. Answers at once; the
    // menu opens right after, once for a burst of calls.
    Q_SCRIPTABLE void ShowMenu();
    // Records the files (file:// URIs) as the handed-over selection (none:
    // ends it) and rebuilds the menu; a later hand-over in the same burst
    // replaces this one.
    Q_SCRIPTABLE void SetSelection(const QStringList& uris);
    Q_SCRIPTABLE void Quit();
    // Opens the preferences window, or brings the open one forward.
    Q_SCRIPTABLE void ShowPreferences();
    // Runs one command of the table on the files, after the commands already
    // queued: the same command, the same dispatcher and the same messages as
    // from the menu or "pictomat run". The answer comes when the command has
    // ended: status 0 when no alert was raised and every output was written,
    // else 1 with the alerts and a line for each output that failed. A
    // command or option that names nothing is a D-Bus error.
    Q_SCRIPTABLE int Run(const QString& command, const QStringList& uris, const QVariantMap& options,
                         QStringList& messages);

Q_SIGNALS:
    // A command of the running instance (whoever asked for it) is about to
    // work on item `index` (from 1) of `count`.
    Q_SCRIPTABLE void Progress(const QString& command, int index, int count, const QString& uri);

private:
    AppController& m_controller;
    bool m_registered = false;
};

} // namespace pictomat
