#include "integration/Integration.h"

#include "integration/FileManagerActions.h"
#include "integration/IntegrationThunar.h"
#include "integration/Log.h"
#include "image/Exporters.h"
#include "files/FileIO.h"
#include "files/FileRef.h"
#include "files/Paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace pictomat {

namespace {

using integration::FolderListFromText;
using integration::FolderListText;

const QByteArray kMark("# Added by \"pictomat integrate\"; \"pictomat integrate --remove\" takes it out.\n");
const QByteArray kFoldersLine("# Folders made for it: ");
const QString kIconName = QStringLiteral("com.corvane.Pictomat");

QString shellQuote(const QString& s)
{
    QString q = s;
    q.replace(QLatin1String("'"), QLatin1String("'\\''"));
    return QLatin1Char('\'') + q + QLatin1Char('\'');
}

// An Exec= argument: quoted as the desktop entry rules say, then escaped for
// the string value it sits in.
QString execQuote(const QString& s)
{
    bool plain = !s.isEmpty();
    for (QChar c : s) {
        if (!(c.isLetterOrNumber() || QStringLiteral("/-_.+,:@").contains(c)))
            plain = false;
    }
    if (plain)
        return s;
    QString q;
    for (QChar c : s) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            q += QLatin1Char('\\');
        q += c;
    }
    q = QLatin1Char('"') + q + QLatin1Char('"');
    q.replace(QLatin1String("\\"), QLatin1String("\\\\"));
    return q;
}

struct Entry {
    QString path;
    QByteArray body;         // everything after our mark
    bool script = false;     // a shell script, so executable
    bool executable = false; // a Dolphin service menu must be too
};

// What an entry runs: the program, the action's words, "--" and the files
// ("%F": absolute paths; after "--" a file named like an option stays a file).
QString execLine(const QString& command, const FileManagerAction& action)
{
    QStringList words{execQuote(command)};
    for (const QString& word : action.arguments)
        words.append(execQuote(word));
    return words.join(QLatin1Char(' ')) + QStringLiteral(" -- %F");
}

// The program and the action's words, quoted for the shell.
QString shellCommand(const QString& command, const FileManagerAction& action)
{
    QStringList words{shellQuote(command)};
    for (const QString& word : action.arguments)
        words.append(shellQuote(word));
    return words.join(QLatin1Char(' '));
}

QByteArray shellScript(const QString& command, const FileManagerAction& action, const char* envVariable)
{
    // File managers hand the selection over as arguments, names relative to
    // the folder they start the script in; the environment variable covers
    // the ones that only list it there. Every name goes on absolute, after
    // "--", so that a file named like an option stays a file.
    return QStringLiteral(
               "if [ $# -eq 0 ] && [ -n \"$%1\" ]; then\n"
               "  set -f\n  IFS='\n'\n  set -- $%1\nfi\n"
               "for f; do\n  case \"$f\" in /*|*://*) ;; *) f=\"$PWD/$f\" ;; esac\n"
               "  set -- \"$@\" \"$f\"\n  shift\ndone\n"
               "exec %2 -- \"$@\"\n")
        .arg(QLatin1String(envVariable), shellCommand(command, action))
        .toUtf8();
}

// A script's file name is its title in the Scripts menu.
QString scriptName(const FileManagerAction& action)
{
    QString name = action.title;
    name.replace(QLatin1Char('/'), QLatin1Char('-'));
    return name;
}

const QString kPcmanfmPrefix = QStringLiteral("com.corvane.Pictomat");

// The folders our entries go in; removal looks there for every file that
// carries our mark, so entries of an older Pictomat go as well.
QStringList entryFolders()
{
    const QString data = XdgDataHome();
    const QString config = XdgConfigHome();
    return {data + QStringLiteral("/nautilus/scripts"),    data + QStringLiteral("/nautilus/scripts/Pictomat"),
            config + QStringLiteral("/caja/scripts"),      config + QStringLiteral("/caja/scripts/Pictomat"),
            data + QStringLiteral("/nemo/actions"),        data + QStringLiteral("/kio/servicemenus"),
            data + QStringLiteral("/file-manager/actions")};
}

