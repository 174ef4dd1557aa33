#include "platform/Paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <unistd.h>

namespace pictomat {

namespace {
QString homeDir()
{
    const QString home = qEnvironmentVariable("HOME");
    return home.isEmpty() ? QDir::homePath() : home;
}

QString envDirOr(const char* name, const QString& fallback)
{
    const QString value = qEnvironmentVariable(name);
    // The XDG rules ignore relative paths.
    return (!value.isEmpty() && value.startsWith('/')) ? value : fallback;
}

QString executableDir()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QFileInfo(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))).absolutePath();
}
} // namespace

QString DataDirectory()
{
    const QString overridden = qEnvironmentVariable("PICTOMAT_DATA_DIR");
    if (!overridden.isEmpty())
        return overridden;
    return QDir::cleanPath(executableDir() + QStringLiteral("/../share/pictomat"));
}

QString XdgConfigHome()
{
    return envDirOr("XDG_CONFIG_HOME", homeDir() + QStringLiteral("/.config"));
}

QString XdgDataHome()
{
    return envDirOr("XDG_DATA_HOME", homeDir() + QStringLiteral("/.local/share"));
}

QString XdgRuntimeDir()
{
    const QString dir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!dir.isEmpty() && dir.startsWith('/'))
        return dir;
    const QString fallback = QStringLiteral("/tmp/pictomat-runtime-%1").arg(::getuid());
    QDir().mkpath(fallback);
    QFile::setPermissions(fallback, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return fallback;
}

} // namespace pictomat
