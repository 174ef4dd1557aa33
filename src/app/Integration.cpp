#include "app/Integration.h"

#include "app/IntegrationThunar.h"
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
const QString kComment = QStringLiteral("Show the Pictomat menu for the selected files");

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

// The file managers whose running instances read their actions only when
// they start.
enum class Reader { Live, Thunar, PcmanfmQt };

struct Entry {
    QString path;
    QByteArray body;  // everything after our mark
    bool script = false;      // a shell script, so executable
    bool executable = false;  // a Dolphin service menu must be too
    Reader reader = Reader::Live;
};

QByteArray shellScript(const QString& command, const char* envVariable)
{
    // File managers hand the selection over as arguments, names relative to
    // the folder they start the script in; the environment variable covers
    // the ones that only list it there. Every name goes on absolute, after
    // "--", so that a file named like an option stays a file.
    return QStringLiteral("if [ $# -eq 0 ] && [ -n \"$%1\" ]; then\n"
                          "  set -f\n  IFS='\n'\n  set -- $%1\nfi\n"
                          "for f; do\n  case \"$f\" in /*|*://*) ;; *) f=\"$PWD/$f\" ;; esac\n"
                          "  set -- \"$@\" \"$f\"\n  shift\ndone\n"
                          "exec %2 menu -- \"$@\"\n")
        .arg(QLatin1String(envVariable), shellQuote(command))
        .toUtf8();
}

QList<Entry> entriesFor(const QString& command)
{
    const QString data = XdgDataHome();
    const QString config = XdgConfigHome();
    // %F: absolute paths; "--": a file named like an option stays a file.
    const QString exec = execQuote(command) + QStringLiteral(" menu -- %F");
    QList<Entry> entries;
    entries.append({.path = data + QStringLiteral("/nautilus/scripts/Pictomat"),
                    .body = shellScript(command, "NAUTILUS_SCRIPT_SELECTED_FILE_PATHS"),
                    .script = true,
                    .executable = true});
    entries.append({.path = config + QStringLiteral("/caja/scripts/Pictomat"),
                    .body = shellScript(command, "CAJA_SCRIPT_SELECTED_FILE_PATHS"),
                    .script = true,
                    .executable = true});
    entries.append({.path = data + QStringLiteral("/nemo/actions/pictomat.nemo_action"),
                    .body =
                    QStringLiteral("[Nemo Action]\nName=Pictomat\nComment=%1\nExec=%2\nIcon-Name=%3\n"
                                   "Selection=notnone\nExtensions=any;\n")
                        .arg(kComment, exec, kIconName)
                        .toUtf8()});
    // KIO lists a service menu only as Type=Service, and only when the file
    // may be executed; X-KDE-ServiceTypes is what KIO before 5.85 looks for.
    entries.append({.path = data + QStringLiteral("/kio/servicemenus/com.corvane.Pictomat.desktop"),
                    .body = QStringLiteral("[Desktop Entry]\nType=Service\nName=Pictomat\n"
                                   "MimeType=all/all;\nActions=pictomatMenu;\n"
                                   "X-KDE-ServiceTypes=KonqPopupMenu/Plugin\nX-KDE-Priority=TopLevel\n\n"
                                   "[Desktop Action pictomatMenu]\nName=Pictomat\nIcon=%1\nExec=%2\n")
                        .arg(kIconName, exec)
                        .toUtf8(),
                    .executable = true});
    entries.append({.path = data + QStringLiteral("/file-manager/actions/com.corvane.Pictomat.desktop"),
                    .body = QStringLiteral("[Desktop Entry]\nType=Action\nName=Pictomat\nTooltip=%1\nIcon=%2\n"
                                   "Profiles=pictomat;\n\n[X-Action-Profile pictomat]\nMimeTypes=all/all;\n"
                                   "SelectionCount=>0\nExec=%3\n")
                        .arg(kComment, kIconName, exec)
                        .toUtf8(),
                    .reader = Reader::PcmanfmQt});
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
    for (QString dir = QFileInfo(path).absolutePath(); !QFileInfo(dir).exists();
         dir = QFileInfo(dir).absolutePath()) {
        missing.prepend(dir);
        if (dir == QLatin1String("/"))
            break;
    }
    return missing;
}

bool writeFile(const QString& path, const QByteArray& contents, bool executable, IntegrationResult& result)
{
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        result.errors.append(QStringLiteral("cannot create the folder of %1").arg(path));
        return false;
    }
    QString error;
    if (!WriteFileAtomically(FileRef(QFile::encodeName(path)), contents, &error, executable ? 0755 : 0644)) {
        result.errors.append(QStringLiteral("cannot write %1: %2").arg(path, error));
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
        if (const std::optional<QByteArray> contents = readFile(dir + QStringLiteral("/Thunar/uca.xml")))
            return *contents;
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

void noteRestarts(bool thunarChanged, bool pcmanfmChanged, IntegrationResult& result)
{
    if (thunarChanged && isRunning("thunar"))
        result.notes.append(QStringLiteral("Thunar reads its actions only when it starts: quit it with "
                                           "\"thunar -q\"; its next window starts it afresh."));
    if (pcmanfmChanged && isRunning("pcmanfm-qt"))
        result.notes.append(QStringLiteral("PCManFM-Qt reads its actions only when it starts: quit it with "
                                           "\"pcmanfm-qt --quit\" and start it again."));
}

} // namespace

