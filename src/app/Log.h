#pragma once

#include <QLoggingCategory>

namespace pictomat {

// The log lines of this layer, "pictomat.app": warnings always, debug lines
// once switched on (QT_LOGGING_RULES='pictomat.app.debug=true'); the channel
// is described in files/Log.h.
inline const QLoggingCategory& lcApp()
{
    static const QLoggingCategory category("pictomat.app", QtWarningMsg);
    return category;
}

} // namespace pictomat
