// The status menu read back item by item, the way a user sees it: titles,
// separators, what is a label, what each command carries.

#include "app/AppController.h"
#include "app/MenuBuilder.h"
#include "app/MenuWindow.h"
#include "platform/IconProvider.h"
#include "prefs/PreferenceStore.h"
#include "prefs/Preferences.h"
#include "RecordingDesktop.h"
#include "app/Selection.h"
#include "files/ItemNames.h"
#include "TestEnv.h"
#include "app/Urls.h"

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QMenu>
#include <QRegularExpression>
#include <QTest>

#include <cstdio>
#include <unistd.h>

namespace pictomat::test {
namespace {

// One line per item: "---" for a separator, "[label]" for a disabled label,
// "#tag" for a command, ">" for an item with its own action.
QStringList readBack(const QMenu& menu)
{
    QStringList rows;
    for (const QAction* a : menu.actions()) {
        if (a->isSeparator()) {
            rows << QStringLiteral("---");
            continue;
        }
        QString title = a->text();
        title.replace(QLatin1String("&&"), QLatin1String("&"));
        if (!a->isEnabled())
            rows << QStringLiteral("[%1]").arg(title);
        else if (a->data().isValid())
            rows << QStringLiteral("%1 #%2").arg(title).arg(a->data().toInt());
        else
            rows << QStringLiteral("%1 >").arg(title);
    }
    return rows;
}

const QStringList kTop = {"View in Corvane Website... >", "View in Mac App Store... >", "---"};
const QStringList kBottom = {"---", "Go to Pictomat folder... #1007", "Preferences... >", "---", "Quit >"};
const QStringList kAllGroups = {"Make Icon for File #1009",
                                "Make Icon for Media #1010",
                                "---",
                                "Copy Icon for File #1013",
                                "---",
                                "Add Shortcut Icon #1015",
                                "---",
                                "Add Custom Icon from Clipboard #1014",
                                "---",
                                "Add Custom Icon to Media #1011",
                                "---",
                                "Remove Custom Icon #1016",
                                "---"};
const QStringList kIconSizes = {"[Icon Sizes]", "16 #2001",  "32 #2002",  "48 #2003", "64 #2004",
                                "128 #2005",    "256 #2006", "512 #2007", "---"};
const char* const kInclusionKeys[] = {prefs::key::IncludeMakeIcons,      prefs::key::IncludeCopyIcon,
                                      prefs::key::IncludeWebIcon,        prefs::key::IncludeClipToIcon,
                                      prefs::key::IncludeAddCustomIcon,  prefs::key::IncludeRemoveCustomIcon,
                                      prefs::key::IncludeChangeIconSizes};

ExporterInfo exporter(const char* extension, const char* description)
{
    ExporterInfo info;
    info.extensionString = QString::fromLatin1(extension);
    info.descriptionString = QString::fromLatin1(description);
    return info;
}

class MenuTest : public TestEnv {
protected:
    void SetUp() override
    {
        TestEnv::SetUp();
        model.graphicsAvailable = true;
        model.exporters = {exporter("png", "PNG"), exporter("jpg", "JPEG"), exporter("tiff", "TIFF")};
    }

    void setInclusions(bool value)
    {
        for (const char* key : kInclusionKeys)
            setPreference(key, value);
    }
    void setPreference(const char* key, bool value)
    {
        ASSERT_TRUE(preferences.setValue(QString::fromLatin1(key), value));
        ASSERT_TRUE(preferences.synchronize());
    }

    // count files named name0.txt, name1.txt, ... selected, all resolvable.
    void select(int count, const QString& firstName = QStringLiteral("notes.txt"))
    {
        QVector<FileRef> items;
        for (int i = 0; i < count; ++i) {
            const QString name = i == 0 ? firstName : QStringLiteral("file%1.txt").arg(i);
            items.append(FileRef(writeFile(name, "text\n")));
        }
        model.selection.count = count;
        model.selection.items = items;
    }

    QStringList build(MenuActions actions = {})
    {
        MenuBuilder(menu, model, preferences, icons, std::move(actions)).layOutMenu();
        return readBack(menu);
    }

