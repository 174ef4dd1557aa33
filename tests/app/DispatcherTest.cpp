#include "commands/Command.h"
#include "commands/CommandSettings.h"
#include "commands/Dispatcher.h"
#include "image/Exporters.h"
#include "output/OutputFolder.h"
#include "platform/IconProvider.h"
#include "prefs/PreferenceStore.h"
#include "prefs/Preferences.h"
#include "ui/PreferencesWindow.h"
#include "RecordingDesktop.h"
#include "TestEnv.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace pictomat;

namespace {

class DispatcherTest : public test::TestEnv {
protected:
    void SetUp() override
    {
        test::TestEnv::SetUp();
        desktop.standardOutput.clear();
    }

    void set(const char* key, const QVariant& value)
    {
        auto& store = preferences;
        store.setValue(QString::fromLatin1(key), value);
        ASSERT_TRUE(store.synchronize());
    }

    void select(const QList<QByteArray>& paths)
    {
        QVector<FileRef> items;
        for (const QByteArray& p : paths)
            items.append(p.isEmpty() ? FileRef() : FileRef(p));
        selection.count = qint32(items.size());
        selection.items = items;
    }

    void run(CommandId id, std::optional<int> size = std::nullopt)
    {
        CommandRequest request;
        request.command = FindCommand(id);
        request.items = selection;
        request.options.iconSize = size;
        Dispatch(context, request);
    }

    QString defaultFolderUrl()
    {
        FileRef folder;
        EXPECT_TRUE(FindOrCreateDefaultOutputFolder(&folder));
        return folder.url().toString();
    }

    QStringList openEvents() const
    {
        QStringList r;
        for (const QString& e : desktop.events)
            if (e.startsWith(QLatin1String("open:")))
                r.append(e.mid(5));
        return r;
    }

