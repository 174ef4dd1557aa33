#pragma once

#include "app/MenuBuilder.h"
#include "commands/CommandContext.h"

#include <QObject>
#include <QStringList>
#include <QElapsedTimer>
#include <QTimer>

#include <deque>
#include <functional>
#include <memory>
#include <optional>

class QDBusServiceWatcher;
class QFileSystemWatcher;
class QMenu;
class QSystemTrayIcon;

namespace pictomat {

class CopiedFiles;
class MenuWindow;

// The application controller: the tray item, its menu rebuilt before every
// opening, the actions of the menu's fixed items, and the queue every command
// of the tray runs through. There is exactly one. Its commands reach the
// desktop, the preference domain and the icon lookup it is given.
class AppController : public QObject {
    Q_OBJECT
public:
    AppController(Desktop& desktop, prefs::PreferenceStore& preferences, IconProvider& icons,
                  QObject* parent = nullptr);
    ~AppController() override;

    // Runs the first refresh and creates the tray item. Where no tray host
    // runs yet (a panel that starts after us at login), it says once on
    // standard error where the menu is found meanwhile, and creates the item
    // as soon as a host appears: a StatusNotifierWatcher with a host, or an
    // XEmbed tray manager.
    void init();
    // The refresh before every opening: loads the graphics layer and, when it
    // loads, the exporter list, and takes the selection; then lays the tray's
    // menu out again when any of that or the settings changed since it was
    // last laid out. A tray host shows the menu it was told of, so a rebuild
    // while it is open, or a layout change per item, closes or scrambles it
    // there (lxqt-panel): hosts hear of one layout change per rebuild, and a
    // change that comes while the menu is open waits until it closes.
    void setup();

    // Whoever builds the preferences window supplies how to bring it forward.
    void setPreferencesOpener(std::function<void()> opener);

    // The menu at the pointer, for the file-manager actions, for sessions
    // without a tray and for hosts that only ask the item for its menu
    // (swaybar). The opening itself rebuilds it. In a Wayland session, where
    // no popup can be placed at the pointer, it is a small window instead.
    void showMenuAtPointer();
    // Requests from other programs (D-Bus), taken in bursts: a hand-over
    // replaces one that still waits, and the menu is rebuilt and shown once
    // for everything that arrives while an answer waits, at most once every
    // kRequestBurstMs. A hand-over is recorded and the menu rebuilt at once,
    // since some tray hosts fetch the menu only after showing it.
    void handOver(const QList<QByteArray>& uris);
    void requestMenuAtPointer();
    static constexpr int kRequestBurstMs = 50;

    // How a queued command ends: its alerts, when they were kept, followed by
    // a line for each output it could not write.
    using Finished = std::function<void(const QStringList& messages)>;
    using Alerts = RoutedDesktop::Alerts;
    // Runs the command after the ones already queued. Unless its alerts are
    // only shown, they and the failed outputs are handed to `finished`.
    void runCommand(const CommandRequest& request, Alerts alerts = Alerts::Show, Finished finished = {});

    QMenu* menu() const { return m_menu.get(); }
    MenuWindow* menuWindow() const { return m_menuWindow.get(); }
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

private Q_SLOTS:
    // Creates the tray item once a tray host is there.
    void lookForTray();

private:
    struct QueuedCommand {
        CommandRequest request;
        Alerts alerts = Alerts::Show;
        Finished finished;
    };
    // Everything a menu is laid out from; equal states give equal menus.
    struct MenuState {
        SelectedItems selection;
        bool graphicsAvailable = false;
        QStringList exporters;
        QList<bool> offered;
        int availableHeight = 0;
        bool hostDrawsTallItems = false;
        bool operator==(const MenuState& other) const;
    };
    // Loads the exporters and takes the selection into the model.
    void refreshModel();
    MenuState currentState() const;
    void buildMenu(QMenu& menu, TitleStyle style);
    // Lays the tray's menu out again when its state changed (or `force`);
    // while it is open, only marks it for when it closes.
    void rebuildTrayMenu(bool force = false);
    // For a change noticed outside an opening (settings, clipboard).
    void scheduleTrayRefresh();
    QMenu& trayMenu();
    void connectTrayMenu(QMenu& menu);
    bool trayMenuExported() const;
    void runQueue();
    void answerRequests();
    void createStatusItem();

    Desktop& m_desktop;
    // What the commands see: the desktop, with alerts collected for a caller
    // that answers with them (D-Bus) while its command runs.
    RoutedDesktop m_commandDesktop;
    CommandContext m_context;
    MenuModel m_model;
    bool m_exportersLoaded = false;
    std::unique_ptr<QSystemTrayIcon> m_item;
    std::unique_ptr<QMenu> m_menu;            // the tray item's
    std::unique_ptr<QMenu> m_pointerMenu;     // shown at the pointer
    std::unique_ptr<MenuWindow> m_menuWindow; // shown where no popup can be placed
    // What the tray's menu was last laid out from, and whether it is open now
    // or has a change waiting for it to close.
    std::optional<MenuState> m_trayState;
    bool m_trayMenuOpen = false;
    bool m_trayRebuildWaiting = false;
    QTimer m_trayRefreshTimer;
    std::unique_ptr<QFileSystemWatcher> m_settingsWatcher;
    std::function<void()> m_preferencesOpener;
    // Commands run one after the other. While one runs, its alerts and its
    // progress window let events through: the menu opens and is rebuilt (a
    // command keeps the items it was asked for), and new commands wait here.
    std::deque<QueuedCommand> m_queue;
    bool m_commandRunning = false;
    // What other programs asked for and is not done yet.
    std::optional<QList<QByteArray>> m_pendingHandOver;
    bool m_menuRequested = false;
    QTimer m_requestTimer;
    QElapsedTimer m_lastAnswer;
    void scheduleAnswer();
    // Watching for a tray host while there is none.
    std::unique_ptr<QDBusServiceWatcher> m_trayHostWatcher;
    QTimer m_trayManagerPoll;
    // The files copied to the clipboard, where it can be watched; else when
    // it last changed (ns since 1970), for the selection script.
    std::unique_ptr<CopiedFiles> m_copiedFiles;
    qint64 m_clipboardChangedNs = 0;
};

} // namespace pictomat
