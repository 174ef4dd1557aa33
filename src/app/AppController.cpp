#include "app/AppController.h"

#include "app/Log.h"
#include "app/MenuBuilder.h"
#include "app/MenuWindow.h"
#include "app/ProgressWindow.h"
#include "app/Selection.h"
#include "app/Urls.h"
#include "app/XSelections.h"
#include "commands/CommandServices.h"
#include "commands/CommandTexts.h"
#include "commands/Dispatcher.h"
#include "files/Paths.h"
#include "image/Exporters.h"
#include "platform/Clipboard.h"
#include "platform/CopiedFiles.h"
#include "prefs/PreferenceStore.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QIcon>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QSignalBlocker>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QUrl>
#include <qpa/qplatformmenu.h>

#include <cstdio>

namespace pictomat {

namespace {

// The tray picture by its icon name, which a panel looks up in the icon
// theme at its own size (GNOME Shell, whose top bar is drawn in one colour,
// gets the one-colour picture); where it is not installed, the picture in the
// data folder; a plain drawn square when that is missing too, so the tray
// never shows an empty slot.
QIcon trayIcon(bool oneColour)
{
    const QString name =
        oneColour ? QStringLiteral("com.corvane.Pictomat-tray-symbolic") : QStringLiteral("com.corvane.Pictomat-tray");
    if (QIcon::hasThemeIcon(name))
        return QIcon::fromTheme(name);
    const QString path = DataDirectory() + QStringLiteral("/icons/pictomat.svg");
    if (QFile::exists(path)) {
        QIcon icon(path);
        if (!icon.isNull() && !icon.availableSizes().isEmpty())
            return icon;
        if (!icon.pixmap(22, 22).isNull())
            return icon;
    }
    QPixmap pixmap(22, 22);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(0x3b, 0x6e, 0xa5));
    painter.setPen(Qt::NoPen);
    painter.drawRoundedRect(QRectF(1, 1, 20, 20), 4, 4);
    return QIcon(pixmap);
}

// What the progress window and the tool tip call a command.
QString commandTitle(const CommandRequest& request)
{
    if (request.options.exporter)
        return AppController::tr("Export as %1").arg(request.options.exporter->descriptionString);
    return request.command ? CommandTitle(*request.command) : QString();
}

const QString kStatusNotifierWatcher = QStringLiteral("org.kde.StatusNotifierWatcher");
// Changes noticed outside an opening come in bursts (a file rewritten, a
// copy offering several types): the menu is rebuilt once for each burst.
constexpr int kTrayRefreshDelayMs = 200;
constexpr int kTrayManagerPollMs = 2000;
constexpr int kClosedMenuGraceMs = 300;
// How long an opening waits for the files copied a moment ago.
constexpr int kClipboardSettleMs = 500;

// The program that shows the tray's items over StatusNotifierItem, by its
// process name (gnome-shell, plasmashell, xfce4-panel, ...): a host owns a
// bus name "org.kde.StatusNotifierHost-PID". Empty when none is found.
QByteArray trayHostProgram()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return {};
    const QDBusReply<QStringList> names = bus.interface()->registeredServiceNames();
    for (const QString& name : names.value()) {
        if (!name.startsWith(QLatin1String("org.kde.StatusNotifierHost")))
            continue;
        const QDBusReply<uint> pid = bus.interface()->servicePid(name);
        QFile comm(QStringLiteral("/proc/%1/comm").arg(pid.value()));
        if (pid.isValid() && comm.open(QIODevice::ReadOnly))
            return comm.readAll().trimmed();
    }
    return {};
}

// A StatusNotifier host that would show the item, or an XEmbed tray manager.
bool trayHostPresent()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected() && bus.interface()->isServiceRegistered(kStatusNotifierWatcher).value()) {
        QDBusMessage get =
            QDBusMessage::createMethodCall(kStatusNotifierWatcher, QStringLiteral("/StatusNotifierWatcher"),
                                           QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
        get << kStatusNotifierWatcher << QStringLiteral("IsStatusNotifierHostRegistered");
        const QDBusReply<QDBusVariant> reply = bus.call(get, QDBus::Block, 2000);
        if (reply.isValid() && reply.value().variant().toBool())
            return true;
    }
    return XSelections::trayManagerPresent().value_or(false);
}

} // namespace

