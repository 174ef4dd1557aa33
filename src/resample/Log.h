#pragma once

#include <QLoggingCategory>

namespace pictomat {

// The log lines of this layer, "pictomat.resample": warnings always, debug lines
// once switched on (QT_LOGGING_RULES='pictomat.resample.debug=true'); the channel
// is described in files/Log.h.
inline const QLoggingCategory& lcResample()
{
    static const QLoggingCategory category("pictomat.resample", QtWarningMsg);
    return category;
}

} // namespace pictomat
