#pragma once

#include <QLoggingCategory>

namespace pictomat {

// The log lines of this layer, "pictomat.read": warnings always, debug lines
// once switched on (QT_LOGGING_RULES='pictomat.read.debug=true'); the channel
// is described in files/Log.h.
inline const QLoggingCategory& lcRead()
{
    static const QLoggingCategory category("pictomat.read", QtWarningMsg);
    return category;
}

} // namespace pictomat
