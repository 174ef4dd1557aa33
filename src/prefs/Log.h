#pragma once

#include <QLoggingCategory>

namespace pictomat {

// The log lines of this layer, "pictomat.prefs": warnings always, debug lines
// once switched on (QT_LOGGING_RULES='pictomat.prefs.debug=true'); the channel
// is described in files/Log.h.
inline const QLoggingCategory& lcPrefs()
{
    static const QLoggingCategory category("pictomat.prefs", QtWarningMsg);
    return category;
}

} // namespace pictomat
