#include "integration/Integration.h"
#include "DesktopSession.h"
#include "prefs/PreferenceStore.h"

#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QFileInfo>

using namespace pictomat;

namespace {

const QByteArray kUsersUca = R"(<?xml version="1.0" encoding="UTF-8"?>
<!-- my own actions -->
<actions>
<action>
	<icon>utilities-terminal</icon>
	<name>Open Terminal Here</name>
	<unique-id>1111-1</unique-id>
	<command>exo-open --working-directory %f --launch TerminalEmulator</command>
	<description>Example for a custom action</description>
	<patterns>*</patterns>
	<startup-notify/>
	<directories/>
</action>
<action>
	<icon>edit-find</icon>
	<name>Search</name>
	<unique-id>2222-2</unique-id>
	<command>catfish --path=%f</command>
	<description>Search</description>
	<patterns>*</patterns>
	<directories/>
</action>
</actions>
)";

QStringList actionIds(const QString& ucaPath)
{
    QFile f(ucaPath);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    QDomDocument doc;
    EXPECT_TRUE(doc.setContent(f.readAll()));
    QStringList ids;
    for (QDomElement a = doc.documentElement().firstChildElement("action"); !a.isNull();
         a = a.nextSiblingElement("action"))
        ids.append(a.firstChildElement("unique-id").text());
    return ids;
}

QMap<QString, QByteArray> snapshot(const QString& root)
{
    QMap<QString, QByteArray> files;
    QDir dir(root);
    const QStringList entries = dir.entryList(QDir::Files | QDir::Hidden, QDir::Name);
    for (const QString& e : entries) {
        QFile f(dir.filePath(e));
        f.open(QIODevice::ReadOnly);
        files.insert(dir.filePath(e), f.readAll());
    }
    for (const QString& sub : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        files.insert(snapshot(dir.filePath(sub)));
    return files;
}

// The groups and keys of a desktop-entry style file as KConfig reads them:
// comments and blank lines skipped, "Key=Value" with blanks around '=' trimmed.
QMap<QString, QMap<QString, QString>> kconfigGroups(const QString& path)
{
    QMap<QString, QMap<QString, QString>> groups;
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    QString group;
    for (const QString& raw : QString::fromUtf8(f.readAll()).split('\n')) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        if (line.startsWith('[') && line.endsWith(']')) {
            group = line.mid(1, line.size() - 2);
            continue;
        }
        const qsizetype eq = line.indexOf('=');
        EXPECT_GT(eq, 0) << "not a key: " << line.toStdString();
        groups[group].insert(line.left(eq).trimmed(), line.mid(eq + 1).trimmed());
    }
    return groups;
}

class IntegrationTest : public test::TestEnv {
protected:
    void SetUp() override
    {
        test::TestEnv::SetUp();
        m_savedConfigDirs = qgetenv("XDG_CONFIG_DIRS");
        // The system's actions Thunar falls back on.
        qputenv("XDG_CONFIG_DIRS", QFile::encodeName(root() + "/xdg"));
    }
    void TearDown() override
    {
        qputenv("XDG_CONFIG_DIRS", m_savedConfigDirs);
        test::TestEnv::TearDown();
    }
    QByteArray m_savedConfigDirs;
    prefs::PreferenceStore preferences{preferenceFile()};
};

TEST_F(IntegrationTest, ThunarActionsAreMergedAndRemovedLeavingTheUsersOwn)
{
    const QString uca = configHome() + "/Thunar/uca.xml";
    writeFile(uca, kUsersUca);
    const QString command = "/opt/my apps/pictomat";

    IntegrationResult added = AddFileManagerActions(preferences, command);
    EXPECT_TRUE(added.errors.isEmpty()) << added.errors.join('\n').toStdString();
    EXPECT_EQ(added.updated, QStringList{uca});
    // The user's actions first, as they were, then ours, the menu's first.
    const QStringList ids = actionIds(uca);
    ASSERT_GT(ids.size(), 3);
    EXPECT_EQ(ids.mid(0, 3).join(' ').toStdString(), "1111-1 2222-2 com.corvane.Pictomat.menu");
    EXPECT_EQ(test::RunProcess("xmllint", {"--noout", uca}).exitCode, 0);

    // A second run changes nothing at all.
    const auto before = snapshot(root());
    const IntegrationResult again = AddFileManagerActions(preferences, command);
    EXPECT_TRUE(again.added.isEmpty() && again.updated.isEmpty());
    EXPECT_EQ(snapshot(root()), before);

    // Taking ours out gives the user's file back byte for byte, and says it
    // was edited, not removed.
    IntegrationResult removed = RemoveFileManagerActions();
    EXPECT_TRUE(removed.errors.isEmpty());
    EXPECT_EQ(removed.updated, QStringList{uca});
    EXPECT_FALSE(removed.removed.contains(uca));
    EXPECT_EQ(snapshot(root()).value(uca), kUsersUca);
    const IntegrationResult twice = RemoveFileManagerActions();
    EXPECT_TRUE(twice.removed.isEmpty() && twice.updated.isEmpty());
}

