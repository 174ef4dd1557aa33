#pragma once

#include <QLoggingCategory>

namespace pictomat {

// The log lines of this layer, "pictomat.commands": warnings always, debug lines
// once switched on (QT_LOGGING_RULES='pictomat.commands.debug=true'); the channel
// is described in files/Log.h.
inline const QLoggingCategory& lcCommands()
{
    static const QLoggingCategory category("pictomat.commands", QtWarningMsg);
    return category;
}

} // namespace pictomat