    test::RecordingDesktop desktop;
    prefs::PreferenceStore preferences{preferenceFile()};
    IconProvider icons;
    CommandContext context{desktop, preferences, icons};
    SelectedItems selection;
};

TEST_F(DispatcherTest, GoToFolderWithoutSelectionOpensTheFolderAndNothingElse)
{
    run(CommandId::GoToFolder);
    EXPECT_EQ(openEvents(), QStringList{defaultFolderUrl()});
    EXPECT_TRUE(desktop.alerts.isEmpty());
    EXPECT_TRUE(desktop.sounds.isEmpty());

    // Right after start-up no item was worked on, so even with the items'
    // folders chosen the default (or chosen image) folder is what opens.
    desktop.events.clear();
    set(prefs::key::UseItemsFolder, true);
    const QByteArray chosen = QFile::encodeName(work() + "/chosen");
    QDir().mkpath(work() + "/chosen");
    set(prefs::key::ImageFolderPathname, QString::fromUtf8(chosen));
    run(CommandId::GoToFolder);
    EXPECT_EQ(openEvents(), QStringList{FileRef(chosen).url().toString()});
}

TEST_F(DispatcherTest, IconSizeItemsStoreTheSizeAndDoNothingElse)
{
    select({writeFile("a.txt", "text")});
    for (int size : {16, 48, 512}) {
        run(CommandId::SetIconSize, size);
        EXPECT_EQ(prefs::GetIconSizePreference(preferences), size);
    }
    EXPECT_TRUE(desktop.events.isEmpty());
    EXPECT_EQ(preferences.keys(), QStringList{QStringLiteral("IconSize")});
    EXPECT_TRUE(QDir(dataHome()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
}

TEST_F(DispatcherTest, CommandsOutsideTheMakeIconLoopNeitherOpenNorReveal)
{
    const QByteArray text = writeFile("notes.txt", "plain text");
    select({text});
    for (CommandId id : {CommandId::AddCustomIconToMedia, CommandId::AddCustomIconFromClipboard,
                         CommandId::AddShortcutIcon, CommandId::RemoveCustomIcon, CommandId::CopyIconForFile})
        run(id);
    EXPECT_TRUE(openEvents().isEmpty()) << openEvents().join(' ').toStdString();
    EXPECT_TRUE(context.lastOutputFile.isEmpty());
}

TEST_F(DispatcherTest, NothingRunsWithoutASelection)
{
    selection = SelectedItems();
    selection.count = 3; // a stale count without items counts for nothing
    for (CommandId id : {CommandId::MakeIconForFile, CommandId::ExportImage, CommandId::RemoveCustomIcon})
        run(id);
    EXPECT_TRUE(desktop.events.isEmpty());
    EXPECT_TRUE(preferences.keys().isEmpty());
}

TEST_F(DispatcherTest, MakeIconReportsEveryFailurePerItemAndOpensTheFolderWhenNothingWasWritten)
{
    set(prefs::key::OpenImageFileForMe, false);
    // Two items that do not exist: each gets its alert, no output is written,
    // so there is nothing to reveal and the output folder opens at the end.
    select({QByteArray(), QByteArray()});
    run(CommandId::MakeIconForFile);
    EXPECT_EQ(desktop.events,
              (QStringList{"alert:An icon for the file could not be found.",
                           "alert:An icon for the file could not be found.", "open:" + defaultFolderUrl()}));
}

// A second caller hands its commands a domain of its own: they read and
// write that one, and the user's stays as it was.
TEST_F(DispatcherTest, CommandsKeepToTheDomainTheyAreHanded)
{
    set(prefs::key::UseItemsFolder, false);
    set(prefs::key::OpenImageFolderForMe, true);
    const QString ownFile = root() + "/own/domain.plist";
    prefs::PreferenceStore own(ownFile);
    for (const char* key : {prefs::key::OpenImageFolderForMe, prefs::key::OpenImageFileForMe})
        own.setValue(QString::fromLatin1(key), false);
    own.setValue(QString::fromLatin1(prefs::key::UseItemsFolder), true);
    ASSERT_TRUE(own.synchronize()) << own.lastError().toStdString();
    IconProvider ownIcons;
    CommandContext ownContext(desktop, own, ownIcons);

    select({writeFile("notes.txt", "text")});
    for (CommandId id : {CommandId::SetIconSize, CommandId::MakeIconForFile}) {
        CommandRequest request;
        request.command = FindCommand(id);
        request.items = selection;
        request.options.iconSize = 48;
        Dispatch(ownContext, request);
    }
    EXPECT_TRUE(desktop.events.isEmpty()) << desktop.events.join(' ').toStdString();
    EXPECT_TRUE(QFileInfo::exists(work() + "/notes.txt.icns"));
    const test::ProcessResult r = test::RunPython(
        "import plistlib, sys\n"
        "own = plistlib.load(open(sys.argv[1], 'rb'))\n"
        "user = plistlib.load(open(sys.argv[2], 'rb'))\n"
        "print(own['IconSize'], 'IconSize' in user, user['UseItemsFolder'])\n",
        {ownFile, preferenceFile()});
    EXPECT_EQ(r.out, "48 False False\n") << r.err.constData();
}

TEST_F(DispatcherTest, AChangeInThePreferencesWindowCountsAtTheNextCommand)
{
    set(prefs::key::OpenImageFolderForMe, false);
    set(prefs::key::OpenImageFileForMe, false);
    select({writeFile("Read Me", "text")});
    run(CommandId::MakeIconForFile);
    ASSERT_TRUE(desktop.alerts.isEmpty()) << desktop.alertMessages().join('|').toStdString();

    PictomatPref window(preferences);
    QCheckBox* overwrite = window.window()->findChild<QCheckBox*>(prefs::key::OverwriteFilesBySameName);
    ASSERT_NE(overwrite, nullptr);
    ASSERT_TRUE(overwrite->isChecked());
    overwrite->click();
    run(CommandId::MakeIconForFile);
    EXPECT_EQ(desktop.alertMessages(), QStringList{"The file already exists."});
}

TEST_F(DispatcherTest, SettingsTakeTheBackgroundFromTheDomainAndTheAlphaFromTheCommand)
{
    // The window's own alpha component plays no part in drawing.
    set(prefs::key::BackgroundColorRedComponent, 0.0);
    set(prefs::key::BackgroundColorBlueComponent, 0.5);
    set(prefs::key::BackgroundColorAlphaComponent, 0.25);
    CommandSettings settings = CommandSettings::Read(preferences, {});
    EXPECT_EQ(settings.background.red, 0.0f);
    EXPECT_EQ(settings.background.green, 1.0f);
    EXPECT_EQ(settings.background.blue, 0.5f);
    EXPECT_EQ(settings.background.alpha, 1.0f);

    // The alpha: the command's own option, else "-alpha" on the command line,
    // else the domain's "alpha".
    set("alpha", 0.0);
    EXPECT_EQ(CommandSettings::Read(preferences, {}).background.alpha, 0.0f);
    prefs::SetCommandLineArguments({"pictomat", "-alpha", "0.5"});
    EXPECT_EQ(CommandSettings::Read(preferences, {}).background.alpha, 0.5f);
    CommandOptions options;
    options.alpha = 0.75f;
    EXPECT_EQ(CommandSettings::Read(preferences, options).background.alpha, 0.75f);
    prefs::SetCommandLineArguments({});
}

} // namespace