TEST_F(IntegrationTest, WithoutAUcaFileThunarKeepsTheSystemActionsAndRemovalRestoresTheStart)
{
    const QByteArray system =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<actions>\n<action>\n"
        "\t<name>Open Terminal Here</name>\n\t<unique-id>1-1</unique-id>\n"
        "\t<command>exo-open --working-directory %f --launch TerminalEmulator</command>\n"
        "\t<patterns>*</patterns>\n\t<directories/>\n</action>\n</actions>\n";
    writeFile(root() + "/xdg/Thunar/uca.xml", system);
    const QString uca = configHome() + "/Thunar/uca.xml";
    const auto before = snapshot(root());

    ASSERT_TRUE(AddFileManagerActions(preferences, "/usr/bin/pictomat").errors.isEmpty());
    EXPECT_EQ(actionIds(uca).mid(0, 2).join(' ').toStdString(), "1-1 com.corvane.Pictomat.menu");
    EXPECT_EQ(test::RunProcess("xmllint", {"--noout", uca}).exitCode, 0);

    // Nothing changed meanwhile: the file and the folders made for it go, and
    // everything is as before.
    const IntegrationResult removed = RemoveFileManagerActions();
    EXPECT_TRUE(removed.errors.isEmpty()) << removed.errors.join('\n').toStdString();
    EXPECT_TRUE(removed.removed.contains(uca));
    EXPECT_EQ(snapshot(root()), before);
    EXPECT_FALSE(QFileInfo::exists(configHome() + "/Thunar"));
    EXPECT_FALSE(QFileInfo::exists(dataHome() + "/kio"));

    // An action the user added in Thunar meanwhile makes the file theirs: it stays.
    ASSERT_TRUE(AddFileManagerActions(preferences, "/usr/bin/pictomat").errors.isEmpty());
    QFile f(uca);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    QByteArray edited = f.readAll();
    f.close();
    edited.replace("</actions>",
                   "<action><name>Mine</name><unique-id>3-3</unique-id><command>true</command></action>\n</actions>");
    writeFile(uca, edited);
    EXPECT_TRUE(RemoveFileManagerActions().updated.contains(uca));
    EXPECT_EQ(actionIds(uca).join(' ').toStdString(), "1-1 3-3");
}

