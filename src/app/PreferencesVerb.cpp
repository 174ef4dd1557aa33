#include "app/PreferencesVerb.h"

#include "app/Instance.h"
#include "ui/PreferencesWindow.h"

#include <QCoreApplication>
#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>

#include <cstdio>

namespace pictomat {

namespace {

// Asks the window served under `service` to come forward: false when nothing
// answers there.
bool raiseWindowOf(QDBusConnection& bus, const char* service)
{
    QDBusMessage call =
        QDBusMessage::createMethodCall(QString::fromLatin1(service), QString::fromLatin1(kObjectPath),
                                       QString::fromLatin1(kBusInterface), QStringLiteral("ShowPreferences"));
    call.setAutoStartService(false);
    const QDBusMessage reply = bus.call(call, QDBus::Block, kCallTimeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage;
}

} // namespace

PreferencesService::PreferencesService(std::function<void()> show, QObject* parent)
    : QObject(parent), m_show(std::move(show))
{
}

void PreferencesService::ShowPreferences()
{
    if (m_show)
        m_show();
}

int RunPreferencesVerb(int argc, char** argv, prefs::PreferenceStore& store)
{
    // The window needs the application object, and the bus needs one too.
    QApplication app(argc, argv);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return RunPreferencesWindow(argc, argv, store);
    if (InstanceRunning(bus) && raiseWindowOf(bus, kBusName))
        return 0;
    // Owning the name first settles which of two openings at once shows the
    // window; the other raises it.
    const QString name = QString::fromLatin1(kPreferencesBusName);
    if (!bus.registerService(name)) {
        if (raiseWindowOf(bus, kPreferencesBusName))
            return 0;
        std::fprintf(stderr, "pictomat: %s\n",
                     qUtf8Printable(QCoreApplication::translate(
                         "Tray", "the open preferences window does not answer; opening another")));
    }
    PictomatPref* window = nullptr;
    PreferencesService service([&window] {
        if (window != nullptr)
            window->showWindow();
    });
    bus.registerObject(QString::fromLatin1(kObjectPath), &service, QDBusConnection::ExportScriptableSlots);
    const int status = RunPreferencesWindow(argc, argv, store, [&window](PictomatPref& opened) { window = &opened; });
    window = nullptr;
    bus.unregisterObject(QString::fromLatin1(kObjectPath));
    bus.unregisterService(name);
    return status;
}

} // namespace pictomat
