#include "app/HelpText.h"

#include "commands/Command.h"
#include "files/Translations.h"

#include <QStringList>

#include <initializer_list>

namespace pictomat::help {

namespace {

// Lines end by these columns, the help's layout as it has always been on a
// terminal of 80: a paragraph by 75; a description by 78, or by 79 when that
// keeps it on one line.
constexpr int kParagraphWidth = 75;
constexpr int kEntryWidth = 78;
constexpr int kOneLineEntryWidth = 79;

QString said(const char* text)
{
    return Translated("Help", text);
}

// `text` after `start` (what its first line already holds), its words
// wrapped at `width` onto lines that start at `indent`. A no-break space in a
// translation keeps two words on one line ("--output DIR") and is written as
// a plain space.
QString wrapped(const QString& start, const QString& text, int indent, int width)
{
    QString out = start;
    qsizetype length = start.size();
    bool lineHasWord = false;
    for (QString word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        word.replace(QChar(0x00A0), QLatin1Char(' '));
        if (lineHasWord && length + 1 + word.size() > width) {
            out += QLatin1Char('\n') + QString(indent, QLatin1Char(' '));
            length = indent;
            lineHasWord = false;
        }
        if (lineHasWord) {
            out += QLatin1Char(' ');
            ++length;
        }
        out += word;
        length += word.size();
        lineHasWord = true;
    }
    return out + QLatin1Char('\n');
}

// One help text, block by block.
class Text {
public:
    // Descriptions of entries start at `column`.
    explicit Text(int column = 0) : m_column(column) { }

