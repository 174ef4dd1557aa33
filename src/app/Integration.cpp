#include "app/Integration.h"

#include "platform/FileRef.h"
#include "platform/FileIO.h"
#include "platform/Paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <sys/stat.h>

namespace pictomat {

namespace {

const QString kMark = QStringLiteral("Added by \"pictomat integrate\"; \"pictomat integrate --remove\" takes it out.");
const QString kThunarId = QStringLiteral("com.corvane.Pictomat.menu");
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

struct Entry {
    QString path;
    QByteArray contents;
    bool executable;
};

QByteArray shellScript(const QString& command, const char* envVariable)
{
    // File managers hand the selection over as arguments; the environment
    // variable covers the ones that only list it there.
    return QStringLiteral("#!/bin/sh\n# %1\nif [ $# -eq 0 ] && [ -n \"$%2\" ]; then\n"
                          "  set -f\n  IFS='\n'\n  set -- $%2\nfi\nexec %3 menu \"$@\"\n")
        .arg(kMark, QLatin1String(envVariable), shellQuote(command))
        .toUtf8();
}

QList<Entry> entriesFor(const QString& command)
{
    const QString data = XdgDataHome();
    const QString config = XdgConfigHome();
    const QString exec = execQuote(command) + QStringLiteral(" menu %F");
    QList<Entry> entries;
    entries.append({data + QStringLiteral("/nautilus/scripts/Pictomat"),
                    shellScript(command, "NAUTILUS_SCRIPT_SELECTED_FILE_PATHS"), true});
    entries.append({config + QStringLiteral("/caja/scripts/Pictomat"),
                    shellScript(command, "CAJA_SCRIPT_SELECTED_FILE_PATHS"), true});
    entries.append({data + QStringLiteral("/nemo/actions/pictomat.nemo_action"),
                    QStringLiteral("# %1\n[Nemo Action]\nName=Pictomat\nComment=%2\nExec=%3\nIcon-Name=%4\n"
                                   "Selection=notnone\nExtensions=any;\n")
                        .arg(kMark, kComment, exec, kIconName)
                        .toUtf8(),
                    false});
    entries.append({data + QStringLiteral("/kio/servicemenus/com.corvane.Pictomat.desktop"),
                    QStringLiteral("# %1\n[Desktop Entry]\nType=Application\nName=Pictomat\nNoDisplay=true\n"
                                   "MimeType=application/octet-stream;inode/directory;\nActions=pictomatMenu;\n"
                                   "X-KDE-ServiceTypes=KonqPopupMenu/Plugin\nX-KDE-Priority=TopLevel\n\n"
                                   "[Desktop Action pictomatMenu]\nName=Pictomat\nIcon=%2\nExec=%3\n")
                        .arg(kMark, kIconName, exec)
                        .toUtf8(),
                    true});
    entries.append({data + QStringLiteral("/file-manager/actions/com.corvane.Pictomat.desktop"),
                    QStringLiteral("# %1\n[Desktop Entry]\nType=Action\nName=Pictomat\nTooltip=%2\nIcon=%3\n"
                                   "Profiles=pictomat;\n\n[X-Action-Profile pictomat]\nMimeTypes=all/all;\n"
                                   "SelectionCount=>0\nExec=%4\n")
                        .arg(kMark, kComment, kIconName, exec)
                        .toUtf8(),
                    false});
    return entries;
}

QString thunarFile()
{
    return XdgConfigHome() + QStringLiteral("/Thunar/uca.xml");
}

bool readFile(const QString& path, QByteArray* contents)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    *contents = f.readAll();
    return true;
}

// Writes only when the contents differ, so a second run changes nothing.
bool writeIfChanged(const QString& path, const QByteArray& contents, bool executable, IntegrationResult& result)
{
    QByteArray existing;
    const bool had = readFile(path, &existing);
    const QFileDevice::Permissions exec = QFileDevice::ExeOwner | QFileDevice::ExeGroup | QFileDevice::ExeOther;
    const bool permsOk = !executable || (QFile::permissions(path) & QFileDevice::ExeOwner);
    if (had && existing == contents && permsOk)
        return true;
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        result.errors.append(QStringLiteral("cannot create the folder of %1").arg(path));
        return false;
    }
    QString error;
    if (!WriteFileAtomically(FileRef(QFile::encodeName(path)), contents, &error)) {
        result.errors.append(QStringLiteral("cannot write %1: %2").arg(path, error));
        return false;
    }
    if (executable)
        QFile::setPermissions(path, QFile::permissions(path) | exec);
    result.changed.append(path);
    return true;
}

} // namespace

