#include "app/RunVerb.h"

#include "app/TerminalProgress.h"
#include "app/ClientVerbs.h"
#include "app/XSelections.h"
#include "commands/Command.h"
#include "commands/CommandServices.h"
#include "commands/Dispatcher.h"
#include "commands/ItemOperations.h"
#include "image/Exporters.h"
#include "platform/IconProvider.h"

#include <QApplication>
#include <QClipboard>
#include <QEventLoop>
#include <QTimer>

#include <cstdio>
#include <vector>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace pictomat {

namespace {

// How soon a clipboard server notices that another program took the clipboard.
constexpr int kOwnershipCheckMs = 200;

int usage(const char* problem)
{
    std::fprintf(stderr, "pictomat: %s\n", problem);
    std::fprintf(stderr, "usage: pictomat run [--tray] COMMAND [--] [FILE...]\ncommands:");
    for (const Command& command : Commands()) {
        const char* operand = command.operand == Operand::Exporter   ? " EXT"
                              : command.operand == Operand::IconSize ? " SIZE"
                                                                     : "";
        std::fprintf(stderr, " %s%s", command.verb, operand);
    }
    std::fprintf(stderr, "\n");
    return 2;
}

bool haveDisplay()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

// Runs the command in this process; returns the exit status.
int runHere(prefs::PreferenceStore& preferences, const Command& command, const QString& operand,
            const QList<QByteArray>& files)
{
    SystemDesktop desktop(SystemDesktop::AlertStyle::StandardError);
    // The exporter lines belong to the menu's console; a shell command keeps
    // its standard output for what the command itself says.
    RoutedDesktop quiet(desktop, {.dropStandardOutput = true});
    IconProvider icons;
    CommandContext context(desktop, preferences, icons);
    context.exporterConsole = &quiet;
    CommandRequest request;
    request.command = &command;
    // Only an export needs the list up front: loading every image plugin is a
    // good part of a short command's time.
    ExporterList exporters;
    if (command.operand == Operand::Exporter && LoadGraphicsLayer(context.graphics))
        exporters = LoadExporterList(quiet.standardOutputWriter(), context.graphics);
    QString error;
    if (!SetOperandFromText(command, operand, exporters, &request.options, &error)) {
        std::fprintf(stderr, "pictomat: %s\n", error.toUtf8().constData());
        return 2;
    }
    request.items = SelectionFromArguments(files);
    TerminalProgress progress;
    context.progress = &progress;
    desktop.setBeforeStandardError([&progress] { progress.clearLine(); });
    Dispatch(context, request);
    desktop.setBeforeStandardError({});
    if (!context.failedOutputs.isEmpty())
        progress.clearLine();
    for (const FailedOutput& failed : context.failedOutputs)
        std::fprintf(stderr, "pictomat: %s\n", FailedOutputLine(failed).toLocal8Bit().constData());
    // Stopped by Ctrl-C after an item, as a shell reports an interrupt.
    if (progress.stopRequested())
        return 130;
    return desktop.alertCount() > 0 || !context.failedOutputs.isEmpty() ? 1 : 0;
}

// A copy must outlive the command, as xclip's does: the work and the serving
// happen in a child that keeps the clipboard until another program takes it;
// the parent returns the command's status as soon as the copy is made.
int runServingClipboard(int argc, char** argv, prefs::PreferenceStore& preferences, const Command& command,
                        const QList<QByteArray>& files)
{
    int status[2];
    if (::pipe2(status, O_CLOEXEC) != 0)
        return usage("cannot create a pipe");
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0)
        return usage("cannot fork");
    if (pid > 0) {
        ::close(status[1]);
        unsigned char code = 1;
        const ssize_t n = ::read(status[0], &code, 1);
        ::close(status[0]);
        if (n != 1) { // the child died before it could say
            int ws = 0;
            ::waitpid(pid, &ws, 0);
            return 1;
        }
        return code;
    }
    ::close(status[0]);
    ::setsid();
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    const int code = runHere(preferences, command, QString(), files);
    QClipboard* clipboard = QGuiApplication::clipboard();
    const bool serving = clipboard && clipboard->ownsClipboard();
    const unsigned char byte = (unsigned char)code;
    (void)!::write(status[1], &byte, 1);
    ::close(status[1]);
    if (!serving)
        ::_exit(code);
    // Let the caller's pipes close: nothing more is said from here on.
    const int devnull = ::open("/dev/null", O_RDWR);
    if (devnull >= 0) {
        ::dup2(devnull, 0);
        ::dup2(devnull, 1);
        ::dup2(devnull, 2);
        ::close(devnull);
    }
    // Serve only while the clipboard is ours. Qt does not report every way of
    // losing it (a loss that came before this point, a clear it ignores), so
    // the X server is asked as well; a newer copy-icon takes the clipboard
    // and so ends this one.
    const auto stillOurs = [clipboard] {
        return XSelections::clipboardOwnedHere().value_or(clipboard->ownsClipboard());
    };
    QObject::connect(clipboard, &QClipboard::changed, &app, [&](QClipboard::Mode mode) {
        if (mode == QClipboard::Clipboard && !stillOurs())
            app.quit();
    });
    QTimer owner;
    QObject::connect(&owner, &QTimer::timeout, &app, [&] {
        if (!stillOurs())
            app.quit();
    });
    owner.start(kOwnershipCheckMs);
    if (stillOurs())
        app.exec();
    ::_exit(0);
}

} // namespace