AppController::AppController(Desktop& desktop, prefs::PreferenceStore& preferences, IconProvider& icons,
                             QObject* parent)
    : QObject(parent), m_desktop(desktop), m_commandDesktop(desktop, {}),
      m_context(m_commandDesktop, preferences, icons)
{
    m_requestTimer.setSingleShot(true);
    m_requestTimer.setInterval(kRequestBurstMs);
    connect(&m_requestTimer, &QTimer::timeout, this, &AppController::answerRequests);
    m_trayRefreshTimer.setSingleShot(true);
    m_trayRefreshTimer.setInterval(kTrayRefreshDelayMs);
    connect(&m_trayRefreshTimer, &QTimer::timeout, this, [this] {
        if (!m_item)
            return;
        refreshModel();
        rebuildTrayMenu();
    });
}

AppController::~AppController()
{
    // The tray item goes before its menu: it holds the menu as its context menu.
    if (m_item) {
        m_item->hide();
        m_item.reset();
    }
    m_menu.reset();
    m_pointerMenu.reset();
    m_menuWindow.reset();
}

void AppController::init()
{
    // Files copied after a hand-over are the newer selection. Where the
    // clipboard can be watched, its files are read once per change, in the
    // background; elsewhere it says only that it changed, so the time is kept
    // here for the script, which then asks the clipboard itself.
    const QString runtime = XdgRuntimeDir() + QStringLiteral("/pictomat");
    QDir().mkpath(runtime);
    m_copiedFiles = std::make_unique<CopiedFiles>(runtime + QStringLiteral("/clipboard"));
    if (m_copiedFiles->watching()) {
        // Copied files may be the selection now: the menu is ready before it
        // is next opened.
        connect(m_copiedFiles.get(), &CopiedFiles::changed, this, &AppController::scheduleTrayRefresh);
    } else if (QClipboard* clipboard = QGuiApplication::clipboard()) {
        connect(clipboard, &QClipboard::changed, this, [this](QClipboard::Mode mode) {
            if (mode != QClipboard::Clipboard)
                return;
            m_clipboardChangedNs = QDateTime::currentMSecsSinceEpoch() * 1000000;
            scheduleTrayRefresh();
        });
    }
    // Settings changed by the preferences window or another process: the
    // file is replaced, so its folder is watched as well.
    const QString settings = m_context.preferences.filePath();
    m_settingsWatcher = std::make_unique<QFileSystemWatcher>();
    m_settingsWatcher->addPath(QFileInfo(settings).absolutePath());
    if (QFileInfo::exists(settings))
        m_settingsWatcher->addPath(settings);
    const auto settingsChanged = [this, settings] {
        if (QFileInfo::exists(settings) && !m_settingsWatcher->files().contains(settings))
            m_settingsWatcher->addPath(settings);
        scheduleTrayRefresh();
    };
    connect(m_settingsWatcher.get(), &QFileSystemWatcher::fileChanged, this, settingsChanged);
    connect(m_settingsWatcher.get(), &QFileSystemWatcher::directoryChanged, this, settingsChanged);
    // The item first, with the menu it has without a selection; what the
    // selection and the image layer add comes right after.
    QTimer::singleShot(0, this, &AppController::setup);
    if (trayHostPresent()) {
        createStatusItem();
        return;
    }
    std::fprintf(stderr, "pictomat: %s\n",
                 qUtf8Printable(tr("no system tray is available yet; the tray item appears when one starts, and "
                                   "meanwhile the Pictomat menu is reached through the file-manager actions "
                                   "(\"pictomat menu\")")));
    std::fflush(stderr);
    // Qt decides once, when the item is made, whether it goes to a
    // StatusNotifier host or to an XEmbed tray; so the item waits for one.
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        m_trayHostWatcher = std::make_unique<QDBusServiceWatcher>(kStatusNotifierWatcher, bus,
                                                                  QDBusServiceWatcher::WatchForRegistration);
        connect(m_trayHostWatcher.get(), &QDBusServiceWatcher::serviceRegistered, this, &AppController::lookForTray);
        bus.connect(QString(), QStringLiteral("/StatusNotifierWatcher"), kStatusNotifierWatcher,
                    QStringLiteral("StatusNotifierHostRegistered"), this, SLOT(lookForTray()));
    }
    // An XEmbed tray manager announces itself only to those who watch the
    // root window; asking for its selection now and then is simpler.
    connect(&m_trayManagerPoll, &QTimer::timeout, this, &AppController::lookForTray);
    m_trayManagerPoll.start(kTrayManagerPollMs);
}