QList<Entry> entriesFor(const QString& command, const QList<FileManagerAction>& actions)
{
    const QString data = XdgDataHome();
    const QString config = XdgConfigHome();
    QList<Entry> entries;
    // Nautilus and Caja show a folder of scripts as a submenu.
    for (const FileManagerAction& action : actions) {
        entries.append({.path = data + QStringLiteral("/nautilus/scripts/Pictomat/") + scriptName(action),
                        .body = shellScript(command, action, "NAUTILUS_SCRIPT_SELECTED_FILE_PATHS"),
                        .script = true,
                        .executable = true});
        entries.append({.path = config + QStringLiteral("/caja/scripts/Pictomat/") + scriptName(action),
                        .body = shellScript(command, action, "CAJA_SCRIPT_SELECTED_FILE_PATHS"),
                        .script = true,
                        .executable = true});
    }
    // Nemo's actions cannot nest: each stands on its own, named after Pictomat.
    for (const FileManagerAction& action : actions) {
        const QString file = action.id == QLatin1String("menu")
                                 ? QStringLiteral("pictomat.nemo_action")
                                 : QStringLiteral("pictomat-%1.nemo_action").arg(action.id);
        entries.append({.path = data + QStringLiteral("/nemo/actions/") + file,
                        .body = QStringLiteral("[Nemo Action]\nName=%1\nComment=%2\nExec=%3\nIcon-Name=%4\n"
                                               "Selection=notnone\nExtensions=any;\n")
                                    .arg(FlatTitle(action), action.comment, execLine(command, action), kIconName)
                                    .toUtf8()});
    }
    // Dolphin: one service menu whose actions form the "Pictomat" submenu.
    // KIO lists a service menu only as Type=Service, and only when the file
    // may be executed; X-KDE-ServiceTypes is what KIO before 5.85 looks for.
    // Dolphin lists a service menu's actions by their ids, so the ids are
    // ranked by title: the submenu reads alphabetically, as in the others.
    QList<FileManagerAction> byTitle = actions;
    std::stable_sort(byTitle.begin(), byTitle.end(), [](const FileManagerAction& a, const FileManagerAction& b) {
        return a.title.compare(b.title, Qt::CaseInsensitive) < 0;
    });
    QStringList ids;
    QString groups;
    for (qsizetype rank = 0; rank < byTitle.size(); ++rank) {
        const FileManagerAction& action = byTitle.at(rank);
        const QString id = QStringLiteral("pictomat-%1-%2").arg(rank + 1, 2, 10, QLatin1Char('0')).arg(action.id);
        ids.append(id);
        groups += QStringLiteral("\n[Desktop Action %1]\nName=%2\nIcon=%3\nExec=%4\n")
                      .arg(id, action.title, kIconName, execLine(command, action));
    }
    entries.append(
        {.path = data + QStringLiteral("/kio/servicemenus/com.corvane.Pictomat.desktop"),
         .body = QStringLiteral("[Desktop Entry]\nType=Service\nName=Pictomat\nMimeType=all/all;\n"
                                "Actions=%1;\nX-KDE-Submenu=Pictomat\nX-KDE-ServiceTypes=KonqPopupMenu/Plugin\n"
                                "X-KDE-Priority=TopLevel\n")
                     .arg(ids.join(QLatin1Char(';')))
                     .toUtf8()
                 + groups.toUtf8(),
         .executable = true});
    // PCManFM-Qt: a menu that lists one action file per entry.
    QStringList items;
    for (const FileManagerAction& action : actions) {
        const QString id = kPcmanfmPrefix + QLatin1Char('.') + action.id;
        items.append(id);
        entries.append({.path = data + QStringLiteral("/file-manager/actions/") + id + QStringLiteral(".desktop"),
                        .body = QStringLiteral("[Desktop Entry]\nType=Action\nName=%1\nTooltip=%2\nIcon=%3\n"
                                               "Profiles=pictomat;\n\n[X-Action-Profile pictomat]\nMimeTypes=all/all;\n"
                                               "SelectionCount=>0\nExec=%4\n")
                                    .arg(action.title, action.comment, kIconName, execLine(command, action))
                                    .toUtf8()});
    }
    entries.append(
        {.path = data + QStringLiteral("/file-manager/actions/") + kPcmanfmPrefix + QStringLiteral(".desktop"),
         .body = QStringLiteral("[Desktop Entry]\nType=Menu\nName=Pictomat\nTooltip=%1\nIcon=%2\n"
                                "ItemsList=%3;\n")
                     .arg(QCoreApplication::translate("Integration", "Show the Pictomat menu for the selected files"),
                          kIconName, items.join(QLatin1Char(';')))
                     .toUtf8()});
    return entries;
}

// Our mark and the folders made for the entry go first (after a script's
// interpreter line), so every file manager reads them as comments.
QByteArray entryContents(const Entry& entry, const QStringList& madeFolders)
{
    QByteArray head = kMark;
    if (!madeFolders.isEmpty())
        head += kFoldersLine + FolderListText(madeFolders) + '\n';
    return entry.script ? "#!/bin/sh\n" + head + entry.body : head + entry.body;
}

