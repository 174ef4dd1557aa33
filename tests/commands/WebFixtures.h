#pragma once

#include "ForkBuilder.h"

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
class WebServer {
public:
    WebServer(const QString& root, const QString& bind = QStringLiteral("127.0.0.1"), int port = 0);
    ~WebServer();
    bool started() const { return m_port > 0; }
    QString base() const { return QStringLiteral("http://%1:%2").arg(m_bind).arg(m_port); }
    // Request paths in order; userAgents() the matching User-Agent headers.
    QStringList requests() const { return column(0); }
    QStringList userAgents() const { return column(1); }

private:
    QStringList column(int index) const;
    QProcess m_process;
    QString m_bind;
    QString m_log;
    int m_port = 0;
};

enum class Holder { AppleDouble, AppleAttribute, NetatalkAttribute };
// A web-location file at `path` whose `url ` resource holds the address.
void WriteWebLocation(const QByteArray& path, const QByteArray& address, Holder holder);
void WriteFork(const QByteArray& path, const QByteArray& fork, Holder holder);

} // namespace pictomat::test

// Readable failure messages for Qt strings.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}
