#include "app/AppController.h"

#include "image/Exporters.h"
#include "app/MenuBuilder.h"
#include "app/ProgressWindow.h"
#include "app/Selection.h"
#include "commands/CommandServices.h"
#include "commands/Dispatcher.h"
#include "platform/Paths.h"
#include "app/Urls.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QFile>
#include <QIcon>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QUrl>

#include <cstdio>

namespace pictomat {

namespace {

// The tray picture; a plain drawn square when the data folder lacks it, so
// the tray never shows an empty slot.
QIcon trayIcon()
{
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
        return QStringLiteral("Export as %1").arg(request.options.exporter->descriptionString);
    return request.command ? QString::fromUtf8(request.command->title) : QString();
}

} // namespace

AppController::AppController(Desktop& desktop, QObject* parent)
    : QObject(parent), m_desktop(desktop), m_context(desktop)
{
}

AppController::~AppController()
{
    // The tray item goes before its menu: it holds the menu as its context menu.
    if (m_item) {
        m_item->hide();
        m_item.reset();
    }
    m_menu.reset();
}

void AppController::init()
{
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        m_item = std::make_unique<QSystemTrayIcon>();
        m_item->setIcon(trayIcon());
        m_item->setToolTip(QStringLiteral("Pictomat"));
        // A click on the item opens the menu, like the right button does.
        connect(m_item.get(), &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::Trigger)
                showMenuAtPointer();
        });
        if (m_menu)
            m_item->setContextMenu(m_menu.get());
    } else {
        std::fprintf(stderr,
                     "pictomat: no system tray is available; the Pictomat menu is reached through the "
                     "file-manager actions (\"pictomat menu\")\n");
        std::fflush(stderr);
    }
    setup();
    if (m_item)
        m_item->show();
}

void AppController::setup()
{
    m_model.graphicsAvailable = false;
    if (LoadGraphicsLayer(m_context.graphics)) {
        m_model.exporters = LoadExporterList(m_desktop, m_context.graphics);
        m_model.graphicsAvailable = true;
    }
    buildMenu();
}

void AppController::buildMenu()
{
    if (!m_menu) {
        m_menu = std::make_unique<QMenu>();
        m_menu->setTitle(QStringLiteral("Pictomat"));
        connect(m_menu.get(), &QMenu::aboutToShow, this, &AppController::menuNeedsUpdate);
        if (m_item)
            m_item->setContextMenu(m_menu.get());
    }
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
    m_model.selection = Selection::AcquireFinderSelection();
    MenuBuilder(*m_menu, m_model, std::move(actions)).layOutMenu();
}

void AppController::runCommand(const CommandRequest& request, bool collectAlerts, Finished finished)
{
    m_queue.push_back(QueuedCommand{request, collectAlerts, std::move(finished)});
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
        ProgressWindow progress(commandTitle(next.request),
                                [this, verb](const QString& title, int index, int count, const FileRef& item) {
                                    // The tray item shows that it is busy, and with what.
                                    if (m_item)
                                        m_item->setToolTip(QStringLiteral("Pictomat: %1, %2 of %3")
                                                               .arg(title).arg(index).arg(count));
                                    Q_EMIT commandProgress(verb, index, count, item);
                                });
        m_context.progress = &progress;
        if (next.collectAlerts) {
            // A caller that answers with the alerts gets them as text; what a
            // command leaves for the next one is kept as for any other run.
            RoutedDesktop collecting(m_desktop, {.collectAlerts = true});
            CommandContext context(collecting);
            context.graphics = m_context.graphics;
            context.currentItem = m_context.currentItem;
            context.lastOutputFile = m_context.lastOutputFile;
            context.progress = &progress;
            Dispatch(context, next.request);
            m_context.currentItem = context.currentItem;
            m_context.lastOutputFile = context.lastOutputFile;
            // An output that could not be written fails the call as an alert does.
            QStringList messages = collecting.alerts();
            for (const FailedOutput& failed : context.failedOutputs)
                messages.append(FailedOutputLine(failed));
            if (next.finished)
                next.finished(messages);
        } else {
            Dispatch(m_context, next.request);
            if (next.finished)
                next.finished({});
        }
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
    if (!m_menu)
        buildMenu();
    m_menu->popup(QCursor::pos());
}

void AppController::selectionHandedOver()
{
    setup();
}

void AppController::menuNeedsUpdate()
{
    setup();
}

void AppController::selItemPreferences()
{
    if (!m_preferencesOpener) {
        std::fprintf(stderr, "pictomat: the preferences window is not available\n");
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