// The entries as each file manager reads them: one per command the menu
// offers, beside the one that shows the menu, nested under "Pictomat" where
// the file manager nests (Nautilus and Caja script folders, Dolphin's
// X-KDE-Submenu, a PCManFM-Qt menu, Thunar's submenu) and named "Pictomat: ..."
// where it cannot (Nemo). What runs them is checked in the D-Bus tests.
TEST_F(IntegrationTest, EveryFileManagerGetsAnEntryPerOfferedCommandAndOnlyOursIsRemoved)
{
    const QString command = "/usr/bin/pictomat";
    // A file of the user's own at one of our paths, without our mark, is
    // neither replaced nor removed.
    const QString nemoMenu = dataHome() + "/nemo/actions/pictomat.nemo_action";
    writeFile(nemoMenu, "[Nemo Action]\nName=Mine\n");
    // What an older Pictomat added: one script where the folder of scripts goes now.
    const QByteArray mark = "# Added by \"pictomat integrate\"; \"pictomat integrate --remove\" takes it out.\n";
    const QString oldScript = dataHome() + "/nautilus/scripts/Pictomat";
    writeFile(oldScript, "#!/bin/sh\n" + mark + "exec pictomat menu -- \"$@\"\n");
    // With Copy Icon for File switched off, it has no entries.
    ASSERT_EQ(test::RunPictomat({"defaults", "write", "IncludeCopyIcon", "-bool", "false"}).exitCode, 0);

    const IntegrationResult added = AddFileManagerActions(preferences, command);
    ASSERT_EQ(added.errors.size(), 1) << added.errors.join('\n').toStdString();
    EXPECT_TRUE(added.errors.first().contains(nemoMenu));
    EXPECT_TRUE(added.removed.contains(oldScript));

    const QStringList titles = {"Pictomat Menu...",
                                "Make Icon for File",
                                "Make Icon for Media",
                                "Add Shortcut Icon",
                                "Add Custom Icon from Clipboard",
                                "Add Custom Icon to Media",
                                "Remove Custom Icon",
                                "Export Icon as PNG",
                                "Export Icon as JPEG",
                                "Export Icon as TIFF",
                                "Export Icon as WebP",
                                "Export Icon as BMP",
                                "Export Icon as ICO"};
    const QStringList runs = {"menu",
                              "run --tray make-icon",
                              "run --tray make-media-icon",
                              "run --tray add-shortcut-icon",
                              "run --tray paste-icon",
                              "run --tray add-media-icon",
                              "run --tray remove-icon",
                              "run --tray export png",
                              "run --tray export jpg",
                              "run --tray export tif",
                              "run --tray export webp",
                              "run --tray export bmp",
                              "run --tray export ico"};

    // Nautilus and Caja: a folder of executable scripts, named as shown.
    for (const QString& folder : {dataHome() + "/nautilus/scripts/Pictomat", configHome() + "/caja/scripts/Pictomat"}) {
        QStringList scripts = QDir(folder).entryList(QDir::Files);
        QStringList expected = titles;
        scripts.sort();
        expected.sort();
        EXPECT_EQ(scripts, expected) << folder.toStdString();
        for (const QString& s : scripts)
            EXPECT_TRUE(QFileInfo(folder + "/" + s).isExecutable()) << s.toStdString();
    }

    // Dolphin's service menu as KIO reads it: KIO lists Type=Service entries
    // (not Type=Application) that may be executed, for the MIME types given,
    // each listed action in a group of its own with a name and a command,
    // all of them in the submenu X-KDE-Submenu names.
    const QString dolphin = dataHome() + "/kio/servicemenus/com.corvane.Pictomat.desktop";
    EXPECT_TRUE(QFileInfo(dolphin).isExecutable());
    const auto groups = kconfigGroups(dolphin);
    const auto entry = groups.value("Desktop Entry");
    EXPECT_EQ(entry.value("Type"), "Service");
    EXPECT_EQ(entry.value("X-KDE-Submenu"), "Pictomat");
    EXPECT_TRUE(entry.value("MimeType").split(';', Qt::SkipEmptyParts).contains("all/all"));
    EXPECT_TRUE(entry.value("X-KDE-ServiceTypes").split(',').contains("KonqPopupMenu/Plugin"));
    // Dolphin shows the actions in the order of their ids: alphabetically.
    QStringList actions = entry.value("Actions").split(';', Qt::SkipEmptyParts);
    ASSERT_EQ(actions.size(), titles.size());
    actions.sort();
    QStringList shown;
    for (const QString& action : actions)
        shown.append(groups.value("Desktop Action " + action).value("Name"));
    QStringList alphabetical = titles;
    alphabetical.sort(Qt::CaseInsensitive);
    EXPECT_EQ(shown, alphabetical);
    for (const QString& action : actions) {
        const auto group = groups.value("Desktop Action " + action);
        const qsizetype i = titles.indexOf(group.value("Name"));
        ASSERT_GE(i, 0) << action.toStdString();
        EXPECT_EQ(group.value("Exec"), command + " " + runs.at(i) + " -- %F");
    }

    // Nemo: entries of their own, named after Pictomat; the user's file stays.
    QStringList nemoNames;
    for (const QString& f : QDir(dataHome() + "/nemo/actions").entryList({"*.nemo_action"}, QDir::Files)) {
        const auto nemo = kconfigGroups(dataHome() + "/nemo/actions/" + f).value("Nemo Action");
        nemoNames.append(nemo.value("Name"));
        if (nemo.value("Name") != "Mine") {
            EXPECT_TRUE(nemo.value("Exec").startsWith(command + " ")) << nemo.value("Exec").toStdString();
        }
    }
    nemoNames.sort();
    QStringList expectedNemo = {"Mine"};
    for (const QString& t : titles.mid(1))
        expectedNemo.append("Pictomat: " + t);
    expectedNemo.sort();
    EXPECT_EQ(nemoNames, expectedNemo);

    // PCManFM-Qt: a menu whose items are action files of their own.
    const QString fmActions = dataHome() + "/file-manager/actions/";
    const auto menu = kconfigGroups(fmActions + "com.corvane.Pictomat.desktop").value("Desktop Entry");
    EXPECT_EQ(menu.value("Type"), "Menu");
    const QStringList items = menu.value("ItemsList").split(';', Qt::SkipEmptyParts);
    ASSERT_EQ(items.size(), titles.size());
    for (qsizetype i = 0; i < items.size(); ++i) {
        const auto action = kconfigGroups(fmActions + items.at(i) + ".desktop");
        EXPECT_EQ(action.value("Desktop Entry").value("Type"), "Action");
        EXPECT_EQ(action.value("Desktop Entry").value("Name"), titles.at(i));
        EXPECT_EQ(action.value("X-Action-Profile pictomat").value("Exec"), command + " " + runs.at(i) + " -- %F");
    }

    // Thunar: custom actions in the "Pictomat" submenu.
    QFile uca(configHome() + "/Thunar/uca.xml");
    ASSERT_TRUE(uca.open(QIODevice::ReadOnly));
    QDomDocument doc;
    ASSERT_TRUE(doc.setContent(uca.readAll()));
    QStringList thunarNames;
    for (QDomElement a = doc.documentElement().firstChildElement("action"); !a.isNull();
         a = a.nextSiblingElement("action")) {
        EXPECT_EQ(a.firstChildElement("submenu").text(), "Pictomat");
        thunarNames.append(a.firstChildElement("name").text());
        EXPECT_TRUE(a.firstChildElement("command").text().endsWith(" -- %F"));
    }
    EXPECT_EQ(thunarNames, titles);

    // The Nautilus script passes the selection on, from arguments or from the
    // variable Nautilus fills in, absolute and after "--".
    const QString bin = root() + "/bin";
    QDir().mkpath(bin);
    writeFile(bin + "/pictomat", "#!/bin/sh\nprintf '%s|' \"$@\"\n");
    QFile::setPermissions(bin + "/pictomat", QFile::permissions(bin + "/pictomat") | QFileDevice::ExeOwner);
    // Switched on again, Copy Icon for File gets its entries.
    ASSERT_EQ(test::RunPictomat({"defaults", "write", "IncludeCopyIcon", "-bool", "true"}).exitCode, 0);
    const IntegrationResult moved = AddFileManagerActions(preferences, bin + "/pictomat");
    const QString makeIcon = dataHome() + "/nautilus/scripts/Pictomat/Make Icon for File";
    EXPECT_TRUE(moved.updated.contains(makeIcon));
    EXPECT_TRUE(moved.added.contains(dataHome() + "/nautilus/scripts/Pictomat/Copy Icon for File"));
    EXPECT_EQ(test::RunProcess(makeIcon, {"/a b", "/c*", "-alpha"}).out,
              "run|--tray|make-icon|--|/a b|/c*|" + QFile::encodeName(QDir::currentPath()) + "/-alpha|");
    EXPECT_EQ(test::RunProcess(makeIcon, {}, {"NAUTILUS_SCRIPT_SELECTED_FILE_PATHS=/x y\n/z\n"}).out,
              QByteArray("run|--tray|make-icon|--|/x y|/z|"));

    // A script of the user's in the same folder stays, and so does the
    // folder; the folders made only for our entries go.
    writeFile(dataHome() + "/nautilus/scripts/Mine", "#!/bin/sh\n");
    const IntegrationResult removed = RemoveFileManagerActions();
    EXPECT_TRUE(removed.errors.isEmpty()) << removed.errors.join('\n').toStdString();
    EXPECT_TRUE(removed.removed.contains(makeIcon));
    EXPECT_TRUE(removed.removed.contains(dolphin));
    EXPECT_FALSE(QFileInfo::exists(dataHome() + "/nautilus/scripts/Pictomat"));
    EXPECT_TRUE(QFile::exists(dataHome() + "/nautilus/scripts/Mine"));
    for (const char* made : {"/kio", "/file-manager"})
        EXPECT_FALSE(QFileInfo::exists(dataHome() + made)) << made;
    EXPECT_FALSE(QFileInfo::exists(configHome() + "/caja"));
    EXPECT_EQ(QDir(dataHome() + "/nemo/actions").entryList(QDir::Files), QStringList{"pictomat.nemo_action"});
    EXPECT_EQ(snapshot(dataHome()).value(nemoMenu), "[Nemo Action]\nName=Mine\n");
}

