#pragma once

namespace pictomat {

// Every way of starting pictomat: the tray program, and the command-line forms
// that reach the same code.
int RunCommandLine(int argc, char** argv);

} // namespace pictomat
