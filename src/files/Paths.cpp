#include "files/Paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <sys/stat.h>
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
    return QFile::decodeName(ProgramFolder());
}
} // namespace

QByteArray ProgramFolder()
{
    char program[4096] = {};
    const ssize_t n = ::readlink("/proc/self/exe", program, sizeof program - 1);
    if (n <= 0)
        return {};
    const QByteArray path(program, qsizetype(n));
    return path.left(path.lastIndexOf('/'));
}

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

QString XdgCacheHome()
{
    return envDirOr("XDG_CACHE_HOME", homeDir() + QStringLiteral("/.cache"));
}

namespace {
// A folder only we can enter: made with mode 0700 when missing, and accepted
// when it is a real folder (not a link) that is ours with no access for anyone
// else. In a shared folder such as /tmp another user may have made it first.
bool privateFolder(const QByteArray& path)
{
    if (::mkdir(path.constData(), 0700) == 0)
        ::chmod(path.constData(), 0700); // the umask may have taken bits we need
    else if (errno != EEXIST)
        return false;
    struct stat st;
    return ::lstat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid()
           && (st.st_mode & 0777) == 0700;
}

QByteArray temporaryFolder()
{
    const QByteArray tmp = qgetenv("TMPDIR");
    return tmp.startsWith('/') ? tmp : QByteArray("/tmp");
}
} // namespace

QString XdgRuntimeDir()
{
    const QString dir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!dir.isEmpty() && dir.startsWith('/'))
        return dir;
    const QByteArray shared = temporaryFolder() + "/pictomat-runtime-" + QByteArray::number(::geteuid());
    if (privateFolder(shared))
        return QFile::decodeName(shared);
    // Someone else's, or not private: the user's own cache folder instead,
    // where nobody else can have put anything.
    const QString cache = XdgCacheHome();
    QDir().mkpath(cache);
    const QByteArray own = QFile::encodeName(cache) + "/pictomat-runtime";
    struct stat st;
    if (!privateFolder(own) && ::lstat(own.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid())
        ::chmod(own.constData(), 0700);
    return QFile::decodeName(own);
}

} // namespace pictomat