bool isOurs(const QByteArray& contents)
{
    return contents.contains(kMark);
}

QStringList madeFoldersOf(const QByteArray& contents)
{
    for (const QByteArray& line : contents.split('\n')) {
        if (line.startsWith(kFoldersLine))
            return FolderListFromText(line.mid(kFoldersLine.size()));
    }
    return {};
}

std::optional<QByteArray> readFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    return f.readAll();
}

// The folders that writing a file at `path` has to make, outermost first.
QStringList foldersToMake(const QString& path)
{
    QStringList missing;
    for (QString dir = QFileInfo(path).absolutePath(); !QFileInfo(dir).exists(); dir = QFileInfo(dir).absolutePath()) {
        missing.prepend(dir);
        if (dir == QLatin1String("/"))
            break;
    }
    return missing;
}

bool writeFile(const QString& path, const QByteArray& contents, bool executable, IntegrationResult& result)
{
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        result.errors.append(QCoreApplication::translate("Integration", "cannot create the folder of %1").arg(path));
        return false;
    }
    Error error;
    if (!WriteFileAtomically(FileRef(QFile::encodeName(path)), contents, &error, executable ? 0755 : 0644)) {
        result.errors.append(
            QCoreApplication::translate("Integration", "cannot write %1: %2").arg(path, error.message));
        return false;
    }
    return true;
}

// Takes out the folders made for an entry, innermost first, as far as they
// are empty: anything put there since stays, and so does its folder.
void removeMadeFolders(QStringList folders, IntegrationResult& result)
{
    std::sort(folders.begin(), folders.end(), [](const QString& a, const QString& b) { return a.size() > b.size(); });
    for (const QString& folder : folders) {
        if (::rmdir(QFile::encodeName(folder).constData()) == 0)
            result.removed.append(folder);
    }
}

QString thunarFile()
{
    return XdgConfigHome() + QStringLiteral("/Thunar/uca.xml");
}

// The uca.xml Thunar reads while the user has none of their own.
QByteArray systemThunarFile()
{
    QString dirs = qEnvironmentVariable("XDG_CONFIG_DIRS");
    if (dirs.isEmpty())
        dirs = QStringLiteral("/etc/xdg");
    for (const QString& dir : dirs.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        if (!dir.startsWith(QLatin1Char('/')))
            continue;
        if (const std::optional<QByteArray> contents = readFile(dir + QStringLiteral("/Thunar/uca.xml"))) {
            qCDebug(lcIntegration).noquote() << "Thunar's actions start as a copy of" << dir + "/Thunar/uca.xml";
            return *contents;
        }
    }
    return {};
}

// File managers of this user that run now, by their process names.
bool isRunning(const QByteArray& processName)
{
    const uid_t uid = ::getuid();
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (!pid.front().isDigit())
            continue;
        const QString dir = QStringLiteral("/proc/") + pid;
        struct stat st;
        if (::stat(QFile::encodeName(dir).constData(), &st) != 0 || st.st_uid != uid)
            continue;
        const std::optional<QByteArray> comm = readFile(dir + QStringLiteral("/comm"));
        if (comm && comm->trimmed() == processName)
            return true;
    }
    return false;
}

bool onPath(const char* program)
{
    for (const QString& dir : qEnvironmentVariable("PATH").split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        const QFileInfo file(dir + QLatin1Char('/') + QLatin1String(program));
        if (file.isFile() && file.isExecutable())
            return true;
    }
    return false;
}

// The one thing that keeps Thunar's file from being merged or taken apart.
QString notThunarXml()
{
    return QCoreApplication::translate("Integration", "%1 is not the XML of Thunar's actions; it was left as it is")
        .arg(thunarFile());
}

void noteRestarts(bool thunarChanged, bool pcmanfmChanged, IntegrationResult& result)
{
    if (thunarChanged && isRunning("thunar"))
        result.notes.append(QCoreApplication::translate("Integration",
                                                        "Thunar reads its actions only when it starts: quit it with "
                                                        "\"thunar -q\"; its next window starts it afresh."));
    // PCManFM-Qt reads them at its first right-click and keeps them: only a
    // running one that was right-clicked already misses the change.
    if (pcmanfmChanged && isRunning("pcmanfm-qt"))
        result.notes.append(
            QCoreApplication::translate("Integration",
                                        "PCManFM-Qt reads its actions at its first right-click: if you have "
                                        "right-clicked in the running PCManFM-Qt, quit it with "
                                        "\"pcmanfm-qt --quit\" and start it again."));
}

