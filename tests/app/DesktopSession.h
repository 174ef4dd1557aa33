#pragma once

// A desktop session of the tests' own: a private D-Bus daemon on the test X
// server, and the ways a desktop talks to the tray program (gdbus calls, the
// dbusmenu layout a tray host reads).

#include "TestEnv.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>

#include <functional>

#include <signal.h>
#include <unistd.h>

namespace pictomat::test {

inline bool waitUntil(const std::function<bool()>& condition, int timeoutMs)
{
    for (int waited = 0; waited < timeoutMs; waited += 100) {
        if (condition())
            return true;
        QThread::msleep(100);
    }
    return condition();
}

// A process of the test's own, ended when the test ends.
struct OwnedProcess {
    QProcess process;
    ~OwnedProcess()
    {
        if (process.state() == QProcess::NotRunning)
            return;
        process.terminate();
        if (!process.waitForFinished(3000)) {
            process.kill();
            process.waitForFinished(3000);
        }
    }
};

struct MenuItem {
    int id = 0;
    QString label; // "---" for a separator
    bool enabled = true;
};

// The items of a GetLayout reply as gdbus prints it, in order.
inline QVector<MenuItem> parseLayout(const QString& text)
{
    QVector<MenuItem> items;
    static const QRegularExpression itemPattern(QStringLiteral(R"(<\((\d+), \{([^{}]*)\})"));
    static const QRegularExpression labelPattern(QStringLiteral(R"('label': <(['"])(.*?)\1>)"));
    for (auto it = itemPattern.globalMatch(text); it.hasNext();) {
        const auto match = it.next();
        const QString props = match.captured(2);
        MenuItem item;
        item.id = match.captured(1).toInt();
        item.enabled = !props.contains(QLatin1String("'enabled': <false>"));
        if (props.contains(QLatin1String("'type': <'separator'>")))
            item.label = QStringLiteral("---");
        else
            item.label = labelPattern.match(props).captured(2);
        items.append(item);
    }
    return items;
}

