#include "files/FileRef.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>
#include <unistd.h>

namespace pictomat {

FileRef::FileRef(QByteArray absolutePath) : m_path(std::move(absolutePath))
{
    // Keep "/" as is, drop a trailing slash elsewhere so that name() and
    // parent() see the last real component.
    while (m_path.size() > 1 && m_path.endsWith('/'))
        m_path.chop(1);
}

namespace {
// "." and ".." taken out by the words of the path alone, the way a shell's cd
// reads them, without asking the file system: "." is the folder by its own
// name, and ".." after a link is the folder the link was named in.
QByteArray lexicallyNormal(const QByteArray& absolutePath)
{
    QList<QByteArray> parts;
    for (const QByteArray& part : absolutePath.split('/')) {
        if (part.isEmpty() || part == ".")
            continue;
        if (part == "..") {
            if (!parts.isEmpty())
                parts.removeLast();
            continue;
        }
        parts.append(part);
    }
    return '/' + parts.join('/');
}
} // namespace

FileRef FileRef::fromLocalPath(const QByteArray& path)
{
    if (path.isEmpty() || path.contains('\0'))
        return {};
    if (path.startsWith('/'))
        return FileRef(lexicallyNormal(path));
    char buf[4096];
    if (!::getcwd(buf, sizeof buf))
        return {};
    return FileRef(lexicallyNormal(QByteArray(buf) + '/' + path));
}

FileRef FileRef::fromUri(const QByteArray& uri)
{
    static const QByteArray scheme("file://");
    if (!uri.startsWith(scheme))
        return {};
    QByteArray rest = uri.mid(scheme.size());
    // Accept "file://localhost/path" and "file:///path".
    if (!rest.startsWith('/')) {
        const int slash = rest.indexOf('/');
        if (slash < 0)
            return {};
        const QByteArray host = rest.left(slash);
        if (host != "localhost")
            return {};
        rest = rest.mid(slash);
    }
    const QByteArray decoded = QByteArray::fromPercentEncoding(rest);
    if (decoded.contains('\0'))
        return {};
    return FileRef(lexicallyNormal(decoded));
}

QByteArray FileRef::name() const
{
    if (m_path.isEmpty() || m_path == "/")
        return {};
    return m_path.mid(m_path.lastIndexOf('/') + 1);
}

FileRef FileRef::parent() const
{
    if (m_path.isEmpty() || m_path == "/")
        return {};
    const int slash = m_path.lastIndexOf('/');
    if (slash <= 0)
        return FileRef(QByteArray("/"));
    return FileRef(m_path.left(slash));
}

FileRef FileRef::child(const QByteArray& childName) const
{
    if (m_path.isEmpty() || childName.isEmpty())
        return {};
    if (m_path == "/")
        return FileRef("/" + childName);
    return FileRef(m_path + '/' + childName);
}

bool FileRef::exists() const
{
    struct stat st;
    return !m_path.isEmpty() && ::stat(m_path.constData(), &st) == 0;
}

bool FileRef::isDirectory() const
{
    struct stat st;
    return !m_path.isEmpty() && ::stat(m_path.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool FileRef::isRegularFile() const
{
    struct stat st;
    return !m_path.isEmpty() && ::stat(m_path.constData(), &st) == 0 && S_ISREG(st.st_mode);
}

QByteArray FileRef::uri() const
{
    if (m_path.isEmpty())
        return {};
    return "file://" + m_path.toPercentEncoding("/");
}

QUrl FileRef::url() const
{
    if (m_path.isEmpty())
        return {};
    return QUrl::fromEncoded(uri(), QUrl::StrictMode);
}

QString FileRef::displayPath() const
{
    return QString::fromUtf8(m_path);
}

} // namespace pictomat
