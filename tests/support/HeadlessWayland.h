#pragma once

// A Wayland compositor of the test's own: sway on its headless backend, the
// compositor of a wlroots desktop. sway refuses to run as root, so it runs as
// the user "nobody" in a runtime folder of its own; programs of the test
// reach it by the socket's full path.

#include "TestEnv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include <sys/stat.h>
#include <unistd.h>

namespace pictomat::test {

class HeadlessWayland {
public:
    // Starts sway under `folder` (made here); false, with why, when it cannot.
    bool start(const QString& folder, QString* why)
    {
        for (const char* tool : {"sway", "setpriv", "wl-copy", "wl-paste"}) {
            if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty()) {
                *why = QStringLiteral("%1 is not installed").arg(QLatin1String(tool));
                return false;
            }
        }
        m_runtime = folder + QStringLiteral("/wayland-runtime");
        QDir().mkpath(m_runtime);
        QFile config(folder + QStringLiteral("/sway.conf"));
        if (!config.open(QIODevice::WriteOnly)
            || config.write("output HEADLESS-1 resolution 1280x800\nxwayland disable\n") < 0) {
            *why = QStringLiteral("cannot write the sway configuration");
            return false;
        }
        config.close();
        // "nobody" passes through the test's folder (the temporary folder's
        // own) to its runtime folder and reads the configuration.
        ::chmod(QFile::encodeName(folder).constData(), 0711);
        ::chmod(QFile::encodeName(config.fileName()).constData(), 0644);
        if (::chown(QFile::encodeName(m_runtime).constData(), 65534, 65534) != 0
            || ::chmod(QFile::encodeName(m_runtime).constData(), 0700) != 0) {
            *why = QStringLiteral("cannot hand the runtime folder to nobody (not root?)");
            return false;
        }
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"WAYLAND_DISPLAY", "DISPLAY", "DBUS_SESSION_BUS_ADDRESS"})
            env.remove(QLatin1String(name));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime);
        env.insert(QStringLiteral("HOME"), m_runtime);
        env.insert(QStringLiteral("WLR_BACKENDS"), QStringLiteral("headless"));
        env.insert(QStringLiteral("WLR_LIBINPUT_NO_DEVICES"), QStringLiteral("1"));
        env.insert(QStringLiteral("WLR_RENDERER"), QStringLiteral("pixman"));
        m_sway.setProcessEnvironment(env);
        m_sway.setProcessChannelMode(QProcess::MergedChannels);
        m_sway.start(QStringLiteral("setpriv"),
                     {"--reuid=65534", "--regid=65534", "--clear-groups", "sway", "-c", config.fileName()});
        for (int waited = 0; waited < 10000; waited += 50) {
            if (QFileInfo::exists(socket()))
                return true;
            if (m_sway.state() == QProcess::NotRunning)
                break;
            QThread::msleep(50);
        }
        *why = QStringLiteral("sway did not start: ") + QString::fromLocal8Bit(m_sway.readAll());
        return false;
    }
    ~HeadlessWayland()
    {
        if (m_sway.state() == QProcess::NotRunning)
            return;
        m_sway.terminate();
        if (!m_sway.waitForFinished(3000)) {
            m_sway.kill();
            m_sway.waitForFinished(3000);
        }
    }
    // The compositor's socket, as WAYLAND_DISPLAY names it.
    QString socket() const { return m_runtime + QStringLiteral("/wayland-1"); }
    // sway's own socket, as SWAYSOCK names it for swaymsg.
    QString ipcSocket() const
    {
        const QStringList found = QDir(m_runtime).entryList({QStringLiteral("sway-ipc.*.sock")}, QDir::System);
        return found.isEmpty() ? QString() : m_runtime + QLatin1Char('/') + found.first();
    }

private:
    QString m_runtime;
    QProcess m_sway;
};

} // namespace pictomat::test