    // "Usage: FORM", the further forms under the first.
    Text& usage(const char* word, std::initializer_list<const char*> forms)
    {
        const QString w = said(word);
        m_usageIndent = int(w.size()) + 1;
        bool first = true;
        for (const char* form : forms) {
            m_text += (first ? w + QLatin1Char(' ') : QString(m_usageIndent, QLatin1Char(' '))) + QLatin1String(form)
                      + QLatin1Char('\n');
            first = false;
        }
        return *this;
    }
    // A line under the forms, as they are indented.
    Text& usageNote(const char* text)
    {
        m_text += QString(m_usageIndent, QLatin1Char(' ')) + said(text) + QLatin1Char('\n');
        return *this;
    }
    Text& blank()
    {
        m_text += QLatin1Char('\n');
        return *this;
    }
    Text& paragraph(const char* text)
    {
        m_text += wrapped(QString(), said(text), 0, kParagraphWidth);
        return *this;
    }
    Text& heading(const char* text)
    {
        m_text += said(text) + QLatin1Char('\n');
        return *this;
    }
    // "  WORDS   what they do", the description on a line of its own when
    // the words leave it no room.
    Text& entry(const char* words, const char* what)
    {
        QString start = QStringLiteral("  ") + QLatin1String(words);
        if (start.size() + 2 > m_column) {
            m_text += start + QLatin1Char('\n');
            start = QString(m_column, QLatin1Char(' '));
        } else {
            start = start.leftJustified(m_column);
        }
        const QString description = said(what);
        const bool oneLine = start.size() + description.size() <= kOneLineEntryWidth;
        m_text += wrapped(start, description, m_column, oneLine ? kOneLineEntryWidth : kEntryWidth);
        return *this;
    }
    // The commands of "run", one a line with what each does.
    Text& runCommands()
    {
        for (const Command& command : Commands()) {
            QString words = QLatin1String(command.verb);
            QString what = Translated("Command", command.toolTip);
            if (command.operand == Operand::Exporter) {
                words += QLatin1String(" EXT");
                what = said(QT_TRANSLATE_NOOP(
                    "Help", "Export the file's icon as a picture of the format EXT (see pictomat formats)."));
            } else if (command.operand == Operand::IconSize) {
                words += QLatin1String(" SIZE");
                what = said(QT_TRANSLATE_NOOP(
                    "Help", "Set the icon size, from 16 to 1024 pixels, that the icons are drawn at."));
            }
            m_text += QStringLiteral("  ") + words.leftJustified(22) + QLatin1Char(' ') + what + QLatin1Char('\n');
        }
        return *this;
    }
    operator QString() const { return m_text; }

private:
    int m_column;
    int m_usageIndent = 0;
    QString m_text;
};

const char kUsageWord[] = QT_TRANSLATE_NOOP("Help", "Usage:");
// The icon-file tools have always said it in lower case.
const char kToolUsageWord[] = QT_TRANSLATE_NOOP("Help", "usage:");
const char kOptions[] = QT_TRANSLATE_NOOP("Help", "Options:");
const char kCommands[] = QT_TRANSLATE_NOOP("Help", "Commands:");

} // namespace

QString Program()
{
    return Text(30)
        .usage(kUsageWord, {"pictomat [COMMAND] [ARGUMENTS]"})
        .blank()
        .paragraph(QT_TRANSLATE_NOOP("Help",
                                     "Makes icons from the files selected in the file manager. Without a "
                                     "command, Pictomat starts in the system tray."))
        .blank()
        .heading(kCommands)
        .entry("select FILE... | --clear", QT_TRANSLATE_NOOP("Help", "hand the files over as the selection, or end it"))
        .entry("menu [FILE...]", QT_TRANSLATE_NOOP("Help",
                                                   "hand the files over and show the Pictomat menu at the "
                                                   "pointer, starting Pictomat if needed"))
        .entry("run COMMAND [FILE...]",
               QT_TRANSLATE_NOOP("Help",
                                 "run one command on the files, without a menu, and print each output's "
                                 "path; --output DIR, --open, --reveal and --quiet for this run"))
        .entry("run --tray COMMAND [FILE...]",
               QT_TRANSLATE_NOOP("Help",
                                 "run it in the running Pictomat (started if needed), as if chosen from its "
                                 "menu"))
        .entry("formats", QT_TRANSLATE_NOOP("Help", "list the image formats icons can be exported to"))
        .entry("preferences", QT_TRANSLATE_NOOP("Help", "open the preferences window"))
        .entry("defaults read|write|delete", QT_TRANSLATE_NOOP("Help", "edit the preferences from a shell"))
        .entry("icns list|extract|create",
               QT_TRANSLATE_NOOP("Help",
                                 "look inside icon files, save their pictures, make them from .iconset "
                                 "folders and PNG files"))
        .entry("ico list|extract|create", QT_TRANSLATE_NOOP("Help",
                                                            "the same for Windows icon files, made from a "
                                                            "picture or from PNG files"))
        .entry("iconset create DIR PICTURE",
               QT_TRANSLATE_NOOP("Help", "a picture as an .iconset folder's ten pictures"))
        .entry("hicolor create DIR PICTURE", QT_TRANSLATE_NOOP("Help", "a picture as a Linux icon theme's files"))
        .entry("appicons SOURCE OUTDIR", QT_TRANSLATE_NOOP("Help",
                                                           "a picture as the app icons of macOS, Windows, "
                                                           "Linux, iOS, Android and the web"))
        .entry("integrate [--remove]", QT_TRANSLATE_NOOP("Help", "add (or take out) the file-manager actions"))
        .entry("autostart on|off", QT_TRANSLATE_NOOP("Help", "start Pictomat with the desktop session, or not"))
        .blank()
        .heading(kOptions)
        .entry("-alpha VALUE", QT_TRANSLATE_NOOP("Help",
                                                 "background opacity (0 to 1) for this run; accepted "
                                                 "anywhere on the line before \"--\""))
        .entry("--", QT_TRANSLATE_NOOP("Help", "every word after it is a file (select, menu, run)"))
        .entry("-h, --help", QT_TRANSLATE_NOOP("Help", "show this help; after a command, its own"))
        .entry("-v, --version", QT_TRANSLATE_NOOP("Help", "show the version"))
        .blank()
        .heading(QT_TRANSLATE_NOOP("Help", "Commands of \"pictomat run\":"))
        .runCommands();
}

QString Run()
{
    return Text(17)
        .usage(kUsageWord, {"pictomat run [OPTION...] COMMAND [EXT | SIZE] [--] FILE..."})
        .blank()
        .paragraph(QT_TRANSLATE_NOOP("Help",
                                     "Runs one command of the Pictomat menu on the files, without the menu, "
                                     "and prints the path of each file or folder it makes, one a line."))
        .blank()
        .heading(kOptions)
        .entry("--output DIR", QT_TRANSLATE_NOOP("Help", "put this run's outputs in the folder DIR"))
        .entry("--open", QT_TRANSLATE_NOOP("Help", "open each output with its application"))
        .entry("--reveal", QT_TRANSLATE_NOOP("Help", "show the last output in the file manager"))
        .entry("--quiet", QT_TRANSLATE_NOOP("Help", "print neither the outputs' paths nor the progress line"))
        .entry("--tray", QT_TRANSLATE_NOOP("Help",
                                           "run it in the running Pictomat (started if needed), as if chosen "
                                           "from its menu: its preferences say what is opened"))
        .entry("-h, --help", QT_TRANSLATE_NOOP("Help", "show this help"))
        .blank()
        .heading(kCommands)
        .runCommands();
}

QString Verb(const QByteArray& verb)
{
    if (verb == "select")
        return Text()
            .usage(kUsageWord, {"pictomat select [--] FILE...", "pictomat select --clear"})
            .blank()
            .paragraph(QT_TRANSLATE_NOOP("Help",
                                         "Hands the files over to Pictomat as the selection its menu works "
                                         "on, or ends the hand-over."));
    if (verb == "menu")
        return Text()
            .usage(kUsageWord, {"pictomat menu [--] [FILE...]"})
            .blank()
            .paragraph(QT_TRANSLATE_NOOP("Help",
                                         "Hands the files over and shows the Pictomat menu at the pointer, "
                                         "starting Pictomat when it does not run."));
    if (verb == "formats")
        return Text()
            .usage(kUsageWord, {"pictomat formats"})
            .blank()
            .paragraph(QT_TRANSLATE_NOOP("Help",
                                         "Lists the image formats icons can be exported to: the extension, "
                                         "the description, the media type and the type code, separated by "
                                         "tabs."));
    if (verb == "preferences")
        return Text()
            .usage(kUsageWord, {"pictomat preferences"})
            .blank()
            .paragraph(QT_TRANSLATE_NOOP("Help", "Opens the preferences window. It needs a graphical display."));
    if (verb == "defaults")
        return Text()
            .usage(kUsageWord,
                   {"pictomat defaults read [KEY]", "pictomat defaults write KEY -bool|-int|-float|-string VALUE",
                    "pictomat defaults delete KEY"})
            .blank()
            .paragraph(QT_TRANSLATE_NOOP("Help", "Reads and edits the preferences from a shell."));
    if (verb == "integrate")
        return Text()
            .usage(kUsageWord, {"pictomat integrate [--remove]"})
            .blank()
            .paragraph(
                QT_TRANSLATE_NOOP("Help", "Adds the Pictomat actions to the file managers' menus, or takes them out."));
    if (verb == "autostart")
        return Text()
            .usage(kUsageWord, {"pictomat autostart on|off"})
            .blank()
            .paragraph(QT_TRANSLATE_NOOP("Help", "Starts Pictomat with the desktop session, or stops doing so."));
    return {};
}

QString Icns()
{
    return Text().usage(kToolUsageWord, {"pictomat icns list FILE", "pictomat icns extract [--force] FILE DIR",
                                         "pictomat icns extract --iconset [--force] FILE DIR",
                                         "pictomat icns create [--force] OUT.icns (FOLDER.iconset | PNG...)"});
}

QString Ico()
{
    return Text().usage(kToolUsageWord, {"pictomat ico list FILE", "pictomat ico extract [--force] FILE DIR",
                                         "pictomat ico create [--force] OUT.ico (PICTURE | PNG...)"});
}

QString Iconset()
{
    return Text().usage(kToolUsageWord, {"pictomat iconset create [--force] DIR PICTURE"});
}

QString Hicolor()
{
    return Text().usage(kToolUsageWord, {"pictomat hicolor create [--force] [--name NAME] DIR PICTURE"});
}

QString AppIcons()
{
    return Text()
        .usage(kToolUsageWord,
               {"pictomat appicons [--platforms LIST] [--macos-shape] [--background COLOR] [--name NAME]",
                "                  [--dark FILE] [--tinted FILE] [--monochrome FILE] [--force] SOURCE OUTDIR"})
        .usageNote(QT_TRANSLATE_NOOP("Help", "LIST: macos,windows,linux,ios,android,web (all by default)"));
}

} // namespace pictomat::help
