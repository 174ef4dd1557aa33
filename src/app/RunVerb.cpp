#include "app/RunVerb.h"

#include "app/HelpText.h"
#include "app/TerminalProgress.h"
#include "app/ClientVerbs.h"
#include "app/XSelections.h"
#include "commands/Command.h"
#include "commands/CommandServices.h"
#include "commands/Dispatcher.h"
#include "commands/ItemOperations.h"
#include "files/Translations.h"
#include "image/Exporters.h"
#include "platform/IconProvider.h"

#include <QCoreApplication>
#include <QApplication>
#include <QClipboard>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <cstdio>
#include <optional>
#include <vector>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace pictomat {

namespace {

// How soon a clipboard server notices that another program took the clipboard.
constexpr int kOwnershipCheckMs = 200;

int usage(const QString& problem)
{
    std::fprintf(stderr, "pictomat: %s\n", problem.toLocal8Bit().constData());
    std::fprintf(
        stderr, "%s\n",
        qUtf8Printable(Translated("CommandLine", QT_TRANSLATE_NOOP("CommandLine", "Try 'pictomat run --help'."))));
    return 2;
}

// A plain run in a shell: what it was asked beyond the command.
struct ShellChoices {
    bool open = false;
    bool reveal = false;
    bool quiet = false;
    std::optional<QString> outputFolder;
};

bool haveDisplay()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

// Runs the command in this process; returns the exit status.
int runHere(prefs::PreferenceStore& preferences, const Command& command, const QString& operand,
            const QList<QByteArray>& files, const ShellChoices& choices)
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
    // A shell opens nothing it did not ask for: a loop over fifty files would
    // otherwise open a hundred windows.
    request.options.openImageFile = choices.open;
    request.options.openImageFolder = choices.reveal;
    request.options.outputFolder = choices.outputFolder;
    TerminalProgress progress(!choices.quiet);
    context.progress = &progress;
    if (!choices.quiet) {
        context.onOutputWritten = [&progress](const FileRef& output) {
            progress.clearLine();
            std::fwrite(output.path().constData(), 1, size_t(output.path().size()), stdout);
            std::fputc('\n', stdout);
            std::fflush(stdout);
        };
    }
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
                        const QList<QByteArray>& files, const ShellChoices& choices)
{
    int status[2];
    if (::pipe2(status, O_CLOEXEC) != 0) {
        std::fprintf(
            stderr, "pictomat: %s\n",
            qUtf8Printable(Translated("CommandLine", QT_TRANSLATE_NOOP("CommandLine", "cannot create a pipe"))));
        return 1;
    }
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0) {
        std::fprintf(stderr, "pictomat: %s\n",
                     qUtf8Printable(Translated("CommandLine", QT_TRANSLATE_NOOP("CommandLine", "cannot fork"))));
        return 1;
    }
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
    const int code = runHere(preferences, command, QString(), files, choices);
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
    // After "--" every word is a file; before it, the options may stand
    // anywhere, the command and its operand come first and the rest are files.
    QList<QByteArray> args;
    QList<QByteArray> files;
    bool inTray = false;
    ShellChoices choices;
    for (qsizetype i = 0; i < operands.size(); ++i) {
        const QByteArray& word = operands[i];
        if (word == "--") {
            files = operands.mid(i + 1);
            break;
        }
        if (word == "-h" || word == "--help") {
            std::fputs(help::Run().toUtf8().constData(), stdout);
            return 0;
        }
        if (word == "--tray") {
            // "--tray": in the running instance, as if chosen from its menu.
            inTray = true;
        } else if (word == "--open") {
            choices.open = true;
        } else if (word == "--reveal") {
            choices.reveal = true;
        } else if (word == "--quiet" || word == "-q") {
            choices.quiet = true;
        } else if (word == "--output") {
            if (i + 1 >= operands.size())
                return usage(Translated("CommandLine", QT_TRANSLATE_NOOP("CommandLine", "--output needs a folder.")));
            const QByteArray folder = operands[++i];
            struct stat st;
            if (folder.isEmpty() || ::stat(folder.constData(), &st) != 0 || !S_ISDIR(st.st_mode))
                return usage(Translated("CommandLine", QT_TRANSLATE_NOOP("CommandLine", "%1: there is no such folder."))
                                 .arg(QString::fromLocal8Bit(folder)));
            // The folder by an absolute name: where the outputs go is
            // decided once, and an output folder is named by its path.
            choices.outputFolder = QFileInfo(QFile::decodeName(folder)).absoluteFilePath();
        } else if (word.startsWith("--")) {
            return usage(Translated("CommandLine", QT_TRANSLATE_NOOP("CommandLine", "unknown option \"%1\""))
                             .arg(QString::fromLocal8Bit(word)));
        } else {
            args.append(word);
        }
    }
    if (inTray && (choices.open || choices.reveal || choices.quiet || choices.outputFolder))
        return usage(Translated("CommandLine", QT_TRANSLATE_NOOP("CommandLine",
                                                                 "--tray takes the running Pictomat's preferences, so "
                                                                 "--open, --reveal, --quiet and --output do not go "
                                                                 "with it.")));
    if (args.isEmpty())
        return usage(Translated("CommandLine", QT_TRANSLATE_NOOP("CommandLine", "run needs a command")));
    const QString name = QString::fromLocal8Bit(args.takeFirst());
    const Command* command = FindCommandByVerb(name);
    if (!command)
        return usage(Translated("CommandLine", QT_TRANSLATE_NOOP("CommandLine", "unknown command \"%1\"")).arg(name));
    QString operand;
    if (command->operand == Operand::Exporter) {
        if (args.isEmpty())
            return usage(
                Translated("CommandLine", QT_TRANSLATE_NOOP("CommandLine", "export needs an extension, such as png")));
        operand = QString::fromLocal8Bit(args.takeFirst());
    } else if (command->operand == Operand::IconSize) {
        if (args.isEmpty())
            return usage(
                Translated("CommandLine", QT_TRANSLATE_NOOP("CommandLine", "set-icon-size needs a size, such as 256")));
        operand = QString::fromLocal8Bit(args.takeFirst());
    }
    args += files;
    if (command->needsFiles && args.isEmpty())
        return usage(Translated("CommandLine", QT_TRANSLATE_NOOP("CommandLine", "%1 needs at least one file"))
                         .arg(QLatin1String(command->verb)));
    if (inTray)
        return RunInTrayVerb(argc, argv, *command, operand, args, instanceArguments);
    if (command->needsDisplay && !haveDisplay()) {
        std::fprintf(stderr, "pictomat: %s\n",
                     qUtf8Printable(Translated("CommandLine",
                                               QT_TRANSLATE_NOOP("CommandLine",
                                                                 "%1 works with the clipboard and needs a graphical "
                                                                 "display (DISPLAY or WAYLAND_DISPLAY is not set)"))
                                        .arg(QLatin1String(command->verb))));
        return 1;
    }
    PrepareFor(*command);
    if (command->id == CommandId::CopyIconForFile)
        return runServingClipboard(argc, argv, preferences, *command, args, choices);
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
        const int code = runHere(preferences, *command, operand, args, choices);
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
    return runHere(preferences, *command, operand, args, choices);
}

} // namespace pictomat
