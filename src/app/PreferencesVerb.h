#pragma once

#include <QObject>

#include <functional>

namespace pictomat {

namespace prefs {
class PreferenceStore;
}

// The bus name of a preferences window opened from the command line while no
// tray program runs; the tray's own window answers under kBusName.
inline constexpr const char* kPreferencesBusName = "com.corvane.Pictomat.Preferences";

// Brings an open preferences window forward for whoever asks on the session
// bus: a second "pictomat preferences" raises the window instead of opening
// another.
class PreferencesService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.corvane.Pictomat")
public:
    explicit PreferencesService(std::function<void()> show, QObject* parent = nullptr);

public Q_SLOTS:
    Q_SCRIPTABLE void ShowPreferences();

private:
    std::function<void()> m_show;
};

// "pictomat preferences": raises the preferences window of the running tray
// program, or the one another "pictomat preferences" has open; else opens
// one here and runs until it is closed.
int RunPreferencesVerb(int argc, char** argv, prefs::PreferenceStore& store);

} // namespace pictomat