void AppController::lookForTray()
{
    if (!m_item && trayHostPresent())
        createStatusItem();
}

void AppController::createStatusItem()
{
    m_trayManagerPoll.stop();
    if (m_trayHostWatcher) {
        QDBusConnection::sessionBus().disconnect(QString(), QStringLiteral("/StatusNotifierWatcher"),
                                                 kStatusNotifierWatcher, QStringLiteral("StatusNotifierHostRegistered"),
                                                 this, SLOT(lookForTray()));
        m_trayHostWatcher.reset();
    }
    m_item = std::make_unique<QSystemTrayIcon>();
    m_item->setToolTip(QStringLiteral("Pictomat"));
    // A click on the item opens the menu, like the right button does. A host
    // that does not read menus over dbusmenu (swaybar) asks the item itself
    // for its context menu; where Qt draws the tray menu itself (XEmbed),
    // it has shown it already.
    connect(m_item.get(), &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger || (reason == QSystemTrayIcon::Context && trayMenuExported()))
            showMenuAtPointer();
    });
    // GNOME Shell draws menu items half as tall again as a Qt menu: the
    // exporters fold for it sooner than for the other hosts.
    const bool gnomeShell = trayHostProgram() == "gnome-shell";
    m_model.hostDrawsTallItems = gnomeShell;
    m_item->setIcon(trayIcon(gnomeShell));
    m_item->setContextMenu(&trayMenu());
    // The titles follow whoever draws them now.
    rebuildTrayMenu(true);
    m_item->show();
}

bool AppController::trayMenuExported() const
{
    // A menu a tray host reads over dbusmenu has a platform menu behind it.
    return m_menu && m_menu->platformMenu();
}

void AppController::setup()
{
    refreshModel();
    rebuildTrayMenu();
}

void AppController::refreshModel()
{
    if (m_copiedFiles && m_copiedFiles->watching()) {
        // Files copied a moment ago are still being read.
        m_copiedFiles->settle(kClipboardSettleMs);
        m_model.selection = Selection::AcquireFinderSelection(m_context.preferences, m_copiedFiles->changedNs(),
                                                              m_copiedFiles->filesFile());
    } else {
        m_model.selection = Selection::AcquireFinderSelection(m_context.preferences, m_clipboardChangedNs);
    }
    // The image layer's plugins are loaded with the first selection, not
    // for a menu that has nothing to export; they are found once per process,
    // so the exporters they offer are listed once.
    if (!m_exportersLoaded && m_model.selection.hasSelection()) {
        m_exportersLoaded = true;
        m_model.graphicsAvailable = LoadGraphicsLayer(m_context.graphics);
        if (m_model.graphicsAvailable)
            m_model.exporters = LoadExporterList(m_desktop.standardOutputWriter(), m_context.graphics);
    }
    const QScreen* screen = QGuiApplication::primaryScreen();
    m_model.availableHeight = screen ? screen->availableGeometry().height() : 0;
}

bool AppController::MenuState::operator==(const MenuState& other) const
{
    return selection.count == other.selection.count && selection.items == other.selection.items
           && graphicsAvailable == other.graphicsAvailable && exporters == other.exporters && offered == other.offered
           && availableHeight == other.availableHeight && hostDrawsTallItems == other.hostDrawsTallItems;
}

