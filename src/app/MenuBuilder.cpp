#include "app/MenuBuilder.h"

#include "commands/CommandTexts.h"
#include "files/ItemNames.h"
#include "platform/IconProvider.h"
#include "prefs/Preferences.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>

#include <array>

namespace pictomat {

namespace {

// The longest POSIX path the header icon is looked up for, terminator included.
constexpr qsizetype kPathBufferSize = 4096;

} // namespace

MenuBuilder::MenuBuilder(QMenu& menu, const MenuModel& model, prefs::PreferenceStore& preferences,
                         const IconProvider& icons, MenuActions actions, TitleStyle style)
    : m_menu(menu), m_model(model), m_preferences(preferences), m_icons(icons), m_actions(std::move(actions)),
      m_style(style)
{
}

QString MenuBuilder::escapedTitle(const QString& text, TitleStyle style)
{
    QString escaped = text;
    if (style == TitleStyle::Widget) {
        escaped.replace(QLatin1Char('&'), QLatin1String("&&"));
        return escaped;
    }
    // dbusmenu shows "__" as one underscore. Qt makes the first '&' of a
    // title the mnemonic marker '_' and leaves the others as they are, so a
    // doubled first '&' arrives as "_&": the '&' itself, shown.
    escaped.replace(QLatin1Char('_'), QLatin1String("__"));
    const qsizetype amp = escaped.indexOf(QLatin1Char('&'));
    if (amp >= 0)
        escaped.insert(amp, QLatin1Char('&'));
    return escaped;
}

QString MenuBuilder::shownName(const QByteArray& name)
{
    QString shown = QString::fromUtf8(name);
    for (QChar& c : shown) {
        if (c.category() == QChar::Other_Control)
            c = QLatin1Char(' ');
    }
    return shown;
}

QString MenuBuilder::headerTitle(qint32 count, const QString& displayName)
{
    // One pass over the pattern, so a name holding "%1" stays as it is.
    const QString pattern = count == 1 ? QCoreApplication::translate("Menu", "%1 Item, First item: %2")
                                       : QCoreApplication::translate("Menu", "%1 Items, First item: %2");
    return pattern.arg(QString::number(count), displayName);
}

CommandRequest MenuBuilder::requestFor(const Command& command) const
{
    CommandRequest request;
    request.command = &command;
    // The command works on the selection the menu shows, whatever is handed
    // over while it stays open.
    request.items = m_model.selection;
    return request;
}

QAction* MenuBuilder::addCommandItem(const QString& title, int tag, const QString& tip, const CommandRequest& request)
{
    auto* item = new QAction(title, &m_menu);
    item->setData(tag);
    item->setToolTip(tip);
    auto command = m_actions.command;
    QObject::connect(item, &QAction::triggered, item, [command, request] {
        if (command)
            command(request);
    });
    m_menu.addAction(item);
    return item;
}

QAction* MenuBuilder::addActionItem(const QString& title, const std::function<void()>& action)
{
    auto* item = new QAction(title, &m_menu);
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

void MenuBuilder::layOutMenu()
{
    // The folded exporters' submenu of the last layout is the menu's child,
    // which clearing its items leaves alive. Its own items are taken out
    // before it goes: a menu exported over dbusmenu frees the exported form
    // of an item only when the item is taken out, never with the menu.
    const QList<QMenu*> folded = m_menu.findChildren<QMenu*>(Qt::FindDirectChildrenOnly);
    m_menu.clear();
    for (QMenu* submenu : folded) {
        submenu->clear();
        submenu->deleteLater();
    }
    // Tool tips are part of the menu: they say what each command does.
    m_menu.setToolTipsVisible(true);

    addActionItem(QCoreApplication::translate("Menu", "View in Corvane Website..."), m_actions.goToWebsite);
    addActionItem(QCoreApplication::translate("Menu", "View in Mac App Store..."), m_actions.goToMAS);
    m_menu.addSeparator();

    m_exporterItems.clear();
    if (!m_model.selection.hasSelection() || !m_model.graphicsAvailable)
        addLabel(QCoreApplication::translate("Menu", "The Finder has no active selection"));
    else
        addSelectionItems();

    m_menu.addSeparator();
    for (const Command& command : Commands()) {
        if (command.place == MenuPlace::FixedItems)
            addCommandItem(CommandTitle(command), int(command.id), CommandToolTip(command), requestFor(command));
    }
    addActionItem(QCoreApplication::translate("Menu", "Preferences..."), m_actions.preferences);
    m_menu.addSeparator();
    addActionItem(QCoreApplication::translate("Menu", "Quit"), m_actions.quit);
    foldExportersIfTooTall(m_exporterItems);
}

void MenuBuilder::addSelectionItems()
{
    const SelectedItems& selection = m_model.selection;
    const qint32 count = selection.count;
    const FileRef first = selection.items->value(0);
    const std::optional<IconProvider::Icon> firstIcon = m_icons.iconFor(first);

    if (std::optional<QString> name = DisplayName(first)) {
        // A name that is not UTF-8 shows as the exporter items show it.
        const std::optional<QByteArray> bytes = GetItemName(first);
        if (bytes && QString::fromUtf8(*bytes).toUtf8() != *bytes)
            name = shownName(*bytes);
        QAction* header = addLabel(escapedTitle(headerTitle(count, shownName(name->toUtf8())), m_style));
        if (first.path().size() < kPathBufferSize && firstIcon && !firstIcon->isNull())
            header->setIcon(firstIcon->icon);
        m_menu.addSeparator();
    }

    // The selection's commands in table order, a separator closing each run
    // of commands that stand in one group (the preference that offers them,
    // unless they join another's).
    const QVector<Command>& commands = Commands();
    const char* openGroup = nullptr;
    auto closeGroup = [this, &openGroup] {
        if (openGroup)
            m_menu.addSeparator();
        openGroup = nullptr;
    };
    for (const Command& command : commands) {
        if (command.place == MenuPlace::IconSizes && Offered(m_preferences, command)) {
            closeGroup();
            addIconSizeItems(command);
            m_menu.addSeparator();
        }
        if (command.place != MenuPlace::SelectionCommands || !Offered(m_preferences, command))
            continue;
        const char* group = command.menuGroup ? command.menuGroup : command.offeredBy ? command.offeredBy : "";
        if (openGroup && qstrcmp(openGroup, group) != 0)
            closeGroup();
        addCommandItem(CommandTitle(command), int(command.id), CommandToolTip(command), requestFor(command));
        openGroup = group;
    }
    closeGroup();

    if (count >= 2)
        addLabel(QCoreApplication::translate("Menu", "Multiple Selection (%1 items)").arg(count));

    const qsizetype before = m_menu.actions().size();
    for (const Command& command : commands) {
        if (command.place == MenuPlace::Exporters && firstIcon && !firstIcon->isNull())
            addExporterItems(command);
    }
    m_exporterItems = m_menu.actions().mid(before);
}

int MenuBuilder::drawnHeight() const
{
    int item = kHostItemHeight;
    int separator = kHostSeparatorHeight;
    int height = kHostMenuPadding;
    if (m_style == TitleStyle::Widget || !m_model.hostDrawsTallItems) {
        // A menu's own size hint stops at the screen's height (it would
        // scroll or take columns), so a Qt menu is measured once, item by
        // item, on a menu of our own.
        static const std::array<int, 3> measured = [] {
            QMenu probe;
            probe.addAction(QStringLiteral("1"));
            const int one = probe.sizeHint().height();
            probe.addAction(QStringLiteral("2"));
            const int two = probe.sizeHint().height();
            probe.addSeparator();
            probe.addAction(QStringLiteral("3"));
            const int three = probe.sizeHint().height();
            return std::array<int, 3>{two - one, three - two - (two - one), one - (two - one)};
        }();
        item = measured[0];
        separator = measured[1];
        height = measured[2];
    }
    for (const QAction* action : m_menu.actions())
        height += action->isSeparator() ? separator : item;
    return height;
}

void MenuBuilder::foldExportersIfTooTall(const QList<QAction*>& exporterItems)
{
    if (exporterItems.isEmpty() || m_model.availableHeight <= 0 || drawnHeight() <= m_model.availableHeight)
        return;
    const qsizetype at = m_menu.actions().indexOf(exporterItems.last()) + 1;
    QAction* before = at < m_menu.actions().size() ? m_menu.actions().at(at) : nullptr;
    auto* submenu = new QMenu(QCoreApplication::translate("Menu", "Export Icon"), &m_menu);
    submenu->setToolTipsVisible(true);
    for (QAction* item : exporterItems) {
        m_menu.removeAction(item);
        item->setParent(submenu);
        submenu->addAction(item);
    }
    m_menu.insertMenu(before, submenu);
}

void MenuBuilder::addIconSizeItems(const Command& command)
{
    addLabel(CommandTitle(command));
    int tag = int(command.id);
    for (int size : kMenuIconSizes) {
        CommandRequest request = requestFor(command);
        request.options.iconSize = size;
        addCommandItem(QString::number(size), tag++, QString(), request);
    }
}

void MenuBuilder::addExporterItems(const Command& command)
{
    const SelectedItems& selection = m_model.selection;
    if (!selection.items || selection.items->isEmpty())
        return;
    const FileRef& first = selection.items->first();
    const std::optional<QByteArray> name = GetItemName(first);
    if (!name)
        return;

    const QString prefix = selection.count == 1 ? shownName(*name) : QString();
    for (qsizetype k = 0; k < m_model.exporters.size(); ++k) {
        const ExporterInfo& exporter = m_model.exporters.at(k);
        const QString title = prefix + QLatin1Char('.') + exporter.extensionString + QStringLiteral(" (")
                              + exporter.descriptionString + QLatin1Char(')');
        CommandRequest request = requestFor(command);
        request.options.exporter = exporter;
        // Exporter items are tagged 1..N, in the list's order.
        addCommandItem(escapedTitle(title, m_style), int(k + 1), QString(), request);
    }
}

} // namespace pictomat
