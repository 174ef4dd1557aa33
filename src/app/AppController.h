#pragma once

#include "app/MenuBuilder.h"
#include "commands/CommandContext.h"

#include <QObject>
#include <QStringList>

#include <deque>
#include <functional>
#include <memory>

class QMenu;
class QSystemTrayIcon;

namespace pictomat {

// The application controller: the tray item, its menu rebuilt before every
// opening, the actions of the menu's fixed items, and the queue every command
// of the tray runs through. There is exactly one.
class AppController : public QObject {
    Q_OBJECT
public:
    explicit AppController(Desktop& desktop, QObject* parent = nullptr);
    ~AppController() override;

    // Creates the tray item where a tray exists (else says once on standard
    // error where the menu is found instead), then runs the first refresh.
    void init();
    // The refresh before every opening: loads the graphics layer and, when it
    // loads, the exporter list; then rebuilds the menu whatever happened.
    void setup();

    // Whoever builds the preferences window supplies how to bring it forward.
    void setPreferencesOpener(std::function<void()> opener);

    // The menu at the pointer, for the file-manager actions and for sessions
    // without a tray. The opening itself rebuilds it.
    void showMenuAtPointer();
    // A selection was handed over: rebuild at once, since some tray hosts
    // fetch the menu only after showing it.
    void selectionHandedOver();

    // How a queued command ends: its alerts, when they were collected rather
    // than shown, followed by a line for each output it could not write.
    using Finished = std::function<void(const QStringList& messages)>;
    // Runs the command after the ones already queued. With `collectAlerts`,
    // its alerts and failed outputs are handed to `finished` instead of shown.
    void runCommand(const CommandRequest& request, bool collectAlerts = false, Finished finished = {});

    QMenu* menu() const { return m_menu.get(); }
    QSystemTrayIcon* statusItem() const { return m_item.get(); }
    CommandContext& context() { return m_context; }
    const MenuModel& model() const { return m_model; }

Q_SIGNALS:
    // A queued command (by its verb) is about to work on an item.
    void commandProgress(const QString& verb, int index, int count, const FileRef& item);

public Q_SLOTS:
    void menuNeedsUpdate();
    void selItemPreferences();
    void selItemQuit();
    void goToWebsite();
    void goToMAS();

private:
    struct QueuedCommand {
        CommandRequest request;
        bool collectAlerts = false;
        Finished finished;
    };
    void buildMenu();
    void runQueue();

    Desktop& m_desktop;
    CommandContext m_context;
    MenuModel m_model;
    std::unique_ptr<QSystemTrayIcon> m_item;
    std::unique_ptr<QMenu> m_menu;
    std::function<void()> m_preferencesOpener;
    // Commands run one after the other. While one runs, its alerts and its
    // progress window let events through: the menu opens and is rebuilt (a
    // command keeps the items it was asked for), and new commands wait here.
    std::deque<QueuedCommand> m_queue;
    bool m_commandRunning = false;
};

} // namespace pictomat
