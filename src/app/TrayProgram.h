#pragma once

#include <functional>

namespace pictomat {

// "pictomat": the tray program. Exits 0 at once when an instance already runs.
int RunTrayProgram(int argc, char** argv, std::function<void()> preferencesOpener);

} // namespace pictomat