    QString header(int count) const
    {
        return QStringLiteral("[%1]").arg(
            MenuBuilder::headerTitle(count, DisplayName(model.selection.items->first()).value_or(QStringLiteral("?"))));
    }

    QAction* find(const QString& title) const
    {
        for (QAction* a : menu.actions())
            if (a->text() == title)
                return a;
        return nullptr;
    }

    RecordingDesktop desktop;
    prefs::PreferenceStore preferences{preferenceFile()};
    IconProvider icons;
    MenuModel model;
    QMenu menu;
};

TEST_F(MenuTest, FullLayoutWithEveryGroupSeveralItemsAndExporters)
{
    setInclusions(true);
    select(12);
    const QStringList expected =
        kTop + QStringList{header(12), "---"} + kAllGroups + kIconSizes
        + QStringList{"[Multiple Selection (12 items)]", ".png (PNG) #1", ".jpg (JPEG) #2", ".tiff (TIFF) #3"}
        + kBottom;
    EXPECT_EQ(build(), expected);
    EXPECT_TRUE(header(12).startsWith("[12 Items, First item: notes"));

    // The header shows the first item's icon; nothing else in the menu has one.
    EXPECT_FALSE(menu.actions().at(3)->icon().isNull());
    EXPECT_TRUE(menu.actions().at(0)->icon().isNull());

    const QMap<QString, QString> tips = {
        {"Make Icon for File", "Make an ICNS file for the file's icon."},
        {"Make Icon for Media", "Make an ICNS file for the file's data."},
        {"Copy Icon for File", "Copy the file's icon image to the clipboard."},
        {"Add Shortcut Icon", "Add an icon to the web location's file using its associated \"favicon\"."},
        {"Add Custom Icon from Clipboard", "Add a custom icon to the file from an image on the clipboard."},
        {"Add Custom Icon to Media", "Add a custom icon to the file from the file's image data."},
        {"Remove Custom Icon", "Removes any custom icon for the file."},
        {"Go to Pictomat folder...", "Open the output folder in the Finder."},
    };
    for (auto it = tips.begin(); it != tips.end(); ++it) {
        const QAction* a = find(it.key());
        ASSERT_NE(a, nullptr) << it.key().toStdString();
        EXPECT_EQ(a->toolTip(), it.value()) << it.key().toStdString();
    }
    // Size and exporter items carry no tip of their own (Qt then reports the title).
    EXPECT_EQ(find("128")->toolTip(), "128");
    EXPECT_EQ(find(".png (PNG)")->toolTip(), ".png (PNG)");
    EXPECT_TRUE(menu.toolTipsVisible());
}

TEST_F(MenuTest, OneItemNamesTheFileInExporterTitles)
{
    select(1, QStringLiteral("notes.txt"));
    const QStringList rows = build();
    EXPECT_EQ(rows.mid(3, 2), (QStringList{header(1), "---"}));
    EXPECT_TRUE(header(1).startsWith("[1 Item, First item: notes"));
    EXPECT_FALSE(rows.join('\n').contains("Multiple Selection"));
    EXPECT_EQ(rows.mid(rows.size() - 8, 3),
              (QStringList{"notes.txt.png (PNG) #1", "notes.txt.jpg (JPEG) #2", "notes.txt.tiff (TIFF) #3"}));
}

TEST_F(MenuTest, EmptyDomainShowsEveryGroupButIconSizes)
{
    select(3);
    const QStringList expected =
        kTop + QStringList{header(3), "---"} + kAllGroups
        + QStringList{"[Multiple Selection (3 items)]", ".png (PNG) #1", ".jpg (JPEG) #2", ".tiff (TIFF) #3"} + kBottom;
    EXPECT_EQ(build(), expected);
}

TEST_F(MenuTest, InclusionPreferencesAreReadAtEveryBuild)
{
    select(2);
    setInclusions(false);
    const QStringList exporterRows = {"[Multiple Selection (2 items)]", ".png (PNG) #1", ".jpg (JPEG) #2",
                                      ".tiff (TIFF) #3"};
    EXPECT_EQ(build(), (kTop + QStringList{header(2), "---"} + exporterRows + kBottom));

    // Each switch shows exactly its own group at the next build, and a
    // rebuild replaces the items instead of adding to them.
    setPreference(prefs::key::IncludeCopyIcon, true);
    setPreference(prefs::key::IncludeChangeIconSizes, true);
    const QStringList copyOnly = {header(2), "---", "Copy Icon for File #1013", "---"};
    EXPECT_EQ(build(), kTop + copyOnly + kIconSizes + exporterRows + kBottom);

    // One item and nothing included: the header separator runs straight into the exporters.
    select(1);
    setPreference(prefs::key::IncludeCopyIcon, false);
    setPreference(prefs::key::IncludeChangeIconSizes, false);
    EXPECT_EQ(build().mid(3, 3), (QStringList{header(1), "---", "notes.txt.png (PNG) #1"}));
}

TEST_F(MenuTest, OtherPlatformsIconsJoinTheMakeIconGroupOnlyWhenSwitchedOn)
{
    select(2);
    const QStringList exporterRows = {"[Multiple Selection (2 items)]", ".png (PNG) #1", ".jpg (JPEG) #2",
                                      ".tiff (TIFF) #3"};
    setPreference(prefs::key::IncludeMakeWindowsIcon, true);
    setPreference(prefs::key::IncludeMakeLinuxIconSet, true);
    setPreference(prefs::key::IncludeMakeAppIcons, true);
    const QStringList both = {"Make Icon for File #1009",          "Make Icon for Media #1010",
                              "Make Windows Icon for Media #1017", "Make Linux Icon Set for Media #1018",
                              "Make App Icons for Media #1019",    "---"};
    EXPECT_EQ(build(), (kTop + QStringList{header(2), "---"} + both + kAllGroups.mid(3) + exporterRows + kBottom));
    EXPECT_EQ(find("Make Windows Icon for Media")->toolTip(), "Make a Windows ICO file for the file's data.");
    EXPECT_EQ(find("Make Linux Icon Set for Media")->toolTip(),
              "Make a folder of Linux icon theme pictures for the file's data.");
    EXPECT_EQ(find("Make App Icons for Media")->toolTip(), "Make the app icons of every platform for the file's data.");

    // Without the rest of the group, one stands in its place alone.
    setPreference(prefs::key::IncludeMakeIcons, false);
    setPreference(prefs::key::IncludeMakeLinuxIconSet, false);
    setPreference(prefs::key::IncludeMakeAppIcons, false);
    EXPECT_EQ(build().mid(5, 3), (QStringList{"Make Windows Icon for Media #1017", "---", "Copy Icon for File #1013"}));
}

TEST_F(MenuTest, UnresolvedFirstEntryDropsHeaderAndExportersOnly)
{
    select(2);
    (*model.selection.items)[0] = FileRef();
    EXPECT_EQ(build(), kTop + kAllGroups + QStringList{"[Multiple Selection (2 items)]"} + kBottom);

    // An unresolved entry further down still counts in the header.
    select(3);
    (*model.selection.items)[2] = FileRef();
    EXPECT_TRUE(build().at(3).startsWith("[3 Items, First item: notes"));
}

TEST_F(MenuTest, NoSelectionOrNoGraphicsShowsOnlyTheFixedItems)
{
    const QStringList fixed = kTop + QStringList{"[The Finder has no active selection]"} + kBottom;
    setInclusions(true);
    model.selection = SelectedItems{};
    EXPECT_EQ(build(), fixed);

    select(2);
    model.graphicsAvailable = false;
    EXPECT_EQ(build(), fixed);
}

TEST_F(MenuTest, NoExportersOrNoNameMeansNoExporterItems)
{
    select(1);
    model.exporters.clear();
    QStringList rows = build();
    const QStringList lastGroup = {"Remove Custom Icon #1016", "---"};
    EXPECT_EQ(rows.mid(rows.size() - 7), lastGroup + kBottom);

    // A first item that vanished after the selection was taken has neither a
    // display name nor a file name.
    model.exporters = {exporter("png", "PNG")};
    QFile::remove(QFile::decodeName(model.selection.items->first().path()));
    rows = build();
    EXPECT_FALSE(rows.join('\n').contains("(PNG)"));
    EXPECT_FALSE(rows.join('\n').contains("First item"));
}

TEST_F(MenuTest, NamesWithAmpersandsAndPercentSignsShowAsTheyAre)
{
    select(1, QStringLiteral("Tom & Jerry %1.txt"));
    build();
    EXPECT_NE(find("Tom && Jerry %1.txt.png (PNG)"), nullptr);
    EXPECT_TRUE(menu.actions().at(3)->text().contains("First item: Tom && Jerry %1"));

    // Qt's own menu shows '_' as it is, a tab as a space (not as the start of
    // the shortcut column), and a name that is not UTF-8 the same way in the
    // header as in the export items.
    const QByteArray odd = QFile::encodeName(work()) + "/my_file\tb\xff.txt";
    std::FILE* f = std::fopen(odd.constData(), "w");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    model.selection.items = QVector<FileRef>{FileRef(odd)};
    build();
    ::unlink(odd.constData());
    const QString shown = QStringLiteral("my_file b\uFFFD.txt");
    EXPECT_EQ(menu.actions().at(3)->text(), "1 Item, First item: " + shown);
    EXPECT_NE(find(shown + ".png (PNG)"), nullptr);
}

// Where no popup can be placed at the pointer (Wayland), the menu is drawn
// in a window of its own: a click on an item, in it or in a submenu, does
// the item's work and closes the window as a menu closes.
TEST_F(MenuTest, TheMenuWindowClosesWhenAnItemIsClicked)
{
    MenuWindow window;
    QStringList chosen;
    QAction* direct = window.menu().addAction(QStringLiteral("Make Icon for File"));
    QMenu* exporters = window.menu().addMenu(QStringLiteral("Export Icon"));
    QAction* nested = exporters->addAction(QStringLiteral("a.png (PNG)"));
    for (QAction* item : {direct, nested})
        QObject::connect(item, &QAction::triggered, [&chosen, item] { chosen << item->text(); });
    for (QAction* item : {direct, nested}) {
        window.present();
        ASSERT_TRUE(window.isVisible());
        QMenu* menu = item == direct ? &window.menu() : exporters;
        if (menu == exporters) {
            window.menu().setActiveAction(exporters->menuAction());
            exporters->popup(window.mapToGlobal(QPoint(window.width(), 0)));
            ASSERT_TRUE(exporters->isVisible());
        }
        const QPoint at = menu->actionGeometry(item).center();
        QTest::mouseMove(menu, at);
        QTest::mouseClick(menu, Qt::LeftButton, {}, at);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !window.isVisible(); }, 2000)) << item->text().toStdString();
    }
    EXPECT_EQ(chosen, (QStringList{"Make Icon for File", "a.png (PNG)"}));
}

