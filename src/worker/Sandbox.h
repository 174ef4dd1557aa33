#pragma once

#include <QByteArray>

namespace pictomat::worker {

// What one reading child may use, enforced by the kernel once it is set:
// nothing here can be undone by the libraries that run after it.
struct SandboxLimits {
    qint64 addressSpaceBytes = 0; // RLIMIT_AS
    int cpuSeconds = 0;           // RLIMIT_CPU (SIGXCPU, then SIGKILL a second later)
    QByteArray ownFolder;         // a drawing's folder, readable for its linked pictures
    QByteArray ownModules;        // where our own modules lie (the PDF one)
};

// Applies the limits to this process: no new privileges, the resource
// limits, and a Landlock ruleset that lets it read only the system's own
// files (libraries loaded on first use, fonts, fontconfig's configuration
// and cache) and the drawing's own folder, and write nothing anywhere. A
// kernel without Landlock leaves the resource limits alone in force.
// False when a limit that must hold could not be set.
bool EnterSandbox(const SandboxLimits& limits);

} // namespace pictomat::worker