IntegrationResult AddFileManagerActions(const QString& command)
{
    IntegrationResult result;
    bool pcmanfmChanged = false;
    for (const Entry& e : entriesFor(command)) {
        const std::optional<QByteArray> existing = readFile(e.path);
        if (existing && !isOurs(*existing)) {
            result.errors.append(QStringLiteral("%1 is not Pictomat's; it was left as it is").arg(e.path));
            continue;
        }
        const QStringList made = existing ? madeFoldersOf(*existing) : foldersToMake(e.path);
        const QByteArray contents = entryContents(e, made);
        const bool permsOk = !e.executable || QFileInfo(e.path).isExecutable();
        if (existing == contents && permsOk)
            continue;
        if (!writeFile(e.path, contents, e.executable, result))
            continue;
        (existing ? result.updated : result.added).append(e.path);
        pcmanfmChanged = pcmanfmChanged || e.reader == Reader::PcmanfmQt;
    }

    const std::optional<QByteArray> uca = readFile(thunarFile());
    QString error;
    const QStringList made = uca ? QStringList() : foldersToMake(thunarFile());
    const std::optional<QByteArray> merged =
        integration::WithThunarAction(uca, uca ? QByteArray() : systemThunarFile(), command, made, &error);
    bool thunarChanged = false;
    if (!merged) {
        result.errors.append(QStringLiteral("%1 %2; it was left as it is").arg(thunarFile(), error));
    } else if (merged != uca && writeFile(thunarFile(), *merged, false, result)) {
        (uca ? result.updated : result.added).append(thunarFile());
        thunarChanged = true;
    }

    noteRestarts(thunarChanged, pcmanfmChanged, result);
    // Thunar shows no custom icons at all: where it is the only file manager,
    // half of the menu changes nothing the user can see.
    const bool onlyThunar = onPath("thunar") && !onPath("nautilus") && !onPath("nemo") && !onPath("caja")
                            && !onPath("dolphin") && !onPath("pcmanfm-qt");
    if (onlyThunar)
        result.notes.append(QStringLiteral(
            "Thunar shows no custom icons: \"Add Custom Icon from Clipboard\", \"Add Custom Icon to Media\", "
            "\"Remove Custom Icon\" and \"Add Shortcut Icon\" change what Nautilus, Nemo, Caja, Dolphin and "
            "PCManFM-Qt show, not what Thunar shows."));
    return result;
}

IntegrationResult RemoveFileManagerActions()
{
    IntegrationResult result;
    bool pcmanfmChanged = false;
    // Folders go once every entry is out: entries may share the outer ones.
    QStringList madeFolders;
    for (const Entry& e : entriesFor(QString())) {
        // Only a file that carries our mark is ours to remove.
        const std::optional<QByteArray> contents = readFile(e.path);
        if (!contents || !isOurs(*contents))
            continue;
        if (!QFile::remove(e.path)) {
            result.errors.append(QStringLiteral("cannot remove %1").arg(e.path));
            continue;
        }
        result.removed.append(e.path);
        madeFolders += madeFoldersOf(*contents);
        pcmanfmChanged = pcmanfmChanged || e.reader == Reader::PcmanfmQt;
    }

    bool thunarChanged = false;
    const std::optional<QByteArray> uca = readFile(thunarFile());
    if (uca && integration::HasThunarAction(*uca)) {
        QString error;
        const std::optional<integration::ThunarFile> without = integration::WithoutThunarAction(*uca, &error);
        if (!without) {
            result.errors.append(QStringLiteral("%1 %2; it was left as it is").arg(thunarFile(), error));
        } else if (!without->contents) {
            if (QFile::remove(thunarFile())) {
                result.removed.append(thunarFile());
                madeFolders += without->madeFolders;
                thunarChanged = true;
            } else {
                result.errors.append(QStringLiteral("cannot remove %1").arg(thunarFile()));
            }
        } else if (writeFile(thunarFile(), *without->contents, false, result)) {
            result.updated.append(thunarFile());
            thunarChanged = true;
        }
    }
    madeFolders.removeDuplicates();
    removeMadeFolders(madeFolders, result);
    noteRestarts(thunarChanged, pcmanfmChanged, result);
    return result;
}

bool SetAutostart(bool on, const QString& command, QString* error)
{
    const QString path = XdgConfigHome() + QStringLiteral("/autostart/com.corvane.Pictomat.desktop");
    if (!on) {
        if (QFile::exists(path) && !QFile::remove(path)) {
            *error = QStringLiteral("cannot remove %1").arg(path);
            return false;
        }
        return true;
    }
    const QByteArray contents =
        QStringLiteral("[Desktop Entry]\nType=Application\nName=Pictomat\nComment=Make icons from the files you select\n"
                       "Exec=%1\nIcon=%2\nTerminal=false\nX-GNOME-Autostart-enabled=true\n")
            .arg(execQuote(command), kIconName)
            .toUtf8();
    if (readFile(path) == contents)
        return true;
    IntegrationResult result;
    if (!writeFile(path, contents, false, result)) {
        *error = result.errors.join('\n');
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

int RunIntegrateCommand(const QStringList& arguments)
{
    if (arguments.isEmpty())
        return report(AddFileManagerActions(ownCommand()));
    if (arguments == QStringList{QStringLiteral("--remove")})
        return report(RemoveFileManagerActions());
    std::fprintf(stderr, "usage: pictomat integrate [--remove]\n");
    return 2;
}

int RunAutostartCommand(const QStringList& arguments)
{
    if (arguments.size() != 1 || (arguments.first() != QLatin1String("on") && arguments.first() != QLatin1String("off"))) {
        std::fprintf(stderr, "usage: pictomat autostart on|off\n");
        return 2;
    }
    QString error;
    if (!SetAutostart(arguments.first() == QLatin1String("on"), ownCommand(), &error)) {
        std::fprintf(stderr, "pictomat: %s\n", qPrintable(error));
        return 1;
    }
    return 0;
}

} // namespace pictomat
