#pragma once

#include <functional>

namespace pictomat {

namespace prefs {
class PreferenceStore;
}

// "pictomat": the tray program, on the preference domain it is given. Exits 0
// at once when an instance already runs.
int RunTrayProgram(int argc, char** argv, prefs::PreferenceStore& preferences, std::function<void()> preferencesOpener);

} // namespace pictomat
