#include "commands/CommandIds.h"
#include "app/Dispatcher.h"
#include "image/Exporters.h"
#include "output/OutputFolder.h"
#include "prefs/PreferenceStore.h"
#include "prefs/Preferences.h"
#include "ui/PreferencesWindow.h"
#include "RecordingDesktop.h"
#include "TestEnv.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>

using namespace pictomat;

namespace {

class DispatcherTest : public test::TestEnv {
protected:
    void SetUp() override
    {
        test::TestEnv::SetUp();
        prefs::PreferenceStore::resetShared();
        context.graphicsAvailable = true;
        context.exporterList = LoadExporterList(desktop);
        desktop.standardOutput.clear();
    }
    void TearDown() override
    {
        prefs::PreferenceStore::resetShared();
        test::TestEnv::TearDown();
    }

    void set(const char* key, const QVariant& value)
    {
        auto& store = prefs::PreferenceStore::shared();
        store.setValue(QString::fromLatin1(key), value);
        ASSERT_TRUE(store.synchronize());
    }

    void select(const QList<QByteArray>& paths)
    {
        QVector<FileRef> items;
        for (const QByteArray& p : paths)
            items.append(p.isEmpty() ? FileRef() : FileRef(p));
        context.selectedItems.count = qint32(items.size());
        context.selectedItems.items = items;
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
    CommandContext context{desktop};
};

TEST_F(DispatcherTest, GoToFolderWithoutSelectionOpensTheFolderAndNothingElse)
{
    Dispatcher(context).handleMenuItem(kCommandGoToFolder);
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
    Dispatcher(context).handleMenuItem(kCommandGoToFolder);
    EXPECT_EQ(openEvents(), QStringList{FileRef(chosen).url().toString()});
}

TEST_F(DispatcherTest, IconSizeItemsStoreTheSizeAndDoNothingElse)
{
    select({writeFile("a.txt", "text")});
    const int tags[] = {kCommandIconSize16, kCommandIconSize48, kCommandIconSize512};
    const int sizes[] = {16, 48, 512};
    for (int i = 0; i < 3; ++i) {
        Dispatcher(context).handleMenuItem(tags[i]);
        EXPECT_EQ(prefs::GetIconSizePreference(), sizes[i]);
    }
    EXPECT_TRUE(desktop.events.isEmpty());
    EXPECT_EQ(prefs::PreferenceStore::shared().keys(), QStringList{QStringLiteral("IconSize")});
    EXPECT_TRUE(QDir(dataHome()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
}

TEST_F(DispatcherTest, CommandsOutsideTheMakeIconLoopNeitherOpenNorReveal)
{
    const QByteArray text = writeFile("notes.txt", "plain text");
    select({text});
    for (int tag : {int(kCommandAddCustomIconToMedia), int(kCommandAddCustomIconFromClipboard),
                    int(kCommandAddShortcutIcon), int(kCommandRemoveCustomIcon), int(kCommandCopyIconForFile)})
        Dispatcher(context).handleMenuItem(tag);
    EXPECT_TRUE(openEvents().isEmpty()) << openEvents().join(' ').toStdString();
    EXPECT_TRUE(context.lastOutputFile.isEmpty());
}

TEST_F(DispatcherTest, NothingRunsWithoutASelection)
{
    context.selectedItems = SelectedItems();
    context.selectedItems.count = 3;  // a stale count without items counts for nothing
    for (int tag : {int(kCommandMakeIconForFile), 1, int(kCommandRemoveCustomIcon), int(kCommandIconSize256)})
        Dispatcher(context).handleMenuItem(tag);
    EXPECT_TRUE(desktop.events.isEmpty());
    EXPECT_TRUE(prefs::PreferenceStore::shared().keys().isEmpty());
}

TEST_F(DispatcherTest, MakeIconOpensTheFolderFirstAndEveryFailureIsReportedPerItem)
{
    set(prefs::key::OpenImageFileForMe, false);
    // Two items that do not exist: each gets its alert, no output is recorded,
    // so nothing is revealed after the loop (no output since start-up).
    select({QByteArray(), QByteArray()});
    Dispatcher(context).handleMenuItem(kCommandMakeIconForFile);
    EXPECT_EQ(desktop.events,
              (QStringList{"open:" + defaultFolderUrl(), "alert:An icon for the file could not be found.",
                           "alert:An icon for the file could not be found."}));
}

TEST_F(DispatcherTest, AChangeInThePreferencesWindowCountsAtTheNextCommand)
{
    set(prefs::key::OpenImageFolderForMe, false);
    set(prefs::key::OpenImageFileForMe, false);
    select({writeFile("Read Me", "text")});
    Dispatcher(context).handleMenuItem(kCommandMakeIconForFile);
    ASSERT_TRUE(desktop.alerts.isEmpty()) << desktop.alertMessages().join('|').toStdString();

    PictomatPref window;
    QCheckBox* overwrite = window.window()->findChild<QCheckBox*>(prefs::key::OverwriteFilesBySameName);
    ASSERT_NE(overwrite, nullptr);
    ASSERT_TRUE(overwrite->isChecked());
    overwrite->click();
    Dispatcher(context).handleMenuItem(kCommandMakeIconForFile);
    EXPECT_EQ(desktop.alertMessages(), QStringList{"The file already exists."});
}

} // namespace
