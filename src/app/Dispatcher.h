#pragma once

#include "commands/CommandContext.h"

namespace pictomat {

// Every command item of the menu, the command line's "run" and D-Bus requests
// reach this one dispatcher with the same command identifiers.
class Dispatcher {
public:
    explicit Dispatcher(CommandContext& context) : m_context(context) {}

    // Runs the command with this tag over the context's selected items.
    void handleMenuItem(int tag);

private:
    CommandContext& m_context;
};

} // namespace pictomat
