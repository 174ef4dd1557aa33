#include "WebFixtures.h"

#include "commands/ShortcutIconCommand.h"
#include "files/FileRef.h"
#include "platform/IconProvider.h"
#include "prefs/PreferenceStore.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>
#include <sys/xattr.h>

namespace pictomat::test {

WebServer::WebServer(const QString& root, const QString& bind, int port) : m_host(bind)
{
    start(root, bind, port, {});
}

WebServer::WebServer(const QString& root, const QString& host, const QString& certificate, const QString& key)
    : m_scheme(QStringLiteral("https")), m_host(host)
{
    start(root, QStringLiteral("127.0.0.1"), 0, {certificate, key});
}

void WebServer::start(const QString& root, const QString& bind, int port, const QStringList& tls)
{
    static int serial = 0;
    m_log = root + QStringLiteral("/requests-%1.log").arg(++serial);
    m_process.start(QStringLiteral("/usr/bin/python3"),
                    QStringList{QStringLiteral(PICTOMAT_SOURCE_DIR "/tests/commands/web_fixture_server.py"), root, bind,
                                QString::number(port), m_log}
                        + tls);
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

QString MakeSelfSignedCertificate(const QString& folder)
{
    const QString certificate = folder + QStringLiteral("/cert.pem");
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"),
                  {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-days", "2",
                   "-subj", "/CN=localhost", "-addext", "subjectAltName=DNS:localhost,IP:127.0.0.1", "-keyout",
                   folder + "/key.pem", "-out", certificate});
    if (!openssl.waitForFinished(30000) || openssl.exitCode() != 0)
        return QString();
    return certificate;
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
    const char* name =
        holder == Holder::AppleAttribute ? "user.com.apple.ResourceFork" : "user.org.netatalk.ResourceFork";
    ASSERT_EQ(::setxattr(path.constData(), name, fork.constData(), size_t(fork.size()), 0), 0);
}

void WriteWebLocation(const QByteArray& path, const QByteArray& address, Holder holder)
{
    const uint32_t text = 0x54455854; // 'TEXT', kept before the address as real files do
    WriteFork(path, MakeResourceFork({{text, address}, {0x75726C20, address}}), holder);
}

void WebLocationTest::SetUp()
{
    TestEnv::SetUp();
    site = work() + "/site";
    ASSERT_TRUE(QDir().mkpath(site));
}

QByteArray WebLocationTest::webloc(const QString& name, const QString& address, Holder holder)
{
    const QByteArray path = writeFile(name, "");
    WriteWebLocation(path, address.toUtf8(), holder);
    return path;
}

void WebLocationTest::picture(const QString& name, const QString& colour, int edge)
{
    const ProcessResult r = RunPython("import sys; from PIL import Image; Image.new('RGBA', (int(sys.argv[2]),) * 2, "
                                          + colour + ").save(sys.argv[1])",
                                      {site + "/" + name, QString::number(edge)});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
}

void WebLocationTest::run(const QVector<QByteArray>& paths)
{
    prefs::PreferenceStore preferences;
    IconProvider icons;
    CommandContext context(desktop, preferences, icons);
    SelectedItems selection;
    selection.items.emplace();
    for (const QByteArray& p : paths)
        selection.items->append(p.isEmpty() ? FileRef() : FileRef(p));
    selection.count = qint32(paths.size());
    AddShortcutIcons(context, selection);
}

QString WebLocationTest::customIcon(const QByteArray& path)
{
    const QByteArray icon = GioCustomIcon(path);
    const ProcessResult r = RunPython(
        "import sys; from PIL import Image\n"
        "im = Image.open(sys.argv[1])\n"
        "print(im.format, im.size[0], im.convert('RGBA').getpixel((im.width // 2, im.height // 2)))",
        {QFile::decodeName(icon)});
    return QString::fromUtf8(r.out).trimmed();
}

} // namespace pictomat::test
