#pragma once

#include <functional>

namespace pictomat {

// Every way of starting pictomat: the tray program, and the command-line forms
// that reach the same code.
int RunCommandLine(int argc, char** argv);

// How the preferences window is reached: `runWindow` for "pictomat preferences"
// (shows the window and returns when it closes), `openInTray` for the menu's
// "Preferences...". Both default to the real window (an empty `openInTray`
// means the real one too); set them before RunCommandLine to use another.
struct PreferencesHooks {
    std::function<int(int argc, char** argv)> runWindow;
    std::function<void()> openInTray;
};
void SetPreferencesHooks(PreferencesHooks hooks);

} // namespace pictomat
