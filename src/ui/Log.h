#pragma once

#include <QLoggingCategory>

namespace pictomat {

// The log lines of this layer, "pictomat.ui": warnings always, debug lines
// once switched on (QT_LOGGING_RULES='pictomat.ui.debug=true'); the channel
// is described in files/Log.h.
inline const QLoggingCategory& lcUi()
{
    static const QLoggingCategory category("pictomat.ui", QtWarningMsg);
    return category;
}

} // namespace pictomat