bool inPcmanfmFolder(const QString& path)
{
    return path.startsWith(XdgDataHome() + QStringLiteral("/file-manager/actions/"));
}

// Files of ours in the entry folders that are not among `keep`.
QStringList ourFilesBut(const QStringList& keep)
{
    QStringList found;
    for (const QString& folder : entryFolders()) {
        for (const QFileInfo& file : QDir(folder).entryInfoList(QDir::Files | QDir::Hidden | QDir::NoSymLinks)) {
            const QString path = file.absoluteFilePath();
            if (keep.contains(path))
                continue;
            if (const std::optional<QByteArray> contents = readFile(path); contents && isOurs(*contents))
                found.append(path);
        }
    }
    return found;
}

// Takes out entries of ours; the folders made for them are added to `madeFolders`.
void removeEntries(const QStringList& paths, QStringList& madeFolders, IntegrationResult& result)
{
    for (const QString& path : paths) {
        const std::optional<QByteArray> contents = readFile(path);
        if (!contents || !isOurs(*contents))
            continue;
        if (!QFile::remove(path)) {
            result.errors.append(QCoreApplication::translate("Integration", "cannot remove %1").arg(path));
            continue;
        }
        result.removed.append(path);
        madeFolders += madeFoldersOf(*contents);
    }
}

QList<integration::ThunarAction> thunarActions(const QString& command, const QList<FileManagerAction>& actions)
{
    QList<integration::ThunarAction> list;
    for (const FileManagerAction& action : actions) {
        list.append({.id = action.id,
                     .name = action.title,
                     .description = action.comment,
                     .command = shellCommand(command, action) + QStringLiteral(" -- %F")});
    }
    return list;
}

ExporterList exporters()
{
    if (!LoadGraphicsLayer())
        return {};
    return LoadExporterList([](const QByteArray&) {});
}

} // namespace

IntegrationResult AddFileManagerActions(prefs::PreferenceStore& store, const QString& command)
{
    IntegrationResult result;
    const QList<FileManagerAction> actions = FileManagerActions(store, exporters());
    const QList<Entry> entries = entriesFor(command, actions);
    QStringList paths;
    for (const Entry& e : entries)
        paths.append(e.path);
    // Entries no longer offered, and those of an older Pictomat (a script
    // where the folder of scripts goes now), go first; the folders made for
    // them stay recorded in the entries written beneath them.
    QStringList inherited;
    removeEntries(ourFilesBut(paths), inherited, result);
    for (const Entry& e : entries) {
        const std::optional<QByteArray> existing = readFile(e.path);
        if (existing && !isOurs(*existing)) {
            result.errors.append(
                QCoreApplication::translate("Integration", "%1 is not Pictomat's; it was left as it is").arg(e.path));
            continue;
        }
        QStringList made = existing ? madeFoldersOf(*existing) : foldersToMake(e.path);
        for (const QString& folder : std::as_const(inherited)) {
            if (e.path.startsWith(folder + QLatin1Char('/')) && !made.contains(folder))
                made.append(folder);
        }
        const QByteArray contents = entryContents(e, made);
        const bool permsOk = !e.executable || QFileInfo(e.path).isExecutable();
        if (existing == contents && permsOk)
            continue;
        if (!writeFile(e.path, contents, e.executable, result))
            continue;
        (existing ? result.updated : result.added).append(e.path);
    }
    removeMadeFolders(inherited, result);

    const std::optional<QByteArray> uca = readFile(thunarFile());
    QString error;
    const QStringList made = uca ? QStringList() : foldersToMake(thunarFile());
    const std::optional<QByteArray> merged = integration::WithThunarActions(
        uca, uca ? QByteArray() : systemThunarFile(), thunarActions(command, actions), made, &error);
    bool thunarChanged = false;
    if (!merged) {
        result.errors.append(notThunarXml());
    } else if (merged != uca && writeFile(thunarFile(), *merged, false, result)) {
        (uca ? result.updated : result.added).append(thunarFile());
        thunarChanged = true;
    }

    const QStringList changed = result.added + result.updated + result.removed;
    noteRestarts(thunarChanged, std::any_of(changed.begin(), changed.end(), inPcmanfmFolder), result);
    // Thunar shows no custom icons at all: where it is the only file manager,
    // half of the menu changes nothing the user can see.
    const bool onlyThunar = onPath("thunar") && !onPath("nautilus") && !onPath("nemo") && !onPath("caja")
                            && !onPath("dolphin") && !onPath("pcmanfm-qt");
    if (onlyThunar)
        result.notes.append(QCoreApplication::translate(
            "Integration",
            "Thunar shows no custom icons: \"Add Custom Icon from Clipboard\", \"Add Custom Icon to Media\", "
            "\"Remove Custom Icon\" and \"Add Shortcut Icon\" change what Nautilus, Nemo, Caja, Dolphin and "
            "PCManFM-Qt show, not what Thunar shows."));
    return result;
}

