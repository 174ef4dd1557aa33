#include "commands/CommandTexts.h"

#include <QCoreApplication>

namespace pictomat {

namespace {

QString translatedOrEmpty(const char* text)
{
    // An empty source text would give the catalogue's header.
    return text && *text ? QCoreApplication::translate("Command", text) : QString();
}

} // namespace

QString CommandTitle(const Command& command)
{
    return translatedOrEmpty(command.title);
}

QString CommandToolTip(const Command& command)
{
    return translatedOrEmpty(command.toolTip);
}

} // namespace pictomat
