#include "platform/Reveal.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>

namespace pictomat {

namespace {
const QString kService = QStringLiteral("org.freedesktop.FileManager1");
const QString kPath = QStringLiteral("/org/freedesktop/FileManager1");

bool fileManagerServiceAvailable(const QDBusConnection& bus)
{
    QDBusConnectionInterface* iface = bus.interface();
    if (!iface)
        return false;
    if (iface->isServiceRegistered(kService).value())
        return true;
    const QDBusReply<QStringList> activatable = iface->call(QStringLiteral("ListActivatableNames"));
    return activatable.isValid() && activatable.value().contains(kService);
}
} // namespace

bool RevealInFileManager(const FileRef& item, Desktop& desktop)
{
    if (item.isEmpty())
        return false;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected() && fileManagerServiceAvailable(bus)) {
        QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("ShowItems"));
        // The URI keeps every byte of the name percent-encoded, so quotes,
        // newlines and names that are not UTF-8 all arrive intact.
        call << QStringList{QString::fromLatin1(item.uri())} << QString();
        const QDBusMessage reply = bus.call(call, QDBus::Block, 10000);
        if (reply.type() == QDBusMessage::ReplyMessage)
            return true;
    }
    const FileRef folder = item.parent();
    if (folder.isEmpty())
        return false;
    return desktop.openUrl(folder.url());
}

} // namespace pictomat
