#include "app/Integration.h"
#include "DesktopSession.h"

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
};

TEST_F(IntegrationTest, ThunarActionsAreMergedAndRemovedLeavingTheUsersOwn)
{
    const QString uca = configHome() + "/Thunar/uca.xml";
    writeFile(uca, kUsersUca);
    const QString command = "/opt/my apps/pictomat";

    IntegrationResult added = AddFileManagerActions(command);
    EXPECT_TRUE(added.errors.isEmpty()) << added.errors.join('\n').toStdString();
    EXPECT_EQ(added.updated, QStringList{uca});
    EXPECT_EQ(actionIds(uca), (QStringList{"1111-1", "2222-2", "com.corvane.Pictomat.menu"}));
    EXPECT_EQ(test::RunProcess("xmllint", {"--noout", uca}).exitCode, 0);

    // A second run changes nothing at all.
    const auto before = snapshot(root());
    const IntegrationResult again = AddFileManagerActions(command);
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
    const QByteArray system = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<actions>\n<action>\n"
                              "\t<name>Open Terminal Here</name>\n\t<unique-id>1-1</unique-id>\n"
                              "\t<command>exo-open --working-directory %f --launch TerminalEmulator</command>\n"
                              "\t<patterns>*</patterns>\n\t<directories/>\n</action>\n</actions>\n";
    writeFile(root() + "/xdg/Thunar/uca.xml", system);
    const QString uca = configHome() + "/Thunar/uca.xml";
    const auto before = snapshot(root());

    ASSERT_TRUE(AddFileManagerActions("/usr/bin/pictomat").errors.isEmpty());
    EXPECT_EQ(actionIds(uca), (QStringList{"1-1", "com.corvane.Pictomat.menu"}));
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
    ASSERT_TRUE(AddFileManagerActions("/usr/bin/pictomat").errors.isEmpty());
    QFile f(uca);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    QByteArray edited = f.readAll();
    f.close();
    edited.replace("</actions>", "<action><name>Mine</name><unique-id>3-3</unique-id><command>true</command></action>\n</actions>");
    writeFile(uca, edited);
    EXPECT_TRUE(RemoveFileManagerActions().updated.contains(uca));
    EXPECT_EQ(actionIds(uca), (QStringList{"1-1", "3-3"}));
}