TEST_F(MenuTest, ItemsSendTheirTagOrTheirOwnAction)
{
    setPreference(prefs::key::IncludeChangeIconSizes, true);
    select(2);
    QStringList requests;
    QStringList calls;
    MenuActions actions;
    actions.command = [&](const CommandRequest& r) {
        QString text = QString::fromLatin1(r.command->verb);
        if (r.options.iconSize)
            text += QLatin1Char(' ') + QString::number(*r.options.iconSize);
        if (r.options.exporter)
            text += QLatin1Char(' ') + r.options.exporter->extensionString;
        requests << text + QStringLiteral(" (%1 items)").arg(r.items.count);
    };
    actions.goToWebsite = [&] { calls << "website"; };
    actions.goToMAS = [&] { calls << "store"; };
    actions.preferences = [&] { calls << "preferences"; };
    actions.quit = [&] { calls << "quit"; };
    build(std::move(actions));
    for (const char* title : {"Make Icon for File", "16", "512", ".jpg (JPEG)", "Go to Pictomat folder...",
                              "View in Corvane Website...", "View in Mac App Store...", "Preferences...", "Quit"})
        find(QString::fromLatin1(title))->trigger();
    // Each item asks for its command on the selection the menu was built for.
    EXPECT_EQ(requests, (QStringList{"make-icon (2 items)", "set-icon-size 16 (2 items)", "set-icon-size 512 (2 items)",
                                     "export jpg (2 items)", "go-to-folder (2 items)"}));
    EXPECT_EQ(calls, (QStringList{"website", "store", "preferences", "quit"}));
}

