#pragma once

#include <csignal>
#include <memory>

class QSocketNotifier;

namespace pictomat {

// While it lives, SIGTERM and SIGINT end the event loop the way "Quit" does,
// so whatever the loop's owner tears down on the way out (the tray item, the
// bus name) is given back. The handler only writes a byte to a socket; the
// quitting happens in the loop.
class QuitOnSignals {
public:
    QuitOnSignals();
    ~QuitOnSignals();
    QuitOnSignals(const QuitOnSignals&) = delete;
    QuitOnSignals& operator=(const QuitOnSignals&) = delete;

private:
    static void handle(int);
    static inline int s_fds[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> m_notifier;
    struct sigaction m_oldTerm = {};
    struct sigaction m_oldInt = {};
    bool m_installed = false;
};

} // namespace pictomat
