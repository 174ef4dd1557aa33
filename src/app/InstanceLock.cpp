#include "app/InstanceLock.h"

#include "files/Paths.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>

namespace pictomat {

namespace {

constexpr int kPollMs = 5;

QByteArray lockPath(InstanceLock::Role role)
{
    // Sessions of one user share the runtime folder, not always the bus.
    const QByteArray bus = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    const QByteArray session = QCryptographicHash::hash(bus, QCryptographicHash::Sha1).toHex().left(16);
    const QString folder = XdgRuntimeDir() + QStringLiteral("/pictomat");
    QDir().mkpath(folder);
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return QFile::encodeName(folder) + (role == InstanceLock::Role::Instance ? "/instance-" : "/starting-") + session
           + ".lock";
}

} // namespace

InstanceLock::InstanceLock(Role role)
    : m_fd(::open(lockPath(role).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600))
{
}

bool InstanceLock::take(int waitMs)
{
    if (m_held)
        return true;
    if (!m_fd.valid())
        return false;
    for (int waited = 0;; waited += kPollMs) {
        if (::flock(m_fd.get(), LOCK_EX | LOCK_NB) == 0)
            return m_held = true;
        if (errno != EWOULDBLOCK && errno != EINTR)
            return false;
        if (waited >= waitMs)
            return false;
        const struct timespec nap = {0, kPollMs * 1000000L};
        ::nanosleep(&nap, nullptr);
    }
}

} // namespace pictomat
