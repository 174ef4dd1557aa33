#pragma once

#include "files/FileRef.h"

#include <QString>

namespace pictomat {

// Whoever runs a command may watch it item by item and ask it to stop: the
// tray's progress window, the terminal's progress line, D-Bus signals. A
// command stops between items, so every output it finished is whole; a wait
// inside an item (a download) ends at once.
class CommandProgress {
public:
    virtual ~CommandProgress() = default;
    // The command is about to work on item `index` (from 1) of `count`.
    virtual void itemStarted(int index, int count, const FileRef& item) = 0;
    // Whether the user asked the command to end after the current item.
    virtual bool stopRequested() const = 0;
    // The user chose "Stop" in an alert.
    virtual void requestStop() = 0;
    // The command waits on something outside the program (a download) and
    // asks, every few milliseconds, whether to go on. A window may show
    // meanwhile, so that the user can stop the wait.
    virtual bool keepWaiting() { return !stopRequested(); }
};

} // namespace pictomat
