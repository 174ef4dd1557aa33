#include "app/CommandLine.h"
#include "files/Log.h"
#include "files/Translations.h"

#include <QCoreApplication>

namespace {
void installTranslations()
{
    pictomat::InstallTranslations();
}
} // namespace

// Every application object the program makes (the tray's, the preferences
// window's, a command's) speaks the user's language from its first message.
Q_COREAPP_STARTUP_FUNCTION(installTranslations)

int main(int argc, char** argv)
{
    pictomat::InstallLogHandler();
    return pictomat::RunCommandLine(argc, argv);
}
