#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QStringList>

#include <functional>

namespace pictomat {

class AppController;

inline constexpr const char* kBusName = "com.corvane.Pictomat";
inline constexpr const char* kObjectPath = "/com/corvane/Pictomat";
inline constexpr const char* kBusInterface = "com.corvane.Pictomat";

// The running instance on the session bus: the file-manager actions reach its
// menu through it.
class TrayService : public QObject {
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
    // menu opens right after.
    Q_SCRIPTABLE void ShowMenu();
    // Records the files (file:// URIs) as the handed-over selection and
    // rebuilds the menu at once.
    Q_SCRIPTABLE void SetSelection(const QStringList& uris);
    Q_SCRIPTABLE void Quit();

private:
    AppController& m_controller;
    bool m_registered = false;
};

// "pictomat": the tray program. Exits 0 at once when an instance already runs.
int RunTrayProgram(int argc, char** argv, std::function<void()> preferencesOpener);
// "pictomat select FILE...": records the files; a running instance rebuilds its menu.
int RunSelectVerb(int argc, char** argv, const QList<QByteArray>& files);
// "pictomat menu [FILE...]": records the files, starts the instance when none
// runs and asks it to show its menu at the pointer. `instanceArguments` are
// passed to an instance started here.
int RunMenuVerb(int argc, char** argv, const QList<QByteArray>& files, const QStringList& instanceArguments);

} // namespace pictomat
