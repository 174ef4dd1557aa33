#include "app/RunVerb.h"

#include "commands/CommandIds.h"
#include "app/Dispatcher.h"
#include "image/Exporters.h"

#include <QApplication>
#include <QClipboard>
#include <QEventLoop>
#include <QTimer>

#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace pictomat {

namespace {

struct Verb {
    const char* name;
    int tag;  // 0: an exporter chosen by extension
    bool needsFiles;
    bool needsDisplay;
};

constexpr Verb kVerbs[] = {
    {"go-to-folder", kCommandGoToFolder, false, false},
    {"make-icon", kCommandMakeIconForFile, true, false},
    {"make-media-icon", kCommandMakeIconForMedia, true, false},
    {"export", 0, true, false},
    {"add-media-icon", kCommandAddCustomIconToMedia, true, false},
    {"copy-icon", kCommandCopyIconForFile, true, true},
    {"paste-icon", kCommandAddCustomIconFromClipboard, true, true},
    {"add-shortcut-icon", kCommandAddShortcutIcon, true, false},
    {"remove-icon", kCommandRemoveCustomIcon, true, false},
};

int usage(const char* problem)
{
    std::fprintf(stderr, "pictomat: %s\n", problem);
    std::fprintf(stderr, "usage: pictomat run COMMAND [FILE...]\ncommands:");
    for (const Verb& v : kVerbs)
        std::fprintf(stderr, " %s%s", v.name, v.tag == 0 ? " EXT" : "");
    std::fprintf(stderr, "\n");
    return 2;
}

bool haveDisplay()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}


SelectedItems selectionFromArguments(const QList<QByteArray>& files)
{
    SelectedItems selection;
    QVector<FileRef> items;
    for (const QByteArray& bytes : files) {
        FileRef ref = bytes.startsWith("file://") ? FileRef::fromUri(bytes) : FileRef::fromLocalPath(bytes);
        struct stat st;
        if (!ref.isEmpty() && ::lstat(ref.c_path(), &st) != 0)
            ref = FileRef();
        items.append(ref);
    }
    selection.count = qint32(items.size());
    selection.items = items;
    return selection;
}

// Runs the command in this process; returns the exit status.
int runHere(const Verb& verb, const QString& extension, const QList<QByteArray>& files)
{
    SystemDesktop desktop(SystemDesktop::AlertStyle::StandardError);
    WithoutStandardOutput quiet(desktop);
    CommandContext context(desktop);
    // The exporter lines belong to the menu's console; a shell command keeps
    // its standard output for what the command itself says.
    context.exporterConsole = &quiet;
    // Only an export needs the list up front (loading every image plugin is
    // a good part of a short command's time); commands that look an exporter
    // up reload the list themselves.
    if (verb.tag == 0) {
        context.graphicsAvailable = LoadGraphicsLayer();
        if (context.graphicsAvailable)
            context.exporterList = LoadExporterList(quiet);
    }
    int tag = verb.tag;
    if (tag == 0) {
        for (int k = 0; k < context.exporterList.size(); ++k) {
            if (context.exporterList.at(k).extensionString.compare(extension, Qt::CaseInsensitive) == 0)
                tag = k + 1;  // the last match wins, as for every lookup by extension
        }
        if (tag == 0) {
            std::fprintf(stderr, "pictomat: no image exporter writes \"%s\" (see \"pictomat formats\")\n",
                         extension.toUtf8().constData());
            return 2;
        }
    }
    context.selectedItems = selectionFromArguments(files);
    Dispatcher(context).handleMenuItem(tag);
    return desktop.alertCount() > 0 ? 1 : 0;
}

// A copy must outlive the command, as xclip's does: the work and the serving
// happen in a child that keeps the clipboard until another program takes it;
// the parent returns the command's status as soon as the copy is made.
int runServingClipboard(int argc, char** argv, const Verb& verb, const QList<QByteArray>& files)
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
        if (n != 1) {  // the child died before it could say
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
    const int code = runHere(verb, QString(), files);
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
    QObject::connect(clipboard, &QClipboard::changed, &app, [&](QClipboard::Mode mode) {
        if (mode == QClipboard::Clipboard && !clipboard->ownsClipboard())
            app.quit();
    });
    app.exec();
    ::_exit(0);
}

} // namespace

int RunVerbCommand(int argc, char** argv, const QList<QByteArray>& operands)
{
    // The files stay as the bytes the shell gave: names need not be UTF-8.
    QList<QByteArray> args = operands;
    if (args.isEmpty())
        return usage("run needs a command");
    const QString name = QString::fromLocal8Bit(args.takeFirst());
    const Verb* verb = nullptr;
    for (const Verb& v : kVerbs) {
        if (name == QLatin1String(v.name))
            verb = &v;
    }
    if (!verb)
        return usage(qPrintable(QStringLiteral("unknown command \"%1\"").arg(name)));
    QString extension;
    if (verb->tag == 0) {
        if (args.isEmpty())
            return usage("export needs an extension, such as png");
        extension = QString::fromLocal8Bit(args.takeFirst());
    }
    if (verb->needsFiles && args.isEmpty())
        return usage(qPrintable(QStringLiteral("%1 needs at least one file").arg(QLatin1String(verb->name))));
    if (verb->needsDisplay && !haveDisplay()) {
        std::fprintf(stderr, "pictomat: %s works with the clipboard and needs a graphical display "
                             "(DISPLAY or WAYLAND_DISPLAY is not set)\n", verb->name);
        return 1;
    }
    if (verb->tag == kCommandCopyIconForFile)
        return runServingClipboard(argc, argv, *verb, args);
    if (!haveDisplay() && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return runHere(*verb, extension, args);
}

} // namespace pictomat
