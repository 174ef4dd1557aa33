#pragma once

#include "commands/CommandContext.h"

#include <QString>

#include <functional>

class QAction;
class QMenu;

namespace pictomat {

// What the menu's items do. Command items all go to `command` with their tag;
// the action items each have their own.
struct MenuActions {
    std::function<void(int tag)> command;
    std::function<void()> goToWebsite;
    std::function<void()> goToMAS;
    std::function<void()> preferences;
    std::function<void()> quit;
};

// Lays the status menu out around the selection. The menu is rebuilt from
// nothing at every opening, so preference changes and a new selection show
// at once. Kept apart from the tray so the layout can be read back in tests.
class MenuBuilder {
public:
    MenuBuilder(QMenu& menu, CommandContext& context, MenuActions actions);

    // Discards every item, takes the selection anew (it replaces the context's
    // selected items) and lays the menu out.
    void buildMenu();
    // Discards every item and lays the menu out from the context as it stands.
    void layOutMenu();

    // A command item: the title, the tag and the tool tip, appended.
    QAction* addMenuItem(const QString& title, int commandId, const QString& tip);
    // One item per exporter, titled after the first item's name when exactly
    // one item is selected.
    void buildIconToImageMenu();

    // Every item that has an action is enabled; labels are not asked.
    static bool validateMenuItem(const QAction& item);

    // "%d %@, First item: %@".
    static QString headerTitle(qint32 count, const QString& displayName);
    // Menu titles treat '&' as a mnemonic marker; names shown in the menu keep theirs.
    static QString escapedTitle(const QString& text);

private:
    QAction* addActionItem(const QString& title, const std::function<void()>& action);
    QAction* addLabel(const QString& title);
    void addSelectionItems();

    QMenu& m_menu;
    CommandContext& m_context;
    MenuActions m_actions;
};

} // namespace pictomat
