#pragma once

#include <QLoggingCategory>

namespace pictomat {

// The log lines of this layer, "pictomat.icns": warnings always, debug lines
// once switched on (QT_LOGGING_RULES='pictomat.icns.debug=true'); the channel
// is described in files/Log.h.
inline const QLoggingCategory& lcIcns()
{
    static const QLoggingCategory category("pictomat.icns", QtWarningMsg);
    return category;
}

} // namespace pictomat
