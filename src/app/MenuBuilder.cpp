#include "app/MenuBuilder.h"

#include "commands/CommandIds.h"
#include "platform/IconProvider.h"
#include "prefs/Preferences.h"
#include "app/Selection.h"
#include "platform/ItemNames.h"

#include <QAction>
#include <QFile>
#include <QMenu>

namespace pictomat {

namespace {

// The longest POSIX path the header icon is looked up for, terminator included.
constexpr qsizetype kPathBufferSize = 4096;

struct CommandEntry {
    const char* title;
    int id;
    const char* tip;
};

bool included(const char* key, bool whenUnset)
{
    return prefs::GetBooleanPreference(key, whenUnset);
}

} // namespace

MenuBuilder::MenuBuilder(QMenu& menu, CommandContext& context, MenuActions actions)
    : m_menu(menu), m_context(context), m_actions(std::move(actions))
{
}

bool MenuBuilder::validateMenuItem(const QAction&)
{
    return true;
}

QString MenuBuilder::escapedTitle(const QString& text)
{
    QString escaped = text;
    escaped.replace(QLatin1Char('&'), QLatin1String("&&"));
    return escaped;
}

QString MenuBuilder::headerTitle(qint32 count, const QString& displayName)
{
    // One pass over the pattern, so a name holding "%1" stays as it is.
    return QStringLiteral("%1 %2, First item: %3")
        .arg(QString::number(count), count == 1 ? QStringLiteral("Item") : QStringLiteral("Items"),
             displayName);
}

QAction* MenuBuilder::addMenuItem(const QString& title, int commandId, const QString& tip)
{
    auto* item = new QAction(title, &m_menu);
    item->setData(commandId);
    item->setToolTip(tip);
    item->setEnabled(validateMenuItem(*item));
    auto command = m_actions.command;
    QObject::connect(item, &QAction::triggered, item, [command, commandId] {
        if (command)
            command(commandId);
    });
    m_menu.addAction(item);
    return item;
}

QAction* MenuBuilder::addActionItem(const QString& title, const std::function<void()>& action)
{
    auto* item = new QAction(title, &m_menu);
    item->setEnabled(validateMenuItem(*item));
    QObject::connect(item, &QAction::triggered, item, [action] {
        if (action)
            action();
    });
    m_menu.addAction(item);
    return item;
}

QAction* MenuBuilder::addLabel(const QString& title)
{
    auto* item = new QAction(title, &m_menu);
    item->setEnabled(false);
    m_menu.addAction(item);
    return item;
}

void MenuBuilder::buildMenu()
{
    m_context.selectedItems = Selection::AcquireFinderSelection();
    layOutMenu();
}

void MenuBuilder::layOutMenu()
{
    m_menu.clear();
    // Tool tips are part of the menu: they say what each command does.
    m_menu.setToolTipsVisible(true);

    addActionItem(QStringLiteral("View in Corvane Website..."), m_actions.goToWebsite);
    addActionItem(QStringLiteral("View in Mac App Store..."), m_actions.goToMAS);
    m_menu.addSeparator();

    if (!m_context.selectedItems.hasSelection() || !m_context.graphicsAvailable)
        addLabel(QStringLiteral("The Finder has no active selection"));
    else
        addSelectionItems();

    m_menu.addSeparator();
    addMenuItem(QStringLiteral("Go to Pictomat folder..."), kCommandGoToFolder,
                QStringLiteral("Open the output folder in the Finder."));
    addActionItem(QStringLiteral("Preferences..."), m_actions.preferences);
    m_menu.addSeparator();
    addActionItem(QStringLiteral("Quit"), m_actions.quit);
}

void MenuBuilder::addSelectionItems()
{
    const SelectedItems& selection = m_context.selectedItems;
    const qint32 count = selection.count;
    const FileRef first = selection.items->value(0);

    if (const std::optional<QString> name = DisplayName(first)) {
        QAction* header = addLabel(escapedTitle(headerTitle(count, *name)));
        if (first.path().size() < kPathBufferSize) {
            if (const auto icon = IconProvider::shared().iconFor(first); icon && !icon->isNull())
                header->setIcon(icon->icon);
        }
        m_menu.addSeparator();
    }

    // Each group with the preference that switches it on and what an unset
    // preference means.
    struct Group {
        const char* key;
        bool whenUnset;
        QList<CommandEntry> commands;
    };
    const Group groups[] = {
        {prefs::key::IncludeMakeIcons, true,
         {{"Make Icon for File", kCommandMakeIconForFile, "Make an ICNS file for the file's icon."},
          {"Make Icon for Media", kCommandMakeIconForMedia, "Make an ICNS file for the file's data."}}},
        {prefs::key::IncludeCopyIcon, true,
         {{"Copy Icon for File", kCommandCopyIconForFile, "Copy the file's icon image to the clipboard."}}},
        {prefs::key::IncludeWebIcon, true,
         {{"Add Shortcut Icon", kCommandAddShortcutIcon,
           "Add an icon to the web location's file using its associated \"favicon\"."}}},
        {prefs::key::IncludeClipToIcon, true,
         {{"Add Custom Icon from Clipboard", kCommandAddCustomIconFromClipboard,
           "Add a custom icon to the file from an image on the clipboard."}}},
        {prefs::key::IncludeAddCustomIcon, true,
         {{"Add Custom Icon to Media", kCommandAddCustomIconToMedia,
           "Add a custom icon to the file from the file's image data."}}},
        {prefs::key::IncludeRemoveCustomIcon, true,
         {{"Remove Custom Icon", kCommandRemoveCustomIcon, "Removes any custom icon for the file."}}},
    };
    for (const Group& group : groups) {
        if (!included(group.key, group.whenUnset))
            continue;
        for (const CommandEntry& entry : group.commands)
            addMenuItem(QString::fromUtf8(entry.title), entry.id, QString::fromUtf8(entry.tip));
        m_menu.addSeparator();
    }

    if (included(prefs::key::IncludeChangeIconSizes, false)) {
        addLabel(QStringLiteral("Icon Sizes"));
        static constexpr int kSizes[] = {16, 32, 48, 64, 128, 256, 512};
        int id = kCommandIconSize16;
        for (int size : kSizes)
            addMenuItem(QString::number(size), id++, QString());
        m_menu.addSeparator();
    }

    if (count >= 2)
        addLabel(QStringLiteral("Multiple Selection (%1 items)").arg(count));

    buildIconToImageMenu();
}

void MenuBuilder::buildIconToImageMenu()
{
    const SelectedItems& selection = m_context.selectedItems;
    if (!selection.items || selection.items->isEmpty())
        return;
    const FileRef& first = selection.items->first();

    const auto icon = IconProvider::shared().iconFor(first);
    if (!icon || icon->isNull())
        return;
    const std::optional<QByteArray> name = GetItemName(first);
    if (!name)
        return;
    if (m_context.exporterList.isEmpty())
        return;

    const QString prefix = selection.count == 1 ? QFile::decodeName(*name) : QString();
    for (qsizetype k = 0; k < m_context.exporterList.size(); ++k) {
        const ExporterInfo& exporter = m_context.exporterList.at(k);
        const QString title = prefix + QLatin1Char('.') + exporter.extensionString + QStringLiteral(" (")
                              + exporter.descriptionString + QLatin1Char(')');
        addMenuItem(escapedTitle(title), int(k + 1), QString());
    }
}

} // namespace pictomat
