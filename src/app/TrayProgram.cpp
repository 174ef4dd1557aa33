#include "app/TrayProgram.h"

#include "app/AppController.h"
#include "app/DisplayPlatform.h"
#include "app/InstanceLock.h"
#include "app/TrayService.h"
#include "files/Translations.h"
#include "platform/Desktop.h"
#include "platform/IconProvider.h"
#include "platform/QuitOnSignals.h"

#include <QApplication>

#include <csignal>
#include <cstdio>
#include <unistd.h>
#include <vector>

namespace pictomat {

int RunTrayProgram(int argc, char** argv, prefs::PreferenceStore& preferences, std::function<void()> preferencesOpener)
{
    if (qEnvironmentVariableIsSet("PICTOMAT_DETACHED")) {
        // Started by a file-manager action: outlive the action's session.
        ::setsid();
        qunsetenv("PICTOMAT_DETACHED");
    }
    // Whoever started us may close our output; diagnostics must not end us.
    std::signal(SIGPIPE, SIG_IGN);
    const std::optional<QByteArray> platform = DisplayPlatform();
    if (!platform) {
        std::fprintf(stderr, "pictomat: %s\n",
                     qUtf8Printable(Translated(
                         "Tray", QT_TRANSLATE_NOOP("Tray",
                                                   "the tray needs a graphical session and no display can be reached "
                                                   "here; \"pictomat run COMMAND FILE...\" works without one"))));
        return 1;
    }
    // One tray program per session, decided before Qt and the desktop are
    // loaded: a second one leaves at once.
    InstanceLock instance(InstanceLock::Role::Instance);
    if (!instance.take()) {
        std::fprintf(stderr, "pictomat: %s\n",
                     qUtf8Printable(Translated("Tray", QT_TRANSLATE_NOOP("Tray", "Pictomat is already running"))));
        return 0;
    }
    // Given as an argument, not in the environment the programs we start
    // inherit.
    std::vector<char*> arguments(argv, argv + argc);
    QByteArray platformOption("-platform");
    QByteArray platformName = *platform;
    if (!platformName.isEmpty()) {
        arguments.insert(arguments.begin() + 1, {platformOption.data(), platformName.data()});
    }
    int count = int(arguments.size());
    arguments.push_back(nullptr);

    QApplication app(count, arguments.data());
    QApplication::setQuitOnLastWindowClosed(false);
    QGuiApplication::setDesktopFileName(QStringLiteral("com.corvane.Pictomat"));

    SystemDesktop desktop(SystemDesktop::AlertStyle::Dialog);
    IconProvider icons;
    AppController controller(desktop, preferences, icons);
    controller.setPreferencesOpener(std::move(preferencesOpener));
    TrayService service(controller);
    switch (service.registerOnBus()) {
    case TrayService::Registration::AlreadyRunning:
        std::fprintf(stderr, "pictomat: %s\n",
                     qUtf8Printable(QCoreApplication::translate("Tray", "Pictomat is already running")));
        return 0;
    case TrayService::Registration::NoBus:
        std::fprintf(stderr, "pictomat: %s\n",
                     qUtf8Printable(QCoreApplication::translate(
                         "Tray", "no session bus; the file-manager actions cannot reach this Pictomat")));
        break;
    case TrayService::Registration::Registered: break;
    }
    QuitOnSignals quitOnSignals;
    controller.init();
    return app.exec();
}

} // namespace pictomat
