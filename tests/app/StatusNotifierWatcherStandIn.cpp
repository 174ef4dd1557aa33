// A stand-in for a desktop's tray host: owns org.kde.StatusNotifierWatcher on
// the session bus and says a host is registered, so Qt exports its tray item
// and the item's menu (com.canonical.dbusmenu) to the bus. Prints "ready" once
// it owns the name. With "--host NAME" it also stands for the host itself,
// as a panel of that process name: it owns org.kde.StatusNotifierHost-PID.

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QStringList>

#include <cstdio>

#include <sys/prctl.h>
#include <unistd.h>

class Watcher : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ isStatusNotifierHostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ registeredStatusNotifierItems)
public:
    bool isStatusNotifierHostRegistered() const { return true; }
    int protocolVersion() const { return 0; }
    QStringList registeredStatusNotifierItems() const { return m_items; }

public Q_SLOTS:
    void RegisterStatusNotifierItem(const QString& service, const QDBusMessage& message)
    {
        // Some items send only their object path; the sender is then the service.
        const QString item = service.startsWith('/') ? message.service() + service : service;
        if (!m_items.contains(item))
            m_items.append(item);
        Q_EMIT StatusNotifierItemRegistered(item);
    }
    void RegisterStatusNotifierHost(const QString&) { }

Q_SIGNALS:
    void StatusNotifierItemRegistered(const QString& service);
    void StatusNotifierItemUnregistered(const QString& service);
    void StatusNotifierHostRegistered();

private:
    QStringList m_items;
};

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    Watcher watcher;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerObject(QStringLiteral("/StatusNotifierWatcher"), &watcher,
                            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals
                                | QDBusConnection::ExportAllProperties)
        || !bus.registerService(QStringLiteral("org.kde.StatusNotifierWatcher"))) {
        std::fprintf(stderr, "watcher: cannot own org.kde.StatusNotifierWatcher\n");
        return 1;
    }
    const QStringList arguments = QCoreApplication::arguments();
    if (const qsizetype host = arguments.indexOf(QStringLiteral("--host")); host > 0 && host + 1 < arguments.size()) {
        ::prctl(PR_SET_NAME, arguments.at(host + 1).toLocal8Bit().constData());
        bus.registerService(QStringLiteral("org.kde.StatusNotifierHost-%1").arg(::getpid()));
    }
    std::printf("ready\n");
    std::fflush(stdout);
    return app.exec();
}

#include "StatusNotifierWatcherStandIn.moc"
