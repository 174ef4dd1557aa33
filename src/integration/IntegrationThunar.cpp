#include "integration/IntegrationThunar.h"

#include "files/FileRef.h"

#include <QCryptographicHash>
#include <QDomDocument>
#include <QFile>

namespace pictomat::integration {

namespace {

// Every action of ours has an id that starts so ("com.corvane.Pictomat.menu"
// is the one the menu's entry has always had).
const QByteArray kActionIdPrefix("com.corvane.Pictomat.");
// One line, first after the XML declaration, in a file this program made.
const QByteArray kSeedMark(
    "<!-- Made by pictomat integrate from the system's actions; it goes again when nothing "
    "else in it changed.");

QByteArray xmlEscaped(const QString& text)
{
    return text.toHtmlEscaped().toUtf8();
}

QByteArray actionBlock(const ThunarAction& action)
{
    // Laid out as Thunar 4.18 writes its own actions.
    return "<action>\n"
           "\t<icon>com.corvane.Pictomat</icon>\n"
           "\t<name>" + xmlEscaped(action.name) + "</name>\n"
           "\t<submenu>Pictomat</submenu>\n"
           "\t<unique-id>" + kActionIdPrefix + xmlEscaped(action.id) + "</unique-id>\n"
           "\t<command>" + xmlEscaped(action.command) + "</command>\n"
           "\t<description>" + xmlEscaped(action.description) + "</description>\n"
           "\t<range></range>\n"
           "\t<patterns>*</patterns>\n"
           "\t<directories/>\n"
           "\t<audio-files/>\n"
           "\t<image-files/>\n"
           "\t<other-files/>\n"
           "\t<text-files/>\n"
           "\t<video-files/>\n"
           "</action>\n";
}

bool isThunarXml(const QByteArray& text, QString* error)
{
    QDomDocument doc;
    if (!doc.setContent(text) || doc.documentElement().tagName() != QLatin1String("actions")) {
        *error = QStringLiteral("is not the XML of Thunar's actions");
        return false;
    }
    return true;
}

// The start of the line `at` is on, when only blanks stand before it there.
qsizetype lineStartBefore(const QByteArray& text, qsizetype at)
{
    qsizetype i = at;
    while (i > 0 && (text[i - 1] == ' ' || text[i - 1] == '\t'))
        --i;
    return (i == 0 || text[i - 1] == '\n') ? i : at;
}

// Takes out every <action> block that carries one of our ids, with the blanks and
// line end around it.
QByteArray withoutBlocks(QByteArray text)
{
    qsizetype from = 0;
    for (;;) {
        const qsizetype start = text.indexOf("<action>", from);
        if (start < 0)
            return text;
        const qsizetype close = text.indexOf("</action>", start);
        if (close < 0)
            return text;
        qsizetype end = close + qsizetype(sizeof("</action>") - 1);
        if (!text.mid(start, end - start).contains("<unique-id>" + kActionIdPrefix)) {
            from = end;
            continue;
        }
        const qsizetype cutFrom = lineStartBefore(text, start);
        qsizetype cutTo = end;
        while (cutTo < text.size() && (text[cutTo] == ' ' || text[cutTo] == '\t'))
            ++cutTo;
        const bool ownLine = cutFrom == 0 || text[cutFrom - 1] == '\n';
        if (ownLine && cutTo < text.size() && text[cutTo] == '\n')
            ++cutTo;
        else
            cutTo = end;
        text.remove(cutFrom, cutTo - cutFrom);
        from = cutFrom;
    }
}

QByteArray withBlock(QByteArray text, const QByteArray& block)
{
    const qsizetype close = text.lastIndexOf("</actions>");
    if (close >= 0) {
        const qsizetype lineStart = lineStartBefore(text, close);
        if (lineStart != close || close == 0 || text[close - 1] == '\n') {
            text.insert(lineStart, block);
            return text;
        }
        text.insert(close, "\n" + block);
        return text;
    }
    const qsizetype empty = text.indexOf("<actions/>");
    if (empty >= 0)
        text.replace(empty, qsizetype(sizeof("<actions/>") - 1), "<actions>\n" + block + "</actions>");
    return text;
}

qsizetype markInsertPoint(const QByteArray& text)
{
    if (!text.startsWith("<?xml"))
        return 0;
    const qsizetype end = text.indexOf("?>");
    const qsizetype nl = end < 0 ? -1 : text.indexOf('\n', end);
    return nl < 0 ? 0 : nl + 1;
}

QByteArray checksum(const QByteArray& text)
{
    return QCryptographicHash::hash(text, QCryptographicHash::Sha256).toHex();
}

struct Mark {
    qsizetype from = -1;
    qsizetype to = -1;
    QByteArray seed;
    QStringList folders;
};

Mark findMark(const QByteArray& text)
{
    Mark mark;
    const qsizetype at = text.indexOf(kSeedMark);
    if (at < 0)
        return mark;
    const qsizetype nl = text.indexOf('\n', at);
    mark.from = at;
    mark.to = nl < 0 ? text.size() : nl + 1;
    const QByteArray line = text.mid(at, mark.to - at);
    const qsizetype seed = line.indexOf(" seed=");
    if (seed >= 0)
        mark.seed = line.mid(seed + 6, 64);
    const qsizetype made = line.indexOf(" made=");
    if (made >= 0) {
        const qsizetype end = line.indexOf(" -->", made);
        mark.folders = FolderListFromText(line.mid(made + 6, end < 0 ? -1 : end - made - 6));
    }
    return mark;
}

} // namespace

QByteArray FolderListText(const QStringList& folders)
{
    QByteArrayList uris;
    for (const QString& folder : folders)
        uris.append("file://" + QFile::encodeName(folder).toPercentEncoding("/", "-"));
    return uris.join(' ');
}

QStringList FolderListFromText(const QByteArray& text)
{
    QStringList folders;
    for (const QByteArray& uri : text.trimmed().split(' ')) {
        const FileRef folder = FileRef::fromUri(uri);
        if (!folder.isEmpty())
            folders.append(QFile::decodeName(folder.path()));
    }
    return folders;
}

bool HasThunarAction(const QByteArray& text)
{
    return text.contains("<unique-id>" + kActionIdPrefix);
}

std::optional<QByteArray> WithThunarActions(const std::optional<QByteArray>& existing, const QByteArray& seed,
                                            const QList<ThunarAction>& actions, const QStringList& madeFolders,
                                            QString* error)
{
    QByteArray block;
    for (const ThunarAction& action : actions)
        block += actionBlock(action);
    if (existing && !existing->trimmed().isEmpty()) {
        if (!isThunarXml(*existing, error))
            return std::nullopt;
        // Already there as it would be written: the file stays untouched.
        if (existing->count(block) == 1 && existing->count("<unique-id>" + kActionIdPrefix) == actions.size())
            return *existing;
        return withBlock(withoutBlocks(*existing), block);
    }
    QString ignored;
    const QByteArray start = existing || seed.isEmpty() || !isThunarXml(seed, &ignored)
                                 ? QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<actions>\n</actions>\n")
                                 : seed;
    QByteArray text = withBlock(start, block);
    if (existing)
        return text; // an empty file of the user's: theirs, not made here
    // What removal must give back for the file to go: the start as Thunar
    // would read it, without our action.
    QByteArray mark = kSeedMark + " seed=" + checksum(withoutBlocks(text));
    if (!madeFolders.isEmpty())
        mark += " made=" + FolderListText(madeFolders);
    text.insert(markInsertPoint(text), mark + " -->\n");
    return text;
}

std::optional<ThunarFile> WithoutThunarAction(const QByteArray& existing, QString* error)
{
    if (!isThunarXml(existing, error))
        return std::nullopt;
    QByteArray text = withoutBlocks(existing);
    const Mark mark = findMark(text);
    if (mark.from < 0)
        return ThunarFile{text, {}};
    text.remove(mark.from, mark.to - mark.from);
    if (checksum(text) == mark.seed)
        return ThunarFile{std::nullopt, mark.folders};
    // Changed since it was made: the user's now, kept without our comment.
    return ThunarFile{text, {}};
}

} // namespace pictomat::integration
