#include "files/SystemLog.h"

#include <cstdio>
#include <syslog.h>

namespace pictomat {

namespace {
void openSystemLog()
{
    static const bool opened = [] {
        ::openlog("Pictomat", LOG_PID, LOG_USER);
        return true;
    }();
    (void)opened;
}
} // namespace

void SystemLog(const QString& line)
{
    openSystemLog();
    const QByteArray utf8 = line.toUtf8();
    ::syslog(LOG_NOTICE, "%s", utf8.constData());
    if (qEnvironmentVariableIsSet("PICTOMAT_LOG_STDERR"))
        std::fprintf(stderr, "Pictomat[log]: %s\n", utf8.constData());
}

void LibraryLog(const char* library, const QByteArray& text)
{
    openSystemLog();
    ::syslog(LOG_DEBUG, "%s: %s", library, text.constData());
}

} // namespace pictomat