AppController::MenuState AppController::currentState() const
{
    MenuState state;
    state.selection = m_model.selection;
    state.graphicsAvailable = m_model.graphicsAvailable;
    for (const ExporterInfo& exporter : m_model.exporters)
        state.exporters.append(exporter.extensionString + QLatin1Char(' ') + exporter.descriptionString);
    for (const Command& command : Commands())
        state.offered.append(Offered(m_context.preferences, command));
    state.availableHeight = m_model.availableHeight;
    state.hostDrawsTallItems = m_model.hostDrawsTallItems;
    return state;
}

void AppController::rebuildTrayMenu(bool force)
{
    const MenuState state = currentState();
    if (!force && m_trayState == state)
        return;
    if (m_trayMenuOpen && !force) {
        m_trayRebuildWaiting = true;
        return;
    }
    m_trayRebuildWaiting = false;
    m_trayState = state;
    QMenu& menu = trayMenu();
    if (!trayMenuExported()) {
        buildMenu(menu, TitleStyle::Widget);
        return;
    }
    // The exported menu is laid out again in place: the tray item keeps the
    // one menu it was given, since handing it another makes Qt delete the
    // D-Bus adaptor a host may be calling into at that moment (a rebuild
    // starts inside a host's AboutToShow). Its layout signals are held back
    // meanwhile, and the last item goes in once they flow again: that one
    // change is all the host hears of.
    QAction* last = nullptr;
    {
        const QSignalBlocker quiet(menu.platformMenu());
        buildMenu(menu, TitleStyle::DBusMenu);
        if (!menu.actions().isEmpty()) {
            last = menu.actions().last();
            menu.removeAction(last);
        }
    }
    if (last)
        menu.addAction(last);
}

void AppController::scheduleTrayRefresh()
{
    if (m_item)
        m_trayRefreshTimer.start();
}

QMenu& AppController::trayMenu()
{
    if (!m_menu) {
        m_menu = std::make_unique<QMenu>();
        connectTrayMenu(*m_menu);
        if (m_item)
            m_item->setContextMenu(m_menu.get());
    }
    return *m_menu;
}

void AppController::connectTrayMenu(QMenu& menu)
{
    menu.setTitle(QStringLiteral("Pictomat"));
    connect(&menu, &QMenu::aboutToShow, this, &AppController::menuNeedsUpdate);
    connect(&menu, &QMenu::aboutToHide, this, [this] {
        m_trayMenuOpen = false;
        // What changed while the menu was open, once it has closed. A host
        // may say that the menu closed before it sends the click on one of
        // its items, so the items stay a moment longer for that click.
        if (m_trayRebuildWaiting)
            QTimer::singleShot(kClosedMenuGraceMs, this, [this] { rebuildTrayMenu(); });
    });
}

void AppController::buildMenu(QMenu& menu, TitleStyle style)
{
    MenuActions actions;
    actions.command = [this](const CommandRequest& request) {
        // The command runs once the menu has closed and the click has been
        // answered.
        QTimer::singleShot(0, this, [this, request] { runCommand(request); });
    };
    actions.goToWebsite = [this] { goToWebsite(); };
    actions.goToMAS = [this] { goToMAS(); };
    actions.preferences = [this] { selItemPreferences(); };
    actions.quit = [this] { selItemQuit(); };
    MenuBuilder(menu, m_model, m_context.preferences, m_context.icons, std::move(actions), style).layOutMenu();
}

void AppController::runCommand(const CommandRequest& request, Alerts alerts, Finished finished)
{
    m_queue.push_back(QueuedCommand{request, alerts, std::move(finished)});
    runQueue();
}

