#pragma once

#include "files/UniqueFd.h"

namespace pictomat {

// Who is this session's running Pictomat, and who starts it, decided with
// lock files in the user's runtime folder (one pair per session bus) before
// anything else is loaded: a second tray program leaves at once instead of
// loading everything to find the bus name taken, and of twenty file-manager
// entries fired together with no tray running, one starts it while the
// others wait for it. The lock goes with the process that holds it, however
// it ends.
class InstanceLock {
public:
    enum class Role {
        Instance, // held by the tray program for its whole life
        Starter,  // held while one client starts the tray program
    };
    explicit InstanceLock(Role role);

    // Takes the lock, waiting at most `waitMs`; false when another process
    // keeps it (or the lock file cannot be made, when it is not taken either).
    bool take(int waitMs = 0);
    bool held() const { return m_held; }

private:
    UniqueFd m_fd;
    bool m_held = false;
};

} // namespace pictomat
