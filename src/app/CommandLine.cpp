#include "app/CommandLine.h"

#include "app/HelpText.h"
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

int usageError(const QString& problem)
{
    std::fprintf(stderr, "pictomat: %s\n", problem.toLocal8Bit().constData());
    std::fprintf(stderr, "%s\n",
                 qUtf8Printable(Translated("CommandLine", QT_TRANSLATE_NOOP("CommandLine", "Try 'pictomat --help'."))));
    return 2;
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
                return usageError(Translated("CommandLine", QT_TRANSLATE_NOOP("CommandLine", "-alpha needs a value")));
            bool number = false;
            const double alpha = QByteArray(argv[i + 1]).toDouble(&number);
            if (!number || !(alpha >= 0.0 && alpha <= 1.0))
                return usageError(
                    Translated("CommandLine",
                               QT_TRANSLATE_NOOP("CommandLine", "-alpha needs a number from 0 to 1, not \"%1\"."))
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
        std::fputs(help::Program().toUtf8().constData(), stdout);
        return 0;
    }
    if (asksForHelp(operands)) {
        if (const QString text = help::Verb(verb); !text.isEmpty()) {
            std::fputs(text.toUtf8().constData(), stdout);
            return 0;
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
            return usageError(
                Translated("CommandLine", QT_TRANSLATE_NOOP("CommandLine", "select needs at least one file")));
        return RunSelectVerb(programOnly, argv, files);
    }
    if (verb == "menu")
        return RunMenuVerb(programOnly, argv, withoutEndOfOptions(operands), instanceArguments);
    if (verb == "run")
        return RunVerbCommand(programOnly, argv, preferences, operands, instanceArguments);
    if (verb == "formats") {
        if (!operands.isEmpty())
            return usageError(
                Translated("CommandLine", QT_TRANSLATE_NOOP("CommandLine", "formats takes no arguments")));
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
    return usageError(Translated("CommandLine", QT_TRANSLATE_NOOP("CommandLine", "unknown command \"%1\""))
                          .arg(QString::fromLocal8Bit(verb)));
}

} // namespace pictomat
