#pragma once

#include <QLoggingCategory>

namespace pictomat {

// The log lines of this layer, "pictomat.image": warnings always, debug lines
// once switched on (QT_LOGGING_RULES='pictomat.image.debug=true'); the channel
// is described in files/Log.h.
inline const QLoggingCategory& lcImage()
{
    static const QLoggingCategory category("pictomat.image", QtWarningMsg);
    return category;
}

} // namespace pictomat
