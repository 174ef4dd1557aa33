#pragma once

#include "commands/Command.h"

#include <QString>

namespace pictomat {

// A command's menu title and tool tip in the user's language; the table
// holds them in English, which is what a language without a catalogue shows.
QString CommandTitle(const Command& command);
QString CommandToolTip(const Command& command);

} // namespace pictomat
