#pragma once

#include "files/FileRef.h"

#include <QString>

namespace pictomat {

// Whoever runs a command may watch it item by item and ask it to stop: the
// tray's progress window, the terminal's progress line, D-Bus signals. A
// command stops only between items, so every output it finished is whole.
class CommandProgress {
public:
    virtual ~CommandProgress() = default;
    // The command is about to work on item `index` (from 1) of `count`.
    virtual void itemStarted(int index, int count, const FileRef& item) = 0;
    // Whether the user asked the command to end after the current item.
    virtual bool stopRequested() const = 0;
    // The user chose "Stop" in an alert.
    virtual void requestStop() = 0;
};

} // namespace pictomat