TEST_F(IntegrationTest, EveryFileManagerGetsAnEntryThatRunsTheMenuAndOnlyOursIsRemoved)
{
    const QString command = "/usr/bin/pictomat";
    // A file of the user's own at one of our paths, without our mark, is
    // neither replaced nor removed.
    const QString caja = configHome() + "/caja/scripts/Pictomat";
    writeFile(caja, "#!/bin/sh\necho mine\n");
    const IntegrationResult added = AddFileManagerActions(command);
    ASSERT_EQ(added.errors.size(), 1) << added.errors.join('\n').toStdString();
    EXPECT_TRUE(added.errors.first().contains(caja));
    const QString nautilus = dataHome() + "/nautilus/scripts/Pictomat";
    const QString dolphin = dataHome() + "/kio/servicemenus/com.corvane.Pictomat.desktop";
    const QString nemo = dataHome() + "/nemo/actions/pictomat.nemo_action";
    const QString pcmanfm = dataHome() + "/file-manager/actions/com.corvane.Pictomat.desktop";
    for (const QString& p : {nautilus, dolphin, nemo, pcmanfm})
        EXPECT_TRUE(added.added.contains(p)) << p.toStdString();
    EXPECT_TRUE(QFileInfo(nautilus).isExecutable());

    // Dolphin's service menu as KIO reads it: KIO lists Type=Service entries
    // (not Type=Application) that may be executed, for the MIME types given,
    // with each listed action in a group of its own that has a name and a
    // command.
    EXPECT_TRUE(QFileInfo(dolphin).isExecutable());
    const auto groups = kconfigGroups(dolphin);
    const auto entry = groups.value("Desktop Entry");
    EXPECT_EQ(entry.value("Type"), "Service");
    EXPECT_TRUE(entry.value("MimeType").split(';', Qt::SkipEmptyParts).contains("all/all"));
    EXPECT_TRUE(entry.value("X-KDE-ServiceTypes").split(',').contains("KonqPopupMenu/Plugin"));
    const QStringList actions = entry.value("Actions").split(';', Qt::SkipEmptyParts);
    ASSERT_FALSE(actions.isEmpty());
    for (const QString& action : actions) {
        const auto group = groups.value("Desktop Action " + action);
        EXPECT_FALSE(group.value("Name").isEmpty()) << action.toStdString();
        EXPECT_EQ(group.value("Exec"), command + " menu -- %F");
    }

    // The Nautilus script passes the selection on, from arguments or from the
    // variable Nautilus fills in, absolute and after "--".
    const QString bin = root() + "/bin";
    QDir().mkpath(bin);
    writeFile(bin + "/pictomat", "#!/bin/sh\nprintf '%s|' \"$@\"\n");
    QFile::setPermissions(bin + "/pictomat", QFile::permissions(bin + "/pictomat") | QFileDevice::ExeOwner);
    const IntegrationResult moved = AddFileManagerActions(bin + "/pictomat");
    EXPECT_TRUE(moved.updated.contains(nautilus));
    EXPECT_EQ(test::RunProcess(nautilus, {"/a b", "/c*", "-alpha"}).out,
              "menu|--|/a b|/c*|" + QFile::encodeName(QDir::currentPath()) + "/-alpha|");
    EXPECT_EQ(test::RunProcess(nautilus, {}, {"NAUTILUS_SCRIPT_SELECTED_FILE_PATHS=/x y\n/z\n"}).out,
              QByteArray("menu|--|/x y|/z|"));

    // A script of the user's in the same folder stays, and so does the
    // folder; the folders made only for our entries go.
    writeFile(dataHome() + "/nautilus/scripts/Mine", "#!/bin/sh\n");
    const IntegrationResult removed = RemoveFileManagerActions();
    for (const QString& p : {nautilus, dolphin, nemo, pcmanfm}) {
        EXPECT_FALSE(QFile::exists(p)) << p.toStdString();
        EXPECT_TRUE(removed.removed.contains(p)) << p.toStdString();
    }
    EXPECT_TRUE(QFile::exists(dataHome() + "/nautilus/scripts/Mine"));
    for (const char* made : {"/kio", "/nemo", "/file-manager"})
        EXPECT_FALSE(QFileInfo::exists(dataHome() + made)) << made;
    EXPECT_EQ(snapshot(configHome()).value(caja), "#!/bin/sh\necho mine\n");
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
    const QStringList env = {"PATH=" + bin};

    const test::ProcessResult added = test::RunPictomat({"integrate"}, env);
    EXPECT_EQ(added.exitCode, 0) << added.err.toStdString();
    const QString out = QString::fromUtf8(added.out);
    EXPECT_TRUE(out.contains("added " + configHome() + "/Thunar/uca.xml\n")) << out.toStdString();
    EXPECT_TRUE(out.contains("\"thunar -q\"")) << out.toStdString();
    EXPECT_TRUE(out.contains("Thunar shows no custom icons")) << out.toStdString();

    const test::ProcessResult removed = test::RunPictomat({"integrate", "--remove"}, env);
    EXPECT_EQ(removed.exitCode, 0) << removed.err.toStdString();
    EXPECT_TRUE(removed.out.contains("removed " + QFile::encodeName(configHome()) + "/Thunar/uca.xml\n"));
    EXPECT_TRUE(removed.out.contains("\"thunar -q\"")) << removed.out.toStdString();
}

TEST_F(IntegrationTest, AutostartEntryIsAddedAndRemoved)
{
    QString error;
    const QString entry = configHome() + "/autostart/com.corvane.Pictomat.desktop";
    ASSERT_TRUE(SetAutostart(true, "/usr/bin/pictomat", &error)) << error.toStdString();
    EXPECT_EQ(test::RunProcess("desktop-file-validate", {entry}).exitCode, 0);
    ASSERT_TRUE(SetAutostart(false, QString(), &error));
    EXPECT_FALSE(QFile::exists(entry));
    EXPECT_TRUE(SetAutostart(false, QString(), &error));
}

TEST_F(IntegrationTest, AnUnreadableUcaFileIsLeftAlone)
{
    const QString uca = configHome() + "/Thunar/uca.xml";
    writeFile(uca, "<actions><action>broken");
    IntegrationResult r = AddFileManagerActions("/usr/bin/pictomat");
    EXPECT_FALSE(r.errors.isEmpty());
    QFile f(uca);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("<actions><action>broken"));
}

} // namespace
