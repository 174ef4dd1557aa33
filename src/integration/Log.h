#pragma once

#include <QLoggingCategory>

namespace pictomat {

// The log lines of this layer, "pictomat.integration": warnings always, debug lines
// once switched on (QT_LOGGING_RULES='pictomat.integration.debug=true'); the channel
// is described in files/Log.h.
inline const QLoggingCategory& lcIntegration()
{
    static const QLoggingCategory category("pictomat.integration", QtWarningMsg);
    return category;
}

} // namespace pictomat
