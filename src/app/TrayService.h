#pragma once

#include <QByteArray>
#include <QDBusContext>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

#include <functional>

namespace pictomat {

class AppController;
struct Command;
namespace prefs {
class PreferenceStore;
}

inline constexpr const char* kBusName = "com.corvane.Pictomat";
inline constexpr const char* kObjectPath = "/com/corvane/Pictomat";
inline constexpr const char* kBusInterface = "com.corvane.Pictomat";

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

// "pictomat": the tray program, on the preference domain it is given. Exits 0
// at once when an instance already runs.
int RunTrayProgram(int argc, char** argv, prefs::PreferenceStore& preferences, std::function<void()> preferencesOpener);
// "pictomat select FILE...": records the files (none: ends the hand-over); a
// running instance rebuilds its menu.
int RunSelectVerb(int argc, char** argv, const QList<QByteArray>& files);
// "pictomat menu [FILE...]": records the files, starts the instance when none
// runs and asks it to show its menu at the pointer. `instanceArguments` are
// passed to an instance started here.
int RunMenuVerb(int argc, char** argv, const QList<QByteArray>& files, const QStringList& instanceArguments);
// "pictomat run --tray COMMAND [OPERAND] FILE...": runs the command on
// exactly these files in the running instance (started when none runs), as
// if chosen from its menu: its alerts, progress window and Stop are the
// tray's. The exit status is the command's, as "pictomat run" gives it.
int RunInTrayVerb(int argc, char** argv, const Command& command, const QString& operand, const QList<QByteArray>& files,
                  const QStringList& instanceArguments);

} // namespace pictomat
