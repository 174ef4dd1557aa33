#pragma once

#include <QLoggingCategory>

namespace pictomat {

// The log lines of this layer, "pictomat.output": warnings always, debug lines
// once switched on (QT_LOGGING_RULES='pictomat.output.debug=true'); the channel
// is described in files/Log.h.
inline const QLoggingCategory& lcOutput()
{
    static const QLoggingCategory category("pictomat.output", QtWarningMsg);
    return category;
}

} // namespace pictomat
