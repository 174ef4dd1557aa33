#pragma once

#include <QLoggingCategory>

namespace pictomat {

// The log lines of this layer, "pictomat.worker": warnings always, debug
// lines once switched on; the channel is described in files/Log.h.
inline const QLoggingCategory& lcWorker()
{
    static const QLoggingCategory category("pictomat.worker", QtWarningMsg);
    return category;
}

} // namespace pictomat
