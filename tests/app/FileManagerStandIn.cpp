// A stand-in org.freedesktop.FileManager1 for tests: records every ShowItems
// call's URIs, one a line, in the file named by its first argument.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QFile>
#include <QObject>
#include <QStringList>

#include <cstdio>

class FileManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    explicit FileManager(QString log) : m_log(std::move(log)) { }

public Q_SLOTS:
    void ShowItems(const QStringList& uris, const QString& startupId)
    {
        Q_UNUSED(startupId);
        QFile f(m_log);
        if (f.open(QIODevice::Append)) {
            for (const QString& uri : uris)
                f.write(uri.toUtf8() + '\n');
        }
    }
    void ShowFolders(const QStringList& uris, const QString& startupId) { ShowItems(uris, startupId); }

private:
    QString m_log;
};

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    FileManager fm(QString::fromLocal8Bit(argv[1]));
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), &fm, QDBusConnection::ExportAllSlots)
        || !bus.registerService(QStringLiteral("org.freedesktop.FileManager1"))) {
        std::fprintf(stderr, "cannot register the stand-in file manager\n");
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    return app.exec();
}

#include "FileManagerStandIn.moc"