std::optional<QByteArray> MergeThunarActions(const QByteArray& existing, const QString& command, bool add)
{
    QDomDocument doc;
    if (existing.trimmed().isEmpty()) {
        if (!add)
            return existing;
        doc.appendChild(doc.createProcessingInstruction(QStringLiteral("xml"),
                                                        QStringLiteral("version=\"1.0\" encoding=\"UTF-8\"")));
        doc.appendChild(doc.createElement(QStringLiteral("actions")));
    } else if (!doc.setContent(existing)) {
        return std::nullopt;
    }
    QDomElement actions = doc.documentElement();
    if (actions.tagName() != QLatin1String("actions"))
        return std::nullopt;
    // Take out our own action (wherever it stands), keep every other one.
    QList<QDomElement> ours;
    for (QDomElement a = actions.firstChildElement(QStringLiteral("action")); !a.isNull();
         a = a.nextSiblingElement(QStringLiteral("action"))) {
        if (a.firstChildElement(QStringLiteral("unique-id")).text() == kThunarId)
            ours.append(a);
    }
    for (QDomElement& a : ours)
        actions.removeChild(a);
    if (add) {
        QDomElement action = doc.createElement(QStringLiteral("action"));
        auto child = [&](const char* name, const QString& text) {
            QDomElement e = doc.createElement(QString::fromLatin1(name));
            if (!text.isNull())
                e.appendChild(doc.createTextNode(text));
            action.appendChild(e);
        };
        child("icon", kIconName);
        child("name", QStringLiteral("Pictomat"));
        child("unique-id", kThunarId);
        child("command", shellQuote(command) + QStringLiteral(" menu %F"));
        child("description", kComment);
        child("patterns", QStringLiteral("*"));
        for (const char* kind : {"directories", "audio-files", "image-files", "other-files", "text-files", "video-files"})
            child(kind, QString());
        actions.appendChild(action);
    }
    return doc.toByteArray(2);
}

IntegrationResult AddFileManagerActions(const QString& command)
{
    IntegrationResult result;
    for (const Entry& e : entriesFor(command))
        writeIfChanged(e.path, e.contents, e.executable, result);
    QByteArray uca;
    readFile(thunarFile(), &uca);
    const std::optional<QByteArray> merged = MergeThunarActions(uca, command, true);
    if (!merged)
        result.errors.append(QStringLiteral("%1 is not valid XML; it was left as it is").arg(thunarFile()));
    else if (*merged != uca)
        writeIfChanged(thunarFile(), *merged, false, result);
    return result;
}

IntegrationResult RemoveFileManagerActions()
{
    IntegrationResult result;
    for (const Entry& e : entriesFor(QString())) {
        QByteArray contents;
        // Only a file that carries our mark is ours to remove.
        if (!readFile(e.path, &contents) || !contents.contains(kMark.toUtf8()))
            continue;
        if (QFile::remove(e.path))
            result.changed.append(e.path);
        else
            result.errors.append(QStringLiteral("cannot remove %1").arg(e.path));
    }
    QByteArray uca;
    if (readFile(thunarFile(), &uca)) {
        const std::optional<QByteArray> merged = MergeThunarActions(uca, QString(), false);
        if (!merged)
            result.errors.append(QStringLiteral("%1 is not valid XML; it was left as it is").arg(thunarFile()));
        else if (*merged != uca && uca.contains(kThunarId.toUtf8()))
            writeIfChanged(thunarFile(), *merged, false, result);
    }
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
    IntegrationResult result;
    if (!writeIfChanged(path, contents, false, result)) {
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

int report(const IntegrationResult& result, const char* verb)
{
    for (const QString& c : result.changed)
        std::printf("%s %s\n", verb, qPrintable(c));
    for (const QString& e : result.errors)
        std::fprintf(stderr, "pictomat: %s\n", qPrintable(e));
    return result.errors.isEmpty() ? 0 : 1;
}
} // namespace

int RunIntegrateCommand(const QStringList& arguments)
{
    if (arguments.isEmpty())
        return report(AddFileManagerActions(ownCommand()), "added");
    if (arguments == QStringList{QStringLiteral("--remove")})
        return report(RemoveFileManagerActions(), "removed");
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