int RunVerbCommand(int argc, char** argv, prefs::PreferenceStore& preferences, const QList<QByteArray>& operands,
                   const QStringList& instanceArguments)
{
    // The files stay as the bytes the shell gave: names need not be UTF-8.
    // After "--" every word is a file; before it, the command and its
    // operand come first and the rest are files too.
    QList<QByteArray> args = operands;
    QList<QByteArray> files;
    if (const qsizetype end = args.indexOf("--"); end >= 0) {
        files = args.mid(end + 1);
        args.resize(end);
    }
    // "--tray": in the running instance, as if chosen from its menu.
    const bool inTray = !args.isEmpty() && args.first() == "--tray";
    if (inTray)
        args.removeFirst();
    if (args.isEmpty())
        return usage("run needs a command");
    const QString name = QString::fromLocal8Bit(args.takeFirst());
    const Command* command = FindCommandByVerb(name);
    if (!command)
        return usage(qPrintable(QStringLiteral("unknown command \"%1\"").arg(name)));
    QString operand;
    if (command->operand == Operand::Exporter) {
        if (args.isEmpty())
            return usage("export needs an extension, such as png");
        operand = QString::fromLocal8Bit(args.takeFirst());
    } else if (command->operand == Operand::IconSize) {
        if (args.isEmpty())
            return usage("set-icon-size needs a size, such as 256");
        operand = QString::fromLocal8Bit(args.takeFirst());
    }
    args += files;
    if (command->needsFiles && args.isEmpty())
        return usage(qPrintable(QStringLiteral("%1 needs at least one file").arg(QLatin1String(command->verb))));
    if (inTray)
        return RunInTrayVerb(argc, argv, *command, operand, args, instanceArguments);
    if (command->needsDisplay && !haveDisplay()) {
        std::fprintf(stderr,
                     "pictomat: %s works with the clipboard and needs a graphical display "
                     "(DISPLAY or WAYLAND_DISPLAY is not set)\n",
                     command->verb);
        return 1;
    }
    if (command->id == CommandId::CopyIconForFile)
        return runServingClipboard(argc, argv, preferences, *command, args);
    if (!command->needsDisplay) {
        // Nothing of these commands shows on the screen: connecting to the
        // display and setting up widgets (styles, fonts) would be most of a
        // short command's time. The platform is chosen by argument, not by
        // the environment, which the applications we open would inherit.
        std::vector<char*> arguments(argv, argv + argc);
        char platformOption[] = "-platform";
        char offscreen[] = "offscreen";
        arguments.push_back(platformOption);
        arguments.push_back(offscreen);
        int count = int(arguments.size());
        arguments.push_back(nullptr);
        QGuiApplication app(count, arguments.data());
        const int code = runHere(preferences, *command, operand, args);
        // Everything the command does is done and on disk by now. Tearing the
        // application down would only load the font configuration in order to
        // free it (Qt's font database does that on exit), a tenth of a short
        // command's time.
        std::fflush(nullptr);
        ::_exit(code);
    }
    if (!haveDisplay() && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return runHere(preferences, *command, operand, args);
}

} // namespace pictomat