class DesktopSession : public TestEnv {
protected:
    void SetUp() override
    {
        TestEnv::SetUp();
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            SERVICE_MISSING() << "needs an X server (scripts/test runs one)";
        m_bus.process.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--session"), QStringLiteral("--nofork"),
                                                            QStringLiteral("--print-address=1")});
        ASSERT_TRUE(m_bus.process.waitForStarted(5000));
        ASSERT_TRUE(
            waitUntil([&] { return m_bus.process.canReadLine() || m_bus.process.waitForReadyRead(100); }, 5000));
        m_address = QString::fromUtf8(m_bus.process.readLine().trimmed());
        ASSERT_FALSE(m_address.isEmpty());
        m_environment = {QStringLiteral("DBUS_SESSION_BUS_ADDRESS=") + m_address, QStringLiteral("QT_QPA_PLATFORM=xcb"),
                         QStringLiteral("PICTOMAT_SELECTION_SCRIPT")};
        m_files = {writeFile("a.txt", "first\n"), writeFile("b.txt", "second\n")};
    }
    void TearDown() override
    {
        // An instance that a test started through "pictomat menu" is ended by its id.
        if (m_instancePid > 0 && ::kill(m_instancePid, 0) == 0) {
            ::kill(m_instancePid, SIGTERM);
            waitUntil([&] { return ::kill(m_instancePid, 0) != 0; }, 3000);
        }
        TestEnv::TearDown();
    }

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_address);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        if (m_selectionScript.isEmpty())
            env.remove(QStringLiteral("PICTOMAT_SELECTION_SCRIPT"));
        else
            env.insert(QStringLiteral("PICTOMAT_SELECTION_SCRIPT"), m_selectionScript);
        return env;
    }

    ProcessResult gdbusCall(const QString& destination, const QString& path, const QString& method,
                            const QStringList& arguments = {})
    {
        // "--" so that arguments such as -1 are not read as options.
        QStringList args{QStringLiteral("call"),
                         QStringLiteral("--session"),
                         QStringLiteral("--dest"),
                         destination,
                         QStringLiteral("--object-path"),
                         path,
                         QStringLiteral("--method"),
                         method,
                         QStringLiteral("--")};
        return RunProcess(QStringLiteral("gdbus"), args + arguments, m_environment, 15000);
    }
    QString property(const QString& destination, const QString& path, const QString& interface, const QString& name)
    {
        return QString::fromUtf8(
            gdbusCall(destination, path, QStringLiteral("org.freedesktop.DBus.Properties.Get"), {interface, name}).out);
    }
    bool nameHasOwner(const QString& name)
    {
        return gdbusCall(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                         QStringLiteral("org.freedesktop.DBus.NameHasOwner"), {name})
            .out.contains("true");
    }
    void startOwned(OwnedProcess& owned, const QString& program, const QStringList& arguments = {})
    {
        owned.process.setProcessEnvironment(environment());
        owned.process.start(program, arguments);
        ASSERT_TRUE(owned.process.waitForStarted(5000));
    }
    QStringList fileArguments() const
    {
        QStringList args;
        for (const QByteArray& f : m_files)
            args.append(QFile::decodeName(f));
        return args;
    }

    // Has the program run the shipped selection script through a wrapper
    // that counts its runs (one per menu build), and returns the count.
    std::function<int()> countSelectionRuns()
    {
        const QByteArray runs = QFile::encodeName(work()) + "/selection-runs";
        const QByteArray script =
            writeFile("count-selection", "#!/bin/sh\necho >> '" + runs + "'\nexec '"
                                             + QByteArray(PICTOMAT_SOURCE_DIR "/data/selection") + "'\n");
        QFile::setPermissions(QFile::decodeName(script), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        m_environment.removeAll(QStringLiteral("PICTOMAT_SELECTION_SCRIPT"));
        m_environment.append(QStringLiteral("PICTOMAT_SELECTION_SCRIPT=") + QFile::decodeName(script));
        m_selectionScript = QFile::decodeName(script);
        return [runs] {
            QFile file(QFile::decodeName(runs));
            return file.open(QIODevice::ReadOnly) ? int(file.readAll().count('\n')) : 0;
        };
    }

    // The tray item a host registered, and the object path of its menu.
    bool findTrayMenu(QString& item, QString& menuPath)
    {
        const bool registered = waitUntil(
            [&] {
                const QString items = property(
                    QStringLiteral("org.kde.StatusNotifierWatcher"), QStringLiteral("/StatusNotifierWatcher"),
                    QStringLiteral("org.kde.StatusNotifierWatcher"), QStringLiteral("RegisteredStatusNotifierItems"));
                item = QRegularExpression(QStringLiteral("'([^']+)'")).match(items).captured(1);
                return !item.isEmpty();
            },
            30000);
        if (!registered)
            return false;
        menuPath = QRegularExpression(QStringLiteral("objectpath '([^']+)'"))
                       .match(property(item, QStringLiteral("/StatusNotifierItem"),
                                       QStringLiteral("org.kde.StatusNotifierItem"), QStringLiteral("Menu")))
                       .captured(1);
        return !menuPath.isEmpty();
    }
    // Opens the menu as a host does (AboutToShow), reads its layout, and
    // closes it again (the "closed" event).
    QVector<MenuItem> readTrayMenu(const QString& item, const QString& menuPath, QByteArray* raw = nullptr)
    {
        gdbusCall(item, menuPath, QStringLiteral("com.canonical.dbusmenu.AboutToShow"), {QStringLiteral("0")});
        const ProcessResult layout = gdbusCall(item, menuPath, QStringLiteral("com.canonical.dbusmenu.GetLayout"),
                                               {QStringLiteral("0"), QStringLiteral("-1"), QStringLiteral("[]")});
        gdbusCall(item, menuPath, QStringLiteral("com.canonical.dbusmenu.Event"),
                  {QStringLiteral("0"), QStringLiteral("closed"), QStringLiteral("<0>"), QStringLiteral("0")});
        if (raw)
            *raw = layout.out + layout.err;
        return parseLayout(QString::fromUtf8(layout.out));
    }
    int clickTrayMenuItem(const QString& item, const QString& menuPath, int id)
    {
        return gdbusCall(item, menuPath, QStringLiteral("com.canonical.dbusmenu.Event"),
                         {QString::number(id), QStringLiteral("clicked"), QStringLiteral("<0>"), QStringLiteral("0")})
            .exitCode;
    }

    // The process that owns the program's bus name, or 0.
    qint64 pictomatInstancePid()
    {
        const ProcessResult r =
            gdbusCall(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                      QStringLiteral("org.freedesktop.DBus.GetConnectionUnixProcessID"),
                      {QStringLiteral("com.corvane.Pictomat")});
        return QRegularExpression(QStringLiteral("uint32 (\\d+)"))
            .match(QString::fromUtf8(r.out))
            .captured(1)
            .toLongLong();
    }

    OwnedProcess m_bus;
    QString m_address;
    QStringList m_environment;
    QList<QByteArray> m_files;
    qint64 m_instancePid = 0;
    QString m_selectionScript;
};

} // namespace pictomat::test
