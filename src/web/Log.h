#pragma once

#include <QLoggingCategory>

namespace pictomat {

// The log lines of this layer, "pictomat.web": warnings always, debug lines
// once switched on (QT_LOGGING_RULES='pictomat.web.debug=true'); the channel
// is described in files/Log.h.
inline const QLoggingCategory& lcWeb()
{
    static const QLoggingCategory category("pictomat.web", QtWarningMsg);
    return category;
}

} // namespace pictomat
