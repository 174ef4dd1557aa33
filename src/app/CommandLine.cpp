#include "app/CommandLine.h"

#include "app/IcnsCommand.h"
#include "app/IcoCommand.h"
#include "integration/Integration.h"
#include "app/RunVerb.h"
#include "app/ClientVerbs.h"
#include "app/PreferencesVerb.h"
#include "app/DisplayPlatform.h"
#include "app/TrayProgram.h"
#include "files/Translations.h"
#include "image/Exporters.h"
#include "platform/Desktop.h"
#include "prefs/DefaultsTool.h"
#include "prefs/PreferenceStore.h"
#include "prefs/Preferences.h"
#include "ui/PreferencesWindow.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QList>
#include <QStringList>

#include <csignal>
#include <cstdio>
#include <memory>

namespace pictomat {

namespace {

// The tray's "Preferences...": the window is made at the first use and lives
// as long as the opener, which the controller owns, so it goes before the
// application object does.
std::function<void()> makeTrayPreferencesOpener(prefs::PreferenceStore& preferences)
{
    auto controller = std::make_shared<std::unique_ptr<PictomatPref>>();
    return [controller, &preferences] {
        if (!*controller)
            *controller = std::make_unique<PictomatPref>(preferences);
        (*controller)->showWindow();
    };
}

const char kUsage[] =
    "Usage: pictomat [COMMAND] [ARGUMENTS]\n"
    "\n"
    "Makes icons from the files selected in the file manager. Without a command,\n"
    "Pictomat starts in the system tray.\n"
    "\n"
    "Commands:\n"
    "  select FILE... | --clear    hand the files over as the selection, or end it\n"
    "  menu [FILE...]              hand the files over and show the Pictomat menu\n"
    "                              at the pointer, starting Pictomat if needed\n"
    "  run COMMAND [FILE...]       run one command on the files, without a menu,\n"
    "                              and print each output's path; --output DIR,\n"
    "                              --open, --reveal and --quiet for this run\n"
    "  run --tray COMMAND [FILE...]\n"
    "                              run it in the running Pictomat (started if\n"
    "                              needed), as if chosen from its menu\n"
    "  formats                     list the image formats icons can be exported to\n"
    "  preferences                 open the preferences window\n"
    "  defaults read|write|delete  edit the preferences from a shell\n"
    "  icns list|extract|create    look inside icon files, save their pictures,\n"
    "                              make them from .iconset folders and PNG files\n"
    "  ico list|extract|create     the same for Windows icon files, made from a\n"
    "                              picture or from PNG files\n"
    "  iconset create DIR PICTURE  a picture as an .iconset folder's ten pictures\n"
    "  hicolor create DIR PICTURE  a picture as a Linux icon theme's files\n"
    "  appicons SOURCE OUTDIR      a picture as the app icons of macOS, Windows,\n"
    "                              Linux, iOS, Android and the web\n"
    "  integrate [--remove]        add (or take out) the file-manager actions\n"
    "  autostart on|off            start Pictomat with the desktop session, or not\n"
    "\n"
    "Options:\n"
    "  -alpha VALUE                background opacity (0 to 1) for this run;\n"
    "                              accepted anywhere on the line before \"--\"\n"
    "  --                          every word after it is a file (select, menu, run)\n"
    "  -h, --help                  show this help; after a command, its own\n"
    "  -v, --version               show the version\n"
    "\n"
    "Commands of \"pictomat run\":\n";

// Each command's own help, for "pictomat COMMAND --help"; "run" and the icon
// file tools say theirs themselves.
struct VerbHelp {
    const char* verb;
    const char* text;
};
const VerbHelp kVerbHelp[] = {
    {"select",
     "Usage: pictomat select [--] FILE...\n"
     "       pictomat select --clear\n"
     "\n"
     "Hands the files over to Pictomat as the selection its menu works on, or\n"
     "ends the hand-over.\n"},
    {"menu",
     "Usage: pictomat menu [--] [FILE...]\n"
     "\n"
     "Hands the files over and shows the Pictomat menu at the pointer, starting\n"
     "Pictomat when it does not run.\n"},
    {"formats",
     "Usage: pictomat formats\n"
     "\n"
     "Lists the image formats icons can be exported to: the extension, the\n"
     "description, the media type and the type code, separated by tabs.\n"},
    {"preferences",
     "Usage: pictomat preferences\n"
     "\n"
     "Opens the preferences window. It needs a graphical display.\n"},
    {"defaults",
     "Usage: pictomat defaults read [KEY]\n"
     "       pictomat defaults write KEY -bool|-int|-float|-string VALUE\n"
     "       pictomat defaults delete KEY\n"
     "\n"
     "Reads and edits the preferences from a shell.\n"},
    {"integrate",
     "Usage: pictomat integrate [--remove]\n"
     "\n"
     "Adds the Pictomat actions to the file managers' menus, or takes them out.\n"},
    {"autostart",
     "Usage: pictomat autostart on|off\n"
     "\n"
     "Starts Pictomat with the desktop session, or stops doing so.\n"},
};

int usageError(const QString& problem)
{
    std::fprintf(stderr, "pictomat: %s\n", problem.toLocal8Bit().constData());
    std::fprintf(stderr, "%s\n",
                 qUtf8Printable(Translated("CommandLine", QT_TRANSLATE_NOOP("CommandLine", "Try 'pictomat --help'."))));
    return 2;
}

int usageError(const char* problem)
{
    return usageError(QString::fromUtf8(problem));
}

// Whether the words before "--" ask for help.
bool asksForHelp(const QList<QByteArray>& operands)
{
    for (const QByteArray& word : operands) {
        if (word == "--")
            return false;
        if (word == "--help" || word == "-h")
            return true;
    }
    return false;
}

// The verbs that draw pictures: a graphical application without a display
// (drawings may need fonts), made without the file names, which Qt would
// read as its own options when named like them.
int runDrawingVerb(char* program, int (*verb)(const QList<QByteArray>&), const QList<QByteArray>& operands)
{
    char platformOption[] = "-platform";
    char offscreen[] = "offscreen";
    char* arguments[] = {program, platformOption, offscreen, nullptr};
    int count = 3;
    QGuiApplication app(count, arguments);
    return verb(operands);
}

int listFormats(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (!LoadGraphicsLayer()) {
        std::fprintf(
            stderr, "pictomat: %s\n",
            qUtf8Printable(QCoreApplication::translate("CommandLine", "the image formats could not be loaded")));
        return 1;
    }
    // Diagnostics of the exporter loading are not part of the format listing.
    SystemDesktop system(SystemDesktop::AlertStyle::StandardError);
    RoutedDesktop desktop(system, {.dropStandardOutput = true});
    for (const ExporterInfo& exporter : LoadExporterList(desktop.standardOutputWriter())) {
        const QString line = exporter.extensionString + QLatin1Char('\t') + exporter.descriptionString
                             + QLatin1Char('\t') + exporter.mimeString + QLatin1Char('\t')
                             + QString::fromLatin1(exporter.typeChars, 4) + QLatin1Char('\n');
        std::fputs(line.toUtf8().constData(), stdout);
    }
    return 0;
}

void ignoreSignal(int) { }

// "select" and "menu" take nothing but files, so "--" only ends the options.
QList<QByteArray> withoutEndOfOptions(QList<QByteArray> operands)
{
    operands.removeOne("--");
    return operands;
}

QStringList toStrings(const QList<QByteArray>& raw)
{
    QStringList strings;
    for (const QByteArray& r : raw)
        strings.append(QString::fromLocal8Bit(r));
    return strings;
}

} // namespace

int RunCommandLine(int argc, char** argv)
{
    // Past the file-size limit a write fails, and the output is reported as
    // failed; the default action would end the process in mid-write. A
    // handler rather than SIG_IGN, which the programs we start would inherit.
    std::signal(SIGXFSZ, ignoreSignal);
    // File names stay as the bytes the shell gave; only the words of the
    // command line itself become strings. After "--" every word is a file,
    // whatever it looks like; the verbs see the "--" too.
    QList<QByteArray> rest;
    QStringList instanceArguments;
    int optionsEnd = argc;
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg == "--") {
            optionsEnd = i;
            for (; i < argc; ++i)
                rest.append(QByteArray(argv[i]));
            break;
        }
        if (arg == "-alpha") {
            if (i + 1 >= argc)
                return usageError("-alpha needs a value");
            bool number = false;
            const double alpha = QByteArray(argv[i + 1]).toDouble(&number);
            if (!number || !(alpha >= 0.0 && alpha <= 1.0))
                return usageError(QStringLiteral("-alpha needs a number from 0 to 1, not \"%1\".")
                                      .arg(QString::fromLocal8Bit(argv[i + 1])));
            instanceArguments << QStringLiteral("-alpha") << QString::fromLocal8Bit(argv[i + 1]);
            ++i;
            continue;
        }
        rest.append(arg);
    }
    QStringList all;
    for (int i = 0; i < optionsEnd; ++i)
        all.append(QString::fromLocal8Bit(argv[i]));
    prefs::SetCommandLineArguments(all);
    // The preference domain every verb of this process reads and writes.
    prefs::PreferenceStore preferences;
    // The verbs that take files make their application object without the
    // files: Qt reads options such as "-platform" or "-reverse" from the
    // words it is given, and a file may be named like one.
    int programOnly = 1;

    if (rest.isEmpty())
        return RunTrayProgram(argc, argv, preferences, makeTrayPreferencesOpener(preferences));

    const QByteArray verb = rest.first();
    const QList<QByteArray> operands = rest.mid(1);
    if (verb == "-h" || verb == "--help" || verb == "help") {
        std::fputs(kUsage, stdout);
        PrintRunCommands();
        return 0;
    }
    if (asksForHelp(operands)) {
        for (const VerbHelp& help : kVerbHelp) {
            if (verb == help.verb) {
                std::fputs(help.text, stdout);
                return 0;
            }
        }
    }
    if (verb == "-v" || verb == "--version") {
        std::printf("pictomat %s\n", PICTOMAT_VERSION);
        return 0;
    }
    if (verb == "select") {
        if (operands == QList<QByteArray>{"--clear"})
            return RunSelectVerb(programOnly, argv, {}); // ends the hand-over
        const QList<QByteArray> files = withoutEndOfOptions(operands);
        if (files.isEmpty())
            return usageError("select needs at least one file");
        return RunSelectVerb(programOnly, argv, files);
    }
    if (verb == "menu")
        return RunMenuVerb(programOnly, argv, withoutEndOfOptions(operands), instanceArguments);
    if (verb == "run")
        return RunVerbCommand(programOnly, argv, preferences, operands, instanceArguments);
    if (verb == "formats") {
        if (!operands.isEmpty())
            return usageError("formats takes no arguments");
        return listFormats(argc, argv);
    }
    if (verb == "preferences") {
        // Qt would abort without a display, telling of plugins to reinstall.
        if (!DisplayPlatform()) {
            std::fprintf(stderr, "pictomat: %s\n",
                         qUtf8Printable(Translated(
                             "CommandLine", QT_TRANSLATE_NOOP("CommandLine",
                                                              "the preferences window needs a graphical session, "
                                                              "and no display can be reached here."))));
            return 1;
        }
        return RunPreferencesVerb(argc, argv, preferences);
    }
    if (verb == "defaults") {
        QCoreApplication app(argc, argv);
        return prefs::RunDefaultsTool(preferences, toStrings(operands));
    }
    if (verb == "integrate") {
        QCoreApplication app(argc, argv);
        return RunIntegrateCommand(preferences, toStrings(operands));
    }
    if (verb == "autostart") {
        QCoreApplication app(argc, argv);
        return RunAutostartCommand(toStrings(operands));
    }
    if (verb == "icns") {
        QCoreApplication app(argc, argv);
        return RunIcnsCommand(operands);
    }
    if (verb == "ico")
        return runDrawingVerb(argv[0], &RunIcoCommand, operands);
    if (verb == "iconset")
        return runDrawingVerb(argv[0], &RunIconsetCommand, operands);
    if (verb == "hicolor")
        return runDrawingVerb(argv[0], &RunHicolorCommand, operands);
    if (verb == "appicons")
        return runDrawingVerb(argv[0], &RunAppIconsCommand, operands);
    return usageError(QStringLiteral("unknown command \"%1\"").arg(QString::fromLocal8Bit(verb)));
}

} // namespace pictomat
