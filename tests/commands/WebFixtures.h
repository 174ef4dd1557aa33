#pragma once

#include "ForkBuilder.h"
#include "RecordingDesktop.h"
#include "TestEnv.h"

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QVector>

#include <cstdint>
#include <ostream>
#include <utility>

namespace pictomat::test {

// The Python fixture server on a loopback address, stopped when destroyed.
// With a certificate and key it speaks HTTPS, named `host` in base().
class WebServer {
public:
    WebServer(const QString& root, const QString& bind = QStringLiteral("127.0.0.1"), int port = 0);
    WebServer(const QString& root, const QString& host, const QString& certificate, const QString& key);
    ~WebServer();
    bool started() const { return m_port > 0; }
    int port() const { return m_port; }
    QString base() const { return QStringLiteral("%1://%2:%3").arg(m_scheme, m_host).arg(m_port); }
    // Request paths in order; userAgents() and hosts() the matching headers.
    QStringList requests() const { return column(0); }
    QStringList userAgents() const { return column(1); }
    QStringList hosts() const { return column(2); }

private:
    void start(const QString& root, const QString& bind, int port, const QStringList& tls);
    QStringList column(int index) const;
    QProcess m_process;
    QString m_scheme = QStringLiteral("http");
    QString m_host;
    QString m_log;
    int m_port = 0;
};

// A self-signed certificate for "localhost" and 127.0.0.1 with its key, made
// by openssl in `folder`; the certificate's path, or empty on failure.
QString MakeSelfSignedCertificate(const QString& folder);

enum class Holder { AppleDouble, AppleAttribute, NetatalkAttribute };
// A web-location file at `path` whose `url ` resource holds the address.
void WriteWebLocation(const QByteArray& path, const QByteArray& address, Holder holder);
void WriteFork(const QByteArray& path, const QByteArray& fork, Holder holder);

// Each test gets a site folder to serve and makes web-location files in its
// scratch folder, then runs "Add Shortcut Icon" on them in this process.
class WebLocationTest : public TestEnv {
protected:
    void SetUp() override;
    QByteArray webloc(const QString& name, const QString& address, Holder holder = Holder::AppleDouble);
    // A picture of one colour written by Pillow into the site, in the format its name says.
    void picture(const QString& name, const QString& colour = QStringLiteral("(200, 30, 40, 255)"), int edge = 32);
    void run(const QVector<QByteArray>& paths);
    // What the file manager will show: the custom icon's format, size and centre pixel, read by Pillow.
    static QString customIcon(const QByteArray& path);

    RecordingDesktop desktop;
    QString site;
};

} // namespace pictomat::test

// Readable failure messages for Qt strings.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}
