// Floods the running Pictomat with D-Bus calls the way a misbehaving client
// (or a file manager gone wild) would, then times the answer to one more
// call: how long the program stays deaf after a burst.
//
//   pictomat_dbus_flood SHOWMENUS HANDOVERS FILE...
//
// Sends SHOWMENUS ShowMenu and HANDOVERS SetSelection([FILE...]) calls without
// waiting, interleaved; a quarter of a second later, when the program has
// taken the burst in, one Run call that it answers from its main thread (an
// unknown command: an error at once). Prints the seconds that call waited for
// its answer.

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QThread>
#include <QStringList>
#include <QUrl>
#include <QVariantMap>

#include <cstdio>

namespace {
QDBusMessage call(const char* method)
{
    return QDBusMessage::createMethodCall(QStringLiteral("com.corvane.Pictomat"),
                                          QStringLiteral("/com/corvane/Pictomat"),
                                          QStringLiteral("com.corvane.Pictomat"), QString::fromLatin1(method));
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4)
        return 2;
    const int menus = args.at(1).toInt();
    const int handOvers = args.at(2).toInt();
    QStringList uris;
    for (const QString& f : args.mid(3))
        uris.append(QString::fromLatin1(QUrl::fromLocalFile(f).toEncoded()));
    QDBusConnection bus = QDBusConnection::sessionBus();
    const int total = menus + handOvers;
    for (int i = 0; i < total; ++i) {
        // Spread the hand-overs evenly through the menus.
        const bool handOver = handOvers > 0 && (i * handOvers) / total != ((i + 1) * handOvers) / total;
        QDBusMessage m = call(handOver ? "SetSelection" : "ShowMenu");
        if (handOver)
            m << uris;
        bus.send(m);
    }
    bus.call(QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                            QStringLiteral("/org/freedesktop/DBus"),
                                            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetId")));
    QThread::msleep(250);
    QElapsedTimer timer;
    timer.start();
    QDBusMessage probe = call("Run");
    probe << QStringLiteral("no-such-command") << QStringList() << QVariantMap();
    const QDBusMessage reply = bus.call(probe, QDBus::Block, 600000);
    std::printf("%.2f\n", timer.elapsed() / 1000.0);
    return reply.type() == QDBusMessage::ErrorMessage ? 0 : 1;
}
