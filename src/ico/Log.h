#pragma once

#include <QLoggingCategory>

namespace pictomat {

// The log lines of this layer, "pictomat.ico": warnings always, debug lines
// once switched on (QT_LOGGING_RULES='pictomat.ico.debug=true'); the channel
// is described in files/Log.h.
inline const QLoggingCategory& lcIco()
{
    static const QLoggingCategory category("pictomat.ico", QtWarningMsg);
    return category;
}

} // namespace pictomat