IntegrationResult RemoveFileManagerActions()
{
    IntegrationResult result;
    // Folders go once every entry is out: entries share the outer ones.
    QStringList madeFolders;
    removeEntries(ourFilesBut({}), madeFolders, result);

    bool thunarChanged = false;
    const std::optional<QByteArray> uca = readFile(thunarFile());
    if (uca && integration::HasThunarAction(*uca)) {
        QString error;
        const std::optional<integration::ThunarFile> without = integration::WithoutThunarAction(*uca, &error);
        if (!without) {
            result.errors.append(notThunarXml());
        } else if (!without->contents) {
            if (QFile::remove(thunarFile())) {
                result.removed.append(thunarFile());
                madeFolders += without->madeFolders;
                thunarChanged = true;
            } else {
                result.errors.append(QCoreApplication::translate("Integration", "cannot remove %1").arg(thunarFile()));
            }
        } else if (writeFile(thunarFile(), *without->contents, false, result)) {
            result.updated.append(thunarFile());
            thunarChanged = true;
        }
    }
    madeFolders.removeDuplicates();
    removeMadeFolders(madeFolders, result);
    noteRestarts(thunarChanged, std::any_of(result.removed.begin(), result.removed.end(), inPcmanfmFolder), result);
    return result;
}

bool SetAutostart(bool on, const QString& command, Error* error)
{
    const QString path = XdgConfigHome() + QStringLiteral("/autostart/com.corvane.Pictomat.desktop");
    if (!on) {
        if (QFile::exists(path) && !QFile::remove(path)) {
            SetError(error, QCoreApplication::translate("Integration", "cannot remove %1").arg(path));
            return false;
        }
        return true;
    }
    const QByteArray contents =
        QStringLiteral(
            "[Desktop Entry]\nType=Application\nName=Pictomat\nComment=Make icons from the files you select\n"
            "Exec=%1\nIcon=%2\nTerminal=false\nX-GNOME-Autostart-enabled=true\n")
            .arg(execQuote(command), kIconName)
            .toUtf8();
    if (readFile(path) == contents)
        return true;
    IntegrationResult result;
    if (!writeFile(path, contents, false, result)) {
        SetError(error, result.errors.join('\n'));
        return false;
    }
    return true;
}

namespace {
QString ownCommand()
{
    return QCoreApplication::applicationFilePath();
}

int report(const IntegrationResult& result)
{
    for (const auto& [verb, paths] : {std::pair{"added", &result.added}, std::pair{"updated", &result.updated},
                                      std::pair{"removed", &result.removed}}) {
        for (const QString& path : *paths)
            std::printf("%s %s\n", verb, qPrintable(path));
    }
    for (const QString& note : result.notes)
        std::printf("%s\n", qPrintable(note));
    std::fflush(stdout);
    for (const QString& e : result.errors)
        std::fprintf(stderr, "pictomat: %s\n", qPrintable(e));
    return result.errors.isEmpty() ? 0 : 1;
}
} // namespace

int RunIntegrateCommand(prefs::PreferenceStore& store, const QStringList& arguments)
{
    if (arguments.isEmpty())
        return report(AddFileManagerActions(store, ownCommand()));
    if (arguments == QStringList{QStringLiteral("--remove")})
        return report(RemoveFileManagerActions());
    std::fprintf(stderr, "%s pictomat integrate [--remove]\n",
                 qUtf8Printable(QCoreApplication::translate("Help", "usage:")));
    return 2;
}

int RunAutostartCommand(const QStringList& arguments)
{
    if (arguments.size() != 1
        || (arguments.first() != QLatin1String("on") && arguments.first() != QLatin1String("off"))) {
        std::fprintf(stderr, "%s pictomat autostart on|off\n",
                     qUtf8Printable(QCoreApplication::translate("Help", "usage:")));
        return 2;
    }
    Error error;
    if (!SetAutostart(arguments.first() == QLatin1String("on"), ownCommand(), &error)) {
        std::fprintf(stderr, "pictomat: %s\n", qPrintable(error.message));
        return 1;
    }
    return 0;
}

} // namespace pictomat
