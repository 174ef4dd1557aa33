#include "app/Integration.h"
#include "TestEnv.h"

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

using IntegrationTest = test::TestEnv;

TEST_F(IntegrationTest, ThunarActionsAreMergedAndRemovedLeavingTheUsersOwn)
{
    const QString uca = configHome() + "/Thunar/uca.xml";
    writeFile(uca, kUsersUca);
    const QString command = "/opt/my apps/pictomat";

    IntegrationResult added = AddFileManagerActions(command);
    EXPECT_TRUE(added.errors.isEmpty()) << added.errors.join('\n').toStdString();
    EXPECT_EQ(actionIds(uca), (QStringList{"1111-1", "2222-2", "com.corvane.Pictomat.menu"}));
    EXPECT_EQ(test::RunProcess("xmllint", {"--noout", uca}).exitCode, 0);

    // A second run changes nothing at all.
    const auto before = snapshot(root());
    EXPECT_TRUE(AddFileManagerActions(command).changed.isEmpty());
    EXPECT_EQ(snapshot(root()), before);

    IntegrationResult removed = RemoveFileManagerActions();
    EXPECT_TRUE(removed.errors.isEmpty());
    EXPECT_EQ(actionIds(uca), (QStringList{"1111-1", "2222-2"}));
    QFile f(uca);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll().contains("my own actions"));
    EXPECT_TRUE(RemoveFileManagerActions().changed.isEmpty());
}

TEST_F(IntegrationTest, EveryFileManagerGetsAnEntryThatRunsTheMenuAndOnlyOursIsRemoved)
{
    const QString command = "/usr/bin/pictomat";
    ASSERT_TRUE(AddFileManagerActions(command).errors.isEmpty());
    const QString nautilus = dataHome() + "/nautilus/scripts/Pictomat";
    const QString dolphin = dataHome() + "/kio/servicemenus/com.corvane.Pictomat.desktop";
    const QString nemo = dataHome() + "/nemo/actions/pictomat.nemo_action";
    const QString caja = configHome() + "/caja/scripts/Pictomat";
    const QString pcmanfm = dataHome() + "/file-manager/actions/com.corvane.Pictomat.desktop";
    for (const QString& p : {nautilus, dolphin, nemo, caja, pcmanfm})
        EXPECT_TRUE(QFile::exists(p)) << p.toStdString();
    EXPECT_TRUE(QFileInfo(nautilus).isExecutable());
    EXPECT_TRUE(QFileInfo(dolphin).isExecutable());
    EXPECT_EQ(test::RunProcess("desktop-file-validate", {dolphin}).exitCode, 0);

    // The Nautilus script passes the selection on, from arguments or from the
    // variable Nautilus fills in.
    const QString bin = root() + "/bin";
    QDir().mkpath(bin);
    writeFile(bin + "/pictomat", "#!/bin/sh\nprintf '%s|' \"$@\"\n");
    QFile::setPermissions(bin + "/pictomat", QFile::permissions(bin + "/pictomat") | QFileDevice::ExeOwner);
    ASSERT_TRUE(AddFileManagerActions(bin + "/pictomat").errors.isEmpty());
    EXPECT_EQ(test::RunProcess(nautilus, {"/a b", "/c*"}).out, QByteArray("menu|/a b|/c*|"));
    EXPECT_EQ(test::RunProcess(nautilus, {}, {"NAUTILUS_SCRIPT_SELECTED_FILE_PATHS=/x y\n/z\n"}).out,
              QByteArray("menu|/x y|/z|"));

    // A script of the user's in the same folder stays.
    writeFile(dataHome() + "/nautilus/scripts/Mine", "#!/bin/sh\n");
    RemoveFileManagerActions();
    for (const QString& p : {nautilus, dolphin, nemo, caja, pcmanfm})
        EXPECT_FALSE(QFile::exists(p)) << p.toStdString();
    EXPECT_TRUE(QFile::exists(dataHome() + "/nautilus/scripts/Mine"));
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
