#include "files/Log.h"

#include <cstdio>
#include <cstring>
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

bool isOurs(const char* category)
{
    return category && std::strncmp(category, "pictomat.", 9) == 0;
}

bool isChatter(QtMsgType type)
{
    return type == QtDebugMsg || type == QtInfoMsg;
}

int priorityOf(QtMsgType type, bool ours)
{
    switch (type) {
    case QtFatalMsg: return LOG_CRIT;
    case QtCriticalMsg: return ours ? LOG_ERR : LOG_DEBUG;
    case QtWarningMsg: return ours ? LOG_NOTICE : LOG_DEBUG;
    case QtInfoMsg: return ours ? LOG_INFO : LOG_DEBUG;
    case QtDebugMsg: return LOG_DEBUG;
    }
    return LOG_DEBUG;
}

// The line as the log shows it: the program's own lines as they are written,
// a line switched on for a maintainer after its category, a library's after
// whose it is.
QByteArray logLine(QtMsgType type, const char* category, const QString& message)
{
    const QByteArray text = message.toUtf8();
    if (isOurs(category))
        return isChatter(type) ? QByteArray(category) + ": " + text : text;
    if (category && std::strcmp(category, "default") != 0)
        return "Qt: " + QByteArray(category) + ": " + text;
    return "Qt: " + text;
}

void logMessage(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    openSystemLog();
    const bool ours = isOurs(context.category);
    const QByteArray line = logLine(type, context.category, message);
    ::syslog(priorityOf(type, ours), "%s", line.constData());
    if (type == QtFatalMsg) {
        // The program ends here: whoever started it learns why.
        std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
        return;
    }
    // Read at every line, so that a test may switch it on and off.
    if (qEnvironmentVariableIsSet("PICTOMAT_LOG_STDERR"))
        std::fprintf(stderr, "%s%s\n", ours ? "Pictomat[log]: " : "", line.constData());
}

} // namespace

void InstallLogHandler()
{
    qInstallMessageHandler(&logMessage);
}

} // namespace pictomat
