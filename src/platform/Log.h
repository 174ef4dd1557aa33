#pragma once

#include <QLoggingCategory>

namespace pictomat {

// The log lines of this layer, "pictomat.platform": warnings always, debug lines
// once switched on (QT_LOGGING_RULES='pictomat.platform.debug=true'); the channel
// is described in files/Log.h.
inline const QLoggingCategory& lcPlatform()
{
    static const QLoggingCategory category("pictomat.platform", QtWarningMsg);
    return category;
}

} // namespace pictomat
