// The program in the user's language, read back the way the user meets it:
// the tray menu over dbusmenu, the messages on standard error, the launcher
// through GLib; and the catalogues held to the sources by Qt's and gettext's
// own tools, so that no marked text ships untranslated.

#include "DesktopSession.h"

#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <QRegularExpression>

namespace pictomat::test {
namespace {

// The environment of a user who speaks `language`. LANGUAGE is left out
// unless given: most desktops set only LANG.
QStringList speaking(const QString& lang, const QString& language = {})
{
    QStringList env = {QStringLiteral("LANG=") + lang, QStringLiteral("LC_ALL"), QStringLiteral("LC_MESSAGES")};
    env.append(language.isEmpty() ? QStringLiteral("LANGUAGE") : QStringLiteral("LANGUAGE=") + language);
    return env;
}

class TranslationTest : public DesktopSession {
protected:
    // The tray program, started in `lang`, its menu read as a host reads it
    // once a file was handed over.
    QStringList trayMenuIn(const QStringList& language)
    {
        OwnedProcess watcher;
        startOwned(watcher, QStringLiteral(WATCHER_STANDIN));
        EXPECT_TRUE(watcher.process.waitForReadyRead(10000));
        OwnedProcess tray;
        QProcessEnvironment env = environment();
        for (const QString& entry : language) {
            const qsizetype eq = entry.indexOf(QLatin1Char('='));
            if (eq < 0)
                env.remove(entry);
            else
                env.insert(entry.left(eq), entry.mid(eq + 1));
        }
        tray.process.setProcessEnvironment(env);
        tray.process.start(QStringLiteral(PICTOMAT_BINARY), {});
        EXPECT_TRUE(tray.process.waitForStarted(5000));
        EXPECT_TRUE(waitUntil([&] { return nameHasOwner(QStringLiteral("com.corvane.Pictomat")); }, 15000));
        QString item;
        QString menuPath;
        if (!findTrayMenu(item, menuPath))
            return {QStringLiteral("no tray menu")};
        const ProcessResult select = RunPictomat({QStringLiteral("select"), fileArguments().first()}, m_environment);
        EXPECT_EQ(select.exitCode, 0) << select.err.toStdString();
        QStringList labels;
        for (const MenuItem& i : readTrayMenu(item, menuPath))
            labels.append(i.label);
        return labels;
    }
};

TEST_F(TranslationTest, TrayMenuSpeaksTheUsersLanguageAndEnglishStaysAsItWas)
{
    const QStringList german = trayMenuIn(speaking(QStringLiteral("de_DE.UTF-8")));
    for (const char* title : {"Symbol der Datei erstellen", "Symbol aus dem Medium erstellen",
                              "Eigenes Symbol entfernen", "Pictomat-Ordner öffnen …", "Einstellungen …", "Beenden"})
        EXPECT_TRUE(german.contains(QString::fromUtf8(title))) << title << "\n" << german.join('\n').toStdString();
    // The header names the item in the language's own words, the name as it is.
    EXPECT_TRUE(german.contains(QStringLiteral("1 Objekt, erstes Objekt: a.txt"))) << german.join('\n').toStdString();
    EXPECT_FALSE(german.contains(QStringLiteral("Quit")));
    EXPECT_FALSE(german.contains(QStringLiteral("Make Icon for File")));

    // LANGUAGE ranks the languages over LANG, as gettext does.
    const QStringList french = trayMenuIn(speaking(QStringLiteral("de_DE.UTF-8"), QStringLiteral("fr_FR:fr:de")));
    for (const char* title : {"Créer l’icône du fichier", "Supprimer l’icône personnalisée", "Préférences…", "Quitter"})
        EXPECT_TRUE(french.contains(QString::fromUtf8(title))) << title << "\n" << french.join('\n').toStdString();

    // A language without a catalogue leaves every text in English.
    const QStringList english = trayMenuIn(speaking(QStringLiteral("en_GB.UTF-8")));
    for (const char* title : {"Make Icon for File", "Make Icon for Media", "Remove Custom Icon",
                              "Go to Pictomat folder...", "Preferences...", "Quit", "1 Item, First item: a.txt"})
        EXPECT_TRUE(english.contains(QString::fromUtf8(title))) << title << "\n" << english.join('\n').toStdString();
}

TEST_F(TranslationTest, MessagesSaidBeforeAndAfterTheApplicationStartsAreTranslated)
{
    // Without a display the tray says so before any application object exists.
    const QStringList noDisplay = {QStringLiteral("DISPLAY"), QStringLiteral("WAYLAND_DISPLAY"),
                                   QStringLiteral("QT_QPA_PLATFORM")};
    const ProcessResult de = RunPictomat({}, noDisplay + speaking(QStringLiteral("de_DE.UTF-8")));
    EXPECT_EQ(de.exitCode, 1);
    EXPECT_EQ(
        QString::fromUtf8(de.err),
        QString::fromUtf8("pictomat: der Systembereich braucht eine grafische Sitzung, und hier ist keine Anzeige "
                          "erreichbar; „pictomat run COMMAND FILE...“ funktioniert ohne\n"));
    const ProcessResult fr = RunPictomat({}, noDisplay + speaking(QStringLiteral("fr_FR.UTF-8")));
    EXPECT_TRUE(fr.err.startsWith("pictomat: la zone de notification a besoin d’une session graphique"))
        << fr.err.toStdString();
    const ProcessResult c = RunPictomat({}, noDisplay + speaking(QStringLiteral("C.UTF-8")));
    EXPECT_EQ(c.err, QByteArray("pictomat: the tray needs a graphical session and no display can be reached here; "
                                "\"pictomat run COMMAND FILE...\" works without one\n"));

    // Once the tray runs, a second start is told so in German too.
    OwnedProcess watcher;
    startOwned(watcher, QStringLiteral(WATCHER_STANDIN));
    ASSERT_TRUE(watcher.process.waitForReadyRead(10000));
    OwnedProcess tray;
    startOwned(tray, QStringLiteral(PICTOMAT_BINARY));
    ASSERT_TRUE(waitUntil([&] { return nameHasOwner(QStringLiteral("com.corvane.Pictomat")); }, 15000));
    const ProcessResult second = RunPictomat({}, m_environment + speaking(QStringLiteral("de_DE.UTF-8")), 20000);
    EXPECT_EQ(second.exitCode, 0);
    EXPECT_EQ(QString::fromUtf8(second.err), QString::fromUtf8("pictomat: Pictomat läuft bereits\n"));
}

// The launcher and the catalogues need no display and no bus.
using CatalogueTest = TestEnv;

TEST_F(CatalogueTest, LauncherIsReadInTheUsersLanguageByGLib)
{
    // The launcher as the build writes it and installing completes it (GLib
    // takes only a launcher whose program exists), read by GLib as a
    // desktop's menu and file managers read launchers.
    QFile built(QStringLiteral(PICTOMAT_BUILD_DIR "/desktop/com.corvane.Pictomat.desktop.in"));
    ASSERT_TRUE(built.open(QIODevice::ReadOnly));
    const QString launcher = QFile::decodeName(
        writeFile("com.corvane.Pictomat.desktop", built.readAll().replace("@PICTOMAT_EXEC@", PICTOMAT_BINARY)));
    const QString script = QStringLiteral(R"(
import sys, gi
gi.require_version("Gio", "2.0")
from gi.repository import Gio
info = Gio.DesktopAppInfo.new_from_filename(sys.argv[1])
print(info.get_generic_name())
print(info.get_description())
for action in info.list_actions():
    print(action + "=" + info.get_action_name(action))
)");
    auto read = [&](const QStringList& language) {
        const ProcessResult r =
            RunProcess(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), script, launcher}, language);
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        return QString::fromUtf8(r.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    };
    EXPECT_EQ(read(speaking(QStringLiteral("de_DE.UTF-8"))),
              QStringList({QStringLiteral("Symbolersteller"),
                           QStringLiteral("Symbole aus den Dateien erstellen, die Sie im Dateimanager auswählen"),
                           QStringLiteral("preferences=Einstellungen …"),
                           QString::fromUtf8("go-to-folder=Pictomat-Ordner öffnen …")}));
    EXPECT_EQ(read(speaking(QStringLiteral("fr_FR.UTF-8"))).value(2), QString::fromUtf8("preferences=Préférences…"));
    EXPECT_EQ(read(speaking(QStringLiteral("C.UTF-8"))),
              QStringList({QStringLiteral("Icon Maker"),
                           QStringLiteral("Make icons from the files you select in your file manager"),
                           QStringLiteral("preferences=Preferences..."),
                           QStringLiteral("go-to-folder=Go to Pictomat folder...")}));
}

TEST_F(CatalogueTest, AFailedCommandTellsTheUserInTheirLanguageAndTheLogInEnglish)
{
    const QByteArray bad = writeFile("bad.png", "not a picture");
    const QString out = work() + QStringLiteral("/out");
    ASSERT_TRUE(QDir().mkpath(out));
    auto run = [&](const QString& lang) {
        return RunPictomat({QStringLiteral("run"), QStringLiteral("make-media-icon"), QStringLiteral("--output"), out,
                            QFile::decodeName(bad)},
                           speaking(lang) + QStringList{QStringLiteral("PICTOMAT_LOG_STDERR=1")});
    };
    const QString item = QFile::decodeName(bad);
    // One line for the item: the message and its cause in German, what the
    // log says of it in English.
    const ProcessResult de = run(QStringLiteral("de_DE.UTF-8"));
    EXPECT_EQ(de.exitCode, 1);
    const QString said = QString::fromUtf8(de.err);
    EXPECT_TRUE(
        said.contains(QStringLiteral("pictomat: %1: Die Symbolfamilie konnte nicht erstellt werden. (kein Bild, "
                                     "kein Film und keine Symboldatei, die Pictomat lesen kann)\n")
                          .arg(item)))
        << said.toStdString();
    EXPECT_TRUE(said.contains(QStringLiteral("bad.png.icns could not be written: nothing could be made for it")))
        << said.toStdString();

    const ProcessResult fr = run(QStringLiteral("fr_FR.UTF-8"));
    EXPECT_TRUE(QString::fromUtf8(fr.err).contains(
        QStringLiteral("pictomat: %1: La famille d’icônes n’a pas pu être créée. (pas une image").arg(item)))
        << fr.err.toStdString();

    // A cause the log names too: German where the user reads it, English in
    // the log, and no log line in the user's language.
    const ProcessResult ico =
        RunPictomat({QStringLiteral("run"), QStringLiteral("make-media-ico"), QStringLiteral("--output"), out, item},
                    speaking(QStringLiteral("C.UTF-8"), QStringLiteral("de"))
                        + QStringList{QStringLiteral("PICTOMAT_LOG_STDERR=1")});
    EXPECT_EQ(ico.exitCode, 1);
    const QStringList lines = QString::fromUtf8(ico.err).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    EXPECT_TRUE(lines.contains(QStringLiteral("pictomat: %1: Das Symbol konnte nicht aus der Datei gewonnen werden. "
                                              "(kein Bild, kein Film und keine Symboldatei, die Pictomat lesen kann)")
                                   .arg(item)))
        << ico.err.toStdString();
    EXPECT_TRUE(lines.contains(
        QStringLiteral("Pictomat[log]: Pictomat: %1: not a picture, movie or icon file that Pictomat reads").arg(item)))
        << ico.err.toStdString();
    for (const QString& line : lines) {
        if (!line.startsWith(QStringLiteral("Pictomat[log]: ")))
            continue;
        EXPECT_FALSE(line.contains(QStringLiteral("kein")) || line.contains(QStringLiteral("Symbol")))
            << line.toStdString();
    }

    // English stays exactly as it was.
    const ProcessResult c = run(QStringLiteral("C.UTF-8"));
    EXPECT_TRUE(c.err.contains("pictomat: " + bad
                               + ": The icon family could not be created. (not a picture, movie or icon file that "
                                 "Pictomat reads)\n"))
        << c.err.toStdString();
}

// The help a shell user reads: the describing words in their language, what
// they type (verbs, options, FILE, DIR) as it is, in columns that still line
// up; in English exactly as it has always been.
TEST_F(CatalogueTest, HelpIsReadInTheUsersLanguageWithWhatTheUserTypesKept)
{
    auto help = [](const QStringList& arguments, const QString& language) {
        QStringList env = speaking(QStringLiteral("C.UTF-8"), language);
        const ProcessResult r = RunPictomat(arguments, env);
        EXPECT_EQ(r.exitCode, 0) << arguments.join(' ').toStdString() << " " << language.toStdString();
        EXPECT_EQ(r.err, QByteArray()) << arguments.join(' ').toStdString();
        // A no-break space keeps words together for the layout only.
        EXPECT_FALSE(r.out.contains("\xc2\xa0")) << r.out.toStdString();
        return QString::fromUtf8(r.out);
    };
    // The options' block of "run --help": each option at the margin with its
    // description from column 17, or a description's further line there.
    auto optionsLineUp = [](const QString& text) {
        const QStringList lines = text.split(QLatin1Char('\n'));
        const qsizetype from = lines.indexOf(QRegularExpression(QStringLiteral("^Option.*:$")));
        const qsizetype to = lines.indexOf(QString(), from);
        EXPECT_GT(from, 0) << text.toStdString();
        EXPECT_GT(to, from + 6) << text.toStdString();
        static const QRegularExpression entry(
            QStringLiteral("^(  (--output DIR|--open|--reveal|--quiet|--tray|-h, "
                           "--help) +| {17})\\S"));
        for (qsizetype i = from + 1; i < to; ++i) {
            EXPECT_TRUE(entry.match(lines[i]).capturedLength(1) == 17) << lines[i].toStdString();
            EXPECT_LE(lines[i].size(), 79) << lines[i].toStdString();
        }
    };

    const QString de = help({QStringLiteral("run"), QStringLiteral("--help")}, QStringLiteral("de"));
    EXPECT_TRUE(
        de.startsWith(QStringLiteral("Aufruf: pictomat run [OPTION...] COMMAND [EXT | SIZE] [--] FILE...\n\n"
                                     "Wendet einen Befehl des Pictomat-Menüs ohne das Menü auf die Dateien")))
        << de.toStdString();
    EXPECT_TRUE(de.contains(QStringLiteral("\n  --output DIR   die Ausgaben dieses Laufs im Ordner DIR ablegen\n")))
        << de.toStdString();
    // The commands by their verbs, with the tool tips the menu shows.
    EXPECT_TRUE(
        de.contains(QStringLiteral("\nBefehle:\n  make-icon              Erstellt eine ICNS-Datei aus dem "
                                   "Symbol der Datei.\n")))
        << de.toStdString();
    EXPECT_TRUE(
        de.contains(QStringLiteral("\n  export EXT             Exportiert das Symbol der Datei als Bild im "
                                   "Format EXT")))
        << de.toStdString();
    optionsLineUp(de);

    const QString fr =
        help({QStringLiteral("run"), QStringLiteral("export"), QStringLiteral("--help")}, QStringLiteral("fr"));
    EXPECT_TRUE(fr.startsWith(QStringLiteral("Utilisation : pictomat run [OPTION...] COMMAND")));
    EXPECT_TRUE(fr.contains(QStringLiteral("\nOptions :\n  --output DIR   placer les sorties de cette exécution")));
    EXPECT_TRUE(
        fr.contains(QStringLiteral("\n  remove-icon            Supprime toute icône personnalisée du "
                                   "fichier.\n")))
        << fr.toStdString();
    optionsLineUp(fr);

    // Another verb, whose forms stay under each other below a longer word.
    const QString appDe = help({QStringLiteral("appicons"), QStringLiteral("--help")}, QStringLiteral("de"));
    EXPECT_EQ(appDe, QStringLiteral("Aufruf: pictomat appicons [--platforms LIST] [--macos-shape] [--background "
                                    "COLOR] [--name NAME]\n"
                                    "                          [--dark FILE] [--tinted FILE] [--monochrome FILE] "
                                    "[--force] SOURCE OUTDIR\n"
                                    "        LIST: macos,windows,linux,ios,android,web (ohne Angabe alle)\n"));
    const QString appFr = help({QStringLiteral("appicons"), QStringLiteral("--help")}, QStringLiteral("fr"));
    EXPECT_TRUE(appFr.startsWith(QStringLiteral("utilisation : pictomat appicons [--platforms LIST]")));
    EXPECT_TRUE(appFr.contains(QStringLiteral("\n                                [--dark FILE]")));
    EXPECT_TRUE(
        appFr.endsWith(QStringLiteral("\n              LIST : macos,windows,linux,ios,android,web (toutes par "
                                      "défaut)\n")));
    const QString selectDe = help({QStringLiteral("select"), QStringLiteral("--help")}, QStringLiteral("de"));
    EXPECT_EQ(selectDe, QStringLiteral("Aufruf: pictomat select [--] FILE...\n"
                                       "        pictomat select --clear\n\n"
                                       "Übergibt die Dateien an Pictomat als die Auswahl, mit der sein Menü\n"
                                       "arbeitet, oder beendet die Übergabe.\n"));

    // Without a language of its own the help is English, as it always was.
    const QString en = help({QStringLiteral("run"), QStringLiteral("--help")}, QString());
    EXPECT_TRUE(
        en.startsWith(QStringLiteral("Usage: pictomat run [OPTION...] COMMAND [EXT | SIZE] [--] FILE...\n"
                                     "\n"
                                     "Runs one command of the Pictomat menu on the files, without the menu, and\n"
                                     "prints the path of each file or folder it makes, one a line.\n"
                                     "\n"
                                     "Options:\n"
                                     "  --output DIR   put this run's outputs in the folder DIR\n"
                                     "  --open         open each output with its application\n"
                                     "  --reveal       show the last output in the file manager\n"
                                     "  --quiet        print neither the outputs' paths nor the progress line\n"
                                     "  --tray         run it in the running Pictomat (started if needed), as if\n"
                                     "                 chosen from its menu: its preferences say what is opened\n"
                                     "  -h, --help     show this help\n"
                                     "\n"
                                     "Commands:\n"
                                     "  make-icon              Make an ICNS file for the file's icon.\n")))
        << en.toStdString();
    EXPECT_TRUE(
        en.contains(QStringLiteral("\n  set-icon-size SIZE     Set the icon size, from 16 to 1024 pixels, that "
                                   "the icons are drawn at.\n")));
    EXPECT_EQ(help({QStringLiteral("appicons"), QStringLiteral("-h")}, QString()),
              QStringLiteral("usage: pictomat appicons [--platforms LIST] [--macos-shape] [--background COLOR] "
                             "[--name NAME]\n"
                             "                         [--dark FILE] [--tinted FILE] [--monochrome FILE] [--force] "
                             "SOURCE OUTDIR\n"
                             "       LIST: macos,windows,linux,ios,android,web (all by default)\n"));
    const QString main = help({QStringLiteral("--help")}, QString());
    EXPECT_TRUE(
        main.contains(QStringLiteral("\n  menu [FILE...]              hand the files over and show the Pictomat menu\n"
                                     "                              at the pointer, starting Pictomat if needed\n"
                                     "  run COMMAND [FILE...]       run one command on the files, without a menu,\n"
                                     "                              and print each output's path; --output DIR,\n"
                                     "                              --open, --reveal and --quiet for this run\n"
                                     "  run --tray COMMAND [FILE...]\n"
                                     "                              run it in the running Pictomat (started if\n"
                                     "                              needed), as if chosen from its menu\n")))
        << main.toStdString();
    EXPECT_TRUE(main.contains(
        QStringLiteral("\n  --                          every word after it is a file (select, menu, run)\n")));
    // A mistake after the help's words is still told in the user's language.
    const ProcessResult mistake = RunPictomat({QStringLiteral("appicons"), QStringLiteral("--background"),
                                               QStringLiteral("mauve-ish"), QStringLiteral("a"), QStringLiteral("b")},
                                              speaking(QStringLiteral("C.UTF-8"), QStringLiteral("de")));
    EXPECT_EQ(mistake.exitCode, 2);
    EXPECT_TRUE(QString::fromUtf8(mistake.err)
                    .startsWith(QStringLiteral("pictomat: „mauve-ish“ ist keine Farbe (ein Name wie white oder "
                                               "#RRGGBB)\nAufruf: pictomat appicons")))
        << mistake.err.toStdString();
}

// Qt's tools read the sources and the shipped files: every text the sources
// mark is in every language's file with a finished translation that keeps
// the text's placeholders, and nothing is left there that the sources no
// longer say.
TEST_F(CatalogueTest, EveryMarkedTextHasAFinishedTranslationThatKeepsItsPlaceholders)
{
    const QString shipped = QStringLiteral(PICTOMAT_SOURCE_DIR "/translations");
    const QStringList files = QDir(shipped).entryList({QStringLiteral("pictomat_*.ts")});
    ASSERT_GE(files.size(), 2);
    for (const QString& name : files) {
        SCOPED_TRACE(name.toStdString());
        const QString copy = work() + QLatin1Char('/') + name;
        ASSERT_TRUE(QFile::copy(shipped + QLatin1Char('/') + name, copy));
        const ProcessResult update = RunProcess(
            QStringLiteral(PICTOMAT_LUPDATE),
            {QStringLiteral("-locations"), QStringLiteral("none"), QStringLiteral("-no-obsolete"),
             QStringLiteral("-no-ui-lines"), QStringLiteral(PICTOMAT_SOURCE_DIR "/src"), QStringLiteral("-ts"), copy});
        ASSERT_EQ(update.exitCode, 0) << update.err.toStdString();
        // lupdate counts what it found and what it had to add.
        EXPECT_TRUE(update.out.contains(" (0 new and ")) << update.out.toStdString();

        const ProcessResult check = RunPython(QStringLiteral(R"py(
import re, sys, xml.etree.ElementTree as ET
shipped = ET.parse(sys.argv[1]).getroot()
current = ET.parse(sys.argv[2]).getroot()
def messages(root):
    return {(c.findtext("name"), m.findtext("source")): m for c in root.iter("context") for m in c.iter("message")}
had, has = messages(shipped), messages(current)
for key in sorted(set(had) - set(has)):
    print("no longer in the sources:", key)
placeholder = re.compile(r"%(?:\d+|n)")
for key, m in sorted(has.items()):
    t = m.find("translation")
    if t.get("type") in ("unfinished", "vanished", "obsolete") or not (t.text or "").strip():
        print("untranslated:", key)
        continue
    if sorted(placeholder.findall(key[1])) != sorted(placeholder.findall(t.text)):
        print("placeholders differ:", key, "->", t.text)
    if key[1].count("\n") != t.text.count("\n"):
        print("lines differ:", key, "->", t.text)
print(len(has), "messages")
)py"),
                                              {shipped + QLatin1Char('/') + name, copy});
        ASSERT_EQ(check.exitCode, 0) << check.err.toStdString();
        const QStringList lines = QString::fromUtf8(check.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        ASSERT_FALSE(lines.isEmpty());
        EXPECT_EQ(lines.size(), 1) << check.out.toStdString();

        // The compiled catalogue the build installs holds every one of them.
        const ProcessResult release = RunProcess(QStringLiteral(PICTOMAT_LRELEASE),
                                                 {copy, QStringLiteral("-qm"), work() + QStringLiteral("/check.qm")});
        ASSERT_EQ(release.exitCode, 0) << release.err.toStdString();
        EXPECT_TRUE(release.out.contains(" finished and 0 unfinished)")) << release.out.toStdString();
        EXPECT_FALSE(release.out.contains("Ignored")) << release.out.toStdString();
    }
}

// gettext's tools hold the launcher's and the AppStream file's texts to the
// po files: every text the two files carry has a translation in every
// language, none of them fuzzy.
TEST_F(CatalogueTest, EveryLauncherAndAppStreamTextHasATranslation)
{
    const QString source = QStringLiteral(PICTOMAT_SOURCE_DIR);
    const QString pot = work() + QStringLiteral("/texts.pot");
    ProcessResult r = RunProcess(QStringLiteral("xgettext"),
                                 {QStringLiteral("--from-code=UTF-8"), QStringLiteral("-L"), QStringLiteral("Desktop"),
                                  QStringLiteral("-o"), pot,
                                  source + QStringLiteral("/data/desktop/com.corvane.Pictomat.desktop.in")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    r = RunProcess(QStringLiteral("xgettext"),
                   {QStringLiteral("--from-code=UTF-8"), QStringLiteral("-j"), QStringLiteral("-o"), pot,
                    source + QStringLiteral("/data/desktop/com.corvane.Pictomat.metainfo.xml")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    QFile linguas(source + QStringLiteral("/po/LINGUAS"));
    ASSERT_TRUE(linguas.open(QIODevice::ReadOnly));
    const QStringList languages = QString::fromUtf8(linguas.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    EXPECT_TRUE(languages.contains(QStringLiteral("de")) && languages.contains(QStringLiteral("fr")));
    for (const QString& lang : languages) {
        SCOPED_TRACE(lang.toStdString());
        const QString po = source + QStringLiteral("/po/") + lang + QStringLiteral(".po");
        // msgcmp fails on a text of the template that the po file lacks.
        r = RunProcess(QStringLiteral("msgcmp"), {po, pot});
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        r = RunProcess(QStringLiteral("msgfmt"),
                       {QStringLiteral("--check"), QStringLiteral("--statistics"), QStringLiteral("-o"),
                        QStringLiteral("/dev/null"), po},
                       {QStringLiteral("LC_ALL=C.UTF-8"), QStringLiteral("LANGUAGE")});
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_TRUE(r.err.endsWith(" translated messages.\n")) << r.err.toStdString();
    }
}

} // namespace
} // namespace pictomat::test