// The controller: refresh, exporter lines, and what the fixed items open.
class AppControllerTest : public MenuTest {
protected:
    void SetUp() override
    {
        MenuTest::SetUp();
        const QByteArray a = writeFile("a.txt", "a");
        const QByteArray b = writeFile("b.txt", "b");
        const QByteArray script = writeFile("selection.sh", "#!/bin/sh\necho '" + a + "'\necho '" + b + "'\n");
        QFile::setPermissions(QFile::decodeName(script), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        setEnv("PICTOMAT_SELECTION_SCRIPT", script);
    }
    void TearDown() override
    {
        for (const QByteArray& name : m_envSet)
            qunsetenv(name.constData());
        MenuTest::TearDown();
    }
    void setEnv(const char* name, const QByteArray& value)
    {
        qputenv(name, value);
        m_envSet << name;
    }
    static QByteArray exporterLines(qsizetype count)
    {
        return "Pictomat: Loading " + QByteArray::number(count) + " Quicktime exporters" + QByteArray(count, '.')
               + "\nPictomat: Quicktime exporters successfully loaded.\n";
    }

private:
    QList<QByteArray> m_envSet;
};

TEST_F(AppControllerTest, EveryOpeningRefreshesTheSelectionAndTheExportersAreListedOnce)
{
    AppController controller(desktop, preferences, icons);
    controller.setup();
    ASSERT_NE(controller.menu(), nullptr);
    const qsizetype count = controller.model().exporters.size();
    ASSERT_GT(count, 0);
    EXPECT_EQ(desktop.standardOutput, exporterLines(count));
    EXPECT_EQ(controller.model().selection.count, 2);
    EXPECT_TRUE(readBack(*controller.menu()).at(3).startsWith("[2 Items, First item: a"));

    Q_EMIT controller.menu()->aboutToShow();
    Q_EMIT controller.menu()->aboutToShow();
    EXPECT_EQ(desktop.standardOutput, exporterLines(count));

    // The fixed items open the two web pages; a command runs once the menu
    // has let go of the click.
    controller.menu()->actions().at(0)->trigger();
    controller.menu()->actions().at(1)->trigger();
    const QStringList titles = readBack(*controller.menu());
    controller.menu()->actions().at(titles.indexOf("Go to Pictomat folder... #1007"))->trigger();
    ASSERT_EQ(desktop.opened.size(), 2);
    EXPECT_EQ(desktop.opened.at(0), QUrl(QString::fromLatin1(kWebsiteUrl)));
    EXPECT_EQ(desktop.opened.at(1), QUrl(QString::fromLatin1(kAppStoreUrl)));
    QCoreApplication::processEvents();
    ASSERT_EQ(desktop.opened.size(), 3);
    EXPECT_TRUE(desktop.opened.at(2).path().endsWith("/Corvane Software/Pictomat"))
        << desktop.opened.at(2).toString().toStdString();
}

TEST_F(AppControllerTest, NoExportersWritesNothingAndListsNone)
{
    AppController controller(desktop, preferences, icons);
    controller.context().graphics.writerMimeTypes = [] { return QList<QByteArray>(); };
    controller.setup();
    Q_EMIT controller.menu()->aboutToShow();
    EXPECT_TRUE(desktop.standardOutput.isEmpty()) << desktop.standardOutput.toStdString();
    const QStringList rows = readBack(*controller.menu());
    EXPECT_TRUE(rows.contains("Make Icon for File #1009"));
    EXPECT_EQ(rows.mid(rows.indexOf("[Multiple Selection (2 items)]") + 1), kBottom);
}

TEST_F(AppControllerTest, WithoutGraphicsOnlyTheFixedItemsRemain)
{
    AppController controller(desktop, preferences, icons);
    controller.context().graphics.load = [] { return false; };
    controller.setup();
    EXPECT_FALSE(controller.model().graphicsAvailable);
    EXPECT_TRUE(desktop.standardOutput.isEmpty());
    EXPECT_EQ(readBack(*controller.menu()), kTop + QStringList{"[The Finder has no active selection]"} + kBottom);
}

} // namespace
} // namespace pictomat::test