void AppController::runQueue()
{
    // A command asked for while another one waits in an alert joins the queue.
    if (m_commandRunning)
        return;
    while (!m_queue.empty()) {
        QueuedCommand next = std::move(m_queue.front());
        m_queue.pop_front();
        m_commandRunning = true;
        const QString verb = next.request.command ? QString::fromLatin1(next.request.command->verb) : QString();
        ProgressWindow progress(
            commandTitle(next.request), [this, verb](const QString& title, int index, int count, const FileRef& item) {
                // The tray item shows that it is busy, and with what.
                if (m_item)
                    m_item->setToolTip(tr("Pictomat: %1, %2 of %3").arg(title).arg(index).arg(count));
                Q_EMIT commandProgress(verb, index, count, item);
            });
        m_context.progress = &progress;
        // A caller that answers with the alerts gets them as text.
        m_commandDesktop.routeAlerts(next.alerts);
        Dispatch(m_context, next.request);
        QStringList messages = m_commandDesktop.routeAlerts(Alerts::Show);
        if (next.alerts != Alerts::Show) {
            // An output that could not be written fails the call as an alert does.
            for (const FailedOutput& failed : m_context.failedOutputs)
                messages.append(FailedOutputLine(failed));
        }
        if (next.finished)
            next.finished(messages);
        m_context.progress = nullptr;
        if (m_item)
            m_item->setToolTip(QStringLiteral("Pictomat"));
        m_commandRunning = false;
    }
}

void AppController::setPreferencesOpener(std::function<void()> opener)
{
    m_preferencesOpener = std::move(opener);
}

void AppController::showMenuAtPointer()
{
    if (Clipboard::waylandSession()) {
        if (!m_menuWindow)
            m_menuWindow = std::make_unique<MenuWindow>();
        refreshModel();
        buildMenu(m_menuWindow->menu(), TitleStyle::Widget);
        m_menuWindow->present();
        return;
    }
    // A menu of its own: the tray's may be exported over dbusmenu, with
    // titles written for the tray host, yet Qt would draw it here too.
    if (!m_pointerMenu) {
        m_pointerMenu = std::make_unique<QMenu>();
        m_pointerMenu->setTitle(QStringLiteral("Pictomat"));
        connect(m_pointerMenu.get(), &QMenu::aboutToShow, this, [this] {
            refreshModel();
            buildMenu(*m_pointerMenu, TitleStyle::Widget);
        });
    }
    m_pointerMenu->popup(QCursor::pos());
}

void AppController::handOver(const QList<QByteArray>& uris)
{
    m_pendingHandOver = uris;
    scheduleAnswer();
}

void AppController::requestMenuAtPointer()
{
    m_menuRequested = true;
    scheduleAnswer();
}

void AppController::scheduleAnswer()
{
    if (m_requestTimer.isActive())
        return;
    // The first request of a burst is answered as soon as the calls already
    // waiting have been read; after an answer, the next one comes no sooner
    // than kRequestBurstMs later, so a flood costs a rebuild per interval.
    const qint64 since = m_lastAnswer.isValid() ? m_lastAnswer.elapsed() : kRequestBurstMs;
    m_requestTimer.start(int(qBound<qint64>(0, qint64(kRequestBurstMs) - since, qint64(kRequestBurstMs))));
}

void AppController::answerRequests()
{
    m_lastAnswer.start();
    const bool handedOver = m_pendingHandOver.has_value();
    if (handedOver) {
        QString error;
        if (!Selection::RecordHandedOverSelection(*m_pendingHandOver, &error))
            qCWarning(lcApp).noquote() << error;
        m_pendingHandOver.reset();
    }
    const bool show = m_menuRequested && !(m_pointerMenu && m_pointerMenu->isVisible())
                      && !(m_menuWindow && m_menuWindow->isVisible());
    m_menuRequested = false;
    // Opening the menu rebuilds it; otherwise a hand-over rebuilds the tray's
    // here, for hosts that fetch it only after showing it.
    if (show)
        showMenuAtPointer();
    else if (handedOver && m_item)
        setup();
}

void AppController::menuNeedsUpdate()
{
    // An opening: anything that changed since the last build counts now.
    m_trayMenuOpen = false;
    setup();
    m_trayMenuOpen = true;
}

void AppController::selItemPreferences()
{
    if (!m_preferencesOpener) {
        qCWarning(lcApp, "the preferences window is not available");
        return;
    }
    m_preferencesOpener();
}

void AppController::selItemQuit()
{
    QCoreApplication::quit();
}

void AppController::goToWebsite()
{
    m_desktop.openUrl(QUrl(QString::fromLatin1(kWebsiteUrl)));
}

void AppController::goToMAS()
{
    m_desktop.openUrl(QUrl(QString::fromLatin1(kAppStoreUrl)));
}

} // namespace pictomat
