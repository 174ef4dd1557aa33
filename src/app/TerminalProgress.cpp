#include "app/TerminalProgress.h"

#include <QString>

#include <cstdio>
#include <unistd.h>

namespace pictomat {

TerminalProgress::TerminalProgress(bool draw) : m_drawing(draw && ::isatty(STDERR_FILENO) == 1)
{
    s_interrupted = 0;
    struct sigaction action = {};
    action.sa_handler = &TerminalProgress::interrupted;
    sigemptyset(&action.sa_mask);
    // Once: a second Ctrl-C takes the default way out.
    action.sa_flags = SA_RESETHAND;
    ::sigaction(SIGINT, &action, &m_oldInt);
}

TerminalProgress::~TerminalProgress()
{
    clearLine();
    ::sigaction(SIGINT, &m_oldInt, nullptr);
}

void TerminalProgress::interrupted(int)
{
    s_interrupted = 1;
}

void TerminalProgress::itemStarted(int index, int count, const FileRef& item)
{
    if (!m_drawing || count < 2)
        return;
    // Names are shown, never used: bytes that are not UTF-8 may become U+FFFD.
    QString name = QString::fromUtf8(item.name());
    name.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
    const QByteArray line = QStringLiteral("\r\033[K%1 of %2  %3").arg(index).arg(count).arg(name).toUtf8();
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
    m_lineShown = true;
}

bool TerminalProgress::stopRequested() const
{
    return s_interrupted != 0;
}

void TerminalProgress::requestStop()
{
    s_interrupted = 1;
}

void TerminalProgress::clearLine()
{
    if (!m_lineShown)
        return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    m_lineShown = false;
}

} // namespace pictomat
