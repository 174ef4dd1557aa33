#pragma once

#include "commands/Command.h"
#include "files/FileRef.h"
#include "image/Exporters.h"

#include <QList>
#include <QString>

#include <functional>

class QAction;
class QMenu;

namespace pictomat {

class IconProvider;
namespace prefs {
class PreferenceStore;
}

// What the menu is built from: the selection taken when it opened and the
// image exporters loaded then.
struct MenuModel {
    SelectedItems selection;
    ExporterList exporters;
    bool graphicsAvailable = false;
    // The height the screen has for the menu, in pixels; 0 when unknown.
    int availableHeight = 0;
    // Whether the tray host that shows the menu over dbusmenu draws its items
    // taller than a Qt menu does (GNOME Shell); other hosts (KDE Plasma,
    // LXQt, XFCE, MATE) draw them about as Qt does.
    bool hostDrawsTallItems = false;
};

// Who draws the titles: Qt's own menu, where '&' marks a mnemonic, or a tray
// host reading the menu over dbusmenu, where '_' does (and Qt turns the first
// '&' of a title into one on the way).
enum class TitleStyle { Widget, DBusMenu };

// What the menu's items do. Command items all go to `command` with the
// request they stand for; the other items each have their own action.
struct MenuActions {
    std::function<void(const CommandRequest&)> command;
    std::function<void()> goToWebsite;
    std::function<void()> goToMAS;
    std::function<void()> preferences;
    std::function<void()> quit;
};

// Lays the status menu out around the selection, from the command table. The
// menu is rebuilt from nothing at every opening, so preference changes and a
// new selection show at once. Kept apart from the tray so the layout can be
// read back in tests. The preferences say which commands are offered, and the
// icons give the header its first item's icon.
class MenuBuilder {
public:
    MenuBuilder(QMenu& menu, const MenuModel& model, prefs::PreferenceStore& preferences, const IconProvider& icons,
                MenuActions actions, TitleStyle style = TitleStyle::Widget);

    // Discards every item and lays the menu out from the model. Where the
    // screen cannot hold the whole menu, the exporter items go into one
    // "Export Icon" submenu, so that the fixed items stay within reach.
    void layOutMenu();
    // How tall GNOME Shell, the tallest of the tray hosts, draws a menu:
    // each item and separator about this much.
    static constexpr int kHostItemHeight = 32;
    static constexpr int kHostSeparatorHeight = 12;
    static constexpr int kHostMenuPadding = 16;

    // "%d %@, First item: %@".
    static QString headerTitle(qint32 count, const QString& displayName);
    // A title that shows exactly `text` in the given style: no character of a
    // name becomes a mnemonic.
    static QString escapedTitle(const QString& text, TitleStyle style = TitleStyle::Widget);
    // How a name shows in the menu, the same in the header and the exporter
    // items: bytes that are not UTF-8 as replacement characters, and control
    // characters (a tab would open the shortcut column) as spaces.
    static QString shownName(const QByteArray& name);

private:
    // A command item titled `title`, tagged `tag`, that asks for `request`.
    QAction* addCommandItem(const QString& title, int tag, const QString& tip, const CommandRequest& request);
    QAction* addActionItem(const QString& title, const std::function<void()>& action);
    QAction* addLabel(const QString& title);
    void addSelectionItems();
    // One item per exporter (when the first item has an icon to export),
    // titled after the first item's name when exactly one item is selected.
    void addExporterItems(const Command& command);
    void addIconSizeItems(const Command& command);
    // The menu's height as it will be drawn.
    int drawnHeight() const;
    void foldExportersIfTooTall(const QList<QAction*>& exporterItems);
    CommandRequest requestFor(const Command& command) const;

    QMenu& m_menu;
    QList<QAction*> m_exporterItems;
    const MenuModel& m_model;
    prefs::PreferenceStore& m_preferences;
    const IconProvider& m_icons;
    MenuActions m_actions;
    TitleStyle m_style;
};

} // namespace pictomat
