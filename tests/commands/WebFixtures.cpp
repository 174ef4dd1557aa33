#include "WebFixtures.h"

#include "platform/FileRef.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>
#include <sys/xattr.h>

namespace pictomat::test {

WebServer::WebServer(const QString& root, const QString& bind, int port)
    : m_bind(bind)
{
    static int serial = 0;
    m_log = root + QStringLiteral("/requests-%1.log").arg(++serial);
    m_process.start(QStringLiteral("/usr/bin/python3"),
                    {QStringLiteral(PICTOMAT_SOURCE_DIR "/tests/commands/web_fixture_server.py"), root, bind,
                     QString::number(port), m_log});
    if (!m_process.waitForStarted(10000) || !m_process.waitForReadyRead(10000))
        return;
    const QByteArray line = m_process.readLine().trimmed();
    if (line.startsWith("PORT "))
        m_port = line.mid(5).toInt();
}

WebServer::~WebServer()
{
    m_process.kill();
    m_process.waitForFinished(5000);
}

QStringList WebServer::column(int index) const
{
    QFile f(m_log);
    QStringList result;
    if (f.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : f.readAll().split('\n')) {
            if (!line.isEmpty())
                result.append(QString::fromUtf8(line).section(QLatin1Char(' '), index, index));
        }
    }
    return result;
}

void WriteFork(const QByteArray& path, const QByteArray& fork, Holder holder)
{
    QFile file(QFile::decodeName(path));
    if (!file.exists()) {
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    if (holder == Holder::AppleDouble) {
        const FileRef ref(path);
        QFile sidecar(QFile::decodeName(ref.parent().child("._" + ref.name()).path()));
        ASSERT_TRUE(sidecar.open(QIODevice::WriteOnly));
        sidecar.write(MakeAppleDouble(fork));
        return;
    }
    const char* name = holder == Holder::AppleAttribute ? "user.com.apple.ResourceFork"
                                                        : "user.org.netatalk.ResourceFork";
    ASSERT_EQ(::setxattr(path.constData(), name, fork.constData(), size_t(fork.size()), 0), 0);
}

void WriteWebLocation(const QByteArray& path, const QByteArray& address, Holder holder)
{
    const uint32_t text = 0x54455854;  // 'TEXT', kept before the address as real files do
    WriteFork(path, MakeResourceFork({{text, address}, {0x75726C20, address}}), holder);
}

} // namespace pictomat::test