// "pictomat integrate" says what a user must do next: restart a running
// Thunar, which reads its actions only at start, and know that Thunar shows
// no custom icons when it is the only file manager here.
TEST_F(IntegrationTest, TheCommandTellsWhichRunningFileManagerNeedsARestart)
{
    const QString bin = root() + "/bin";
    QDir().mkpath(bin);
    ASSERT_TRUE(QFile::copy("/bin/sleep", bin + "/thunar"));
    test::OwnedProcess thunar;
    thunar.process.start(bin + "/thunar", {"60"});
    ASSERT_TRUE(thunar.process.waitForStarted(5000));
    const QString pcmanfm = root() + "/elsewhere/pcmanfm-qt";
    QDir().mkpath(root() + "/elsewhere");
    ASSERT_TRUE(QFile::copy("/bin/sleep", pcmanfm));
    test::OwnedProcess pcmanfmQt;
    pcmanfmQt.process.start(pcmanfm, {"60"});
    ASSERT_TRUE(pcmanfmQt.process.waitForStarted(5000));
    const QStringList env = {"PATH=" + bin};

    const test::ProcessResult added = test::RunPictomat({"integrate"}, env);
    EXPECT_EQ(added.exitCode, 0) << added.err.toStdString();
    const QString out = QString::fromUtf8(added.out);
    EXPECT_TRUE(out.contains("added " + configHome() + "/Thunar/uca.xml\n")) << out.toStdString();
    EXPECT_TRUE(out.contains("\"thunar -q\"")) << out.toStdString();
    EXPECT_TRUE(out.contains("Thunar shows no custom icons")) << out.toStdString();
    // A running PCManFM-Qt reads the change at its first right-click, unless
    // it had one already.
    EXPECT_TRUE(out.contains("if you have right-clicked in the running PCManFM-Qt")) << out.toStdString();
    // Nothing changed, nothing to restart.
    const test::ProcessResult again = test::RunPictomat({"integrate"}, env);
    EXPECT_FALSE(again.out.contains("running PCManFM-Qt")) << again.out.toStdString();
    EXPECT_FALSE(again.out.contains("thunar -q")) << again.out.toStdString();

    const test::ProcessResult removed = test::RunPictomat({"integrate", "--remove"}, env);
    EXPECT_EQ(removed.exitCode, 0) << removed.err.toStdString();
    EXPECT_TRUE(removed.out.contains("removed " + QFile::encodeName(configHome()) + "/Thunar/uca.xml\n"));
    EXPECT_TRUE(removed.out.contains("\"thunar -q\"")) << removed.out.toStdString();
}

TEST_F(IntegrationTest, AutostartEntryIsAddedAndRemoved)
{
    Error error;
    const QString entry = configHome() + "/autostart/com.corvane.Pictomat.desktop";
    ASSERT_TRUE(SetAutostart(true, "/usr/bin/pictomat", &error)) << error.message.toStdString();
    EXPECT_EQ(test::RunProcess("desktop-file-validate", {entry}).exitCode, 0);
    ASSERT_TRUE(SetAutostart(false, QString(), &error));
    EXPECT_FALSE(QFile::exists(entry));
    EXPECT_TRUE(SetAutostart(false, QString(), &error));
}

TEST_F(IntegrationTest, AnUnreadableUcaFileIsLeftAlone)
{
    const QString uca = configHome() + "/Thunar/uca.xml";
    writeFile(uca, "<actions><action>broken");
    IntegrationResult r = AddFileManagerActions(preferences, "/usr/bin/pictomat");
    EXPECT_FALSE(r.errors.isEmpty());
    QFile f(uca);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("<actions><action>broken"));
}

} // namespace
