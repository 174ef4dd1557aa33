#include "web/HttpExchange.h"

#include "files/Inflate.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QSslSocket>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <memory>
#include <optional>

namespace pictomat {

namespace {

constexpr qint64 kSocketBuffer = 64 * 1024;
constexpr qsizetype kLongestHead = 64 * 1024; // status line and headers
constexpr qsizetype kLongestLine = 4 * 1024;  // a chunk-size line or a trailer line

// Reads an answer from the bytes the socket hands over, in order.
class AnswerReader {
public:
    AnswerReader(HttpExchange& out, qint64 maxBytes) : m_out(out), m_maxBytes(maxBytes) { }

    // False once the answer is known to be bad; `failure` says why.
    bool take(const QByteArray& bytes)
    {
        m_pending += bytes;
        while (m_failure.isEmpty() && m_phase != Phase::Done) {
            const qsizetype before = m_pending.size();
            const Phase phase = m_phase;
            step();
            if (m_pending.size() == before && m_phase == phase)
                break; // waiting for more bytes
        }
        return m_failure.isEmpty();
    }
    // The sender closed the connection.
    void end()
    {
        if (m_phase == Phase::Body && m_remaining < 0)
            m_phase = Phase::Done; // a body without a length ends with the connection
        else if (m_phase != Phase::Done && m_failure.isEmpty())
            m_failure = QCoreApplication::translate("Web", "the answer was cut short");
    }
    bool done() const { return m_phase == Phase::Done; }
    // A compressed body must also have reached the end of its stream.
    bool whole() const { return done() && (!m_inflater || m_inflater->finished()); }
    const QString& failure() const { return m_failure; }

private:
    enum class Phase { Head, Body, ChunkSize, ChunkData, ChunkEnd, Trailer, Done };

    void fail(const QString& why)
    {
        if (m_failure.isEmpty())
            m_failure = why;
    }

    // The next line, without its end; nothing while it is incomplete.
    std::optional<QByteArray> line()
    {
        const qsizetype end = m_pending.indexOf('\n');
        if (end < 0) {
            if (m_pending.size() > kLongestLine)
                fail(QCoreApplication::translate("Web", "a line of the answer is too long"));
            return std::nullopt;
        }
        QByteArray text = m_pending.left(end);
        m_pending.remove(0, end + 1);
        if (text.endsWith('\r'))
            text.chop(1);
        return text;
    }

    void deliver(qint64 count)
    {
        const QByteArray data = m_pending.left(count);
        m_pending.remove(0, count);
        if (m_remaining > 0)
            m_remaining -= count;
        if (m_inflater) {
            if (!m_inflater->feed(data, m_out.body))
                return fail(m_inflater->overCap()
                                ? QCoreApplication::translate("Web", "larger than %1 bytes").arg(m_maxBytes)
                                : QCoreApplication::translate("Web", "damaged compressed body"));
        } else {
            m_out.body += data;
        }
        if (m_out.body.size() > m_maxBytes)
            fail(QCoreApplication::translate("Web", "larger than %1 bytes").arg(m_maxBytes));
    }

    void head()
    {
        qsizetype end = m_pending.indexOf("\r\n\r\n");
        qsizetype skip = 4;
        if (end < 0) {
            end = m_pending.indexOf("\n\n");
            skip = 2;
        }
        if (end < 0) {
            if (m_pending.size() > kLongestHead)
                fail(QCoreApplication::translate("Web", "the answer's headers are too long"));
            return;
        }
        const QList<QByteArray> lines = m_pending.left(end).split('\n');
        m_pending.remove(0, end + skip);
        const QList<QByteArray> statusLine = lines.first().simplified().split(' ');
        bool number = false;
        const int status = statusLine.size() >= 2 ? statusLine[1].toInt(&number) : 0;
        if (!statusLine.first().startsWith("HTTP/1.") || !number || status < 100 || status > 999)
            return fail(QCoreApplication::translate("Web", "not an HTTP answer"));
        if (status < 200)
            return; // an interim answer; the real one follows
        m_out.status = status;
        QByteArray coding, length, transfer;
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines[i].indexOf(':');
            if (colon <= 0)
                continue;
            const QByteArray name = lines[i].left(colon).trimmed().toLower();
            const QByteArray value = lines[i].mid(colon + 1).trimmed();
            if (name == "location")
                m_out.location = value;
            else if (name == "content-type")
                m_out.contentType = value;
            else if (name == "content-encoding")
                coding = value.toLower();
            else if (name == "transfer-encoding")
                transfer = value.toLower();
            else if (name == "content-length" && length.isEmpty())
                length = value;
        }
        if (coding == "gzip" || coding == "x-gzip" || coding == "deflate")
            m_inflater = std::make_unique<Inflater>(m_maxBytes);
        else if (!coding.isEmpty() && coding != "identity")
            return fail(
                QCoreApplication::translate("Web", "unknown content encoding %1").arg(QString::fromLatin1(coding)));
        if (status == 204 || status == 304) {
            m_phase = Phase::Done;
        } else if (transfer.contains("chunked")) {
            m_phase = Phase::ChunkSize;
        } else if (!length.isEmpty()) {
            bool known = false;
            m_remaining = length.toLongLong(&known);
            if (!known || m_remaining < 0)
                return fail(QStringLiteral("a broken Content-Length"));
            if (!m_inflater && m_remaining > m_maxBytes)
                return fail(QCoreApplication::translate("Web", "larger than %1 bytes").arg(m_maxBytes));
            m_phase = m_remaining == 0 ? Phase::Done : Phase::Body;
        } else {
            m_remaining = -1;
            m_phase = Phase::Body;
        }
    }

    void step()
    {
        switch (m_phase) {
        case Phase::Head: return head();
        case Phase::Body:
        case Phase::ChunkData: {
            const qint64 count = m_remaining < 0 ? m_pending.size() : std::min<qint64>(m_remaining, m_pending.size());
            if (count > 0)
                deliver(count);
            if (m_remaining == 0)
                m_phase = m_phase == Phase::Body ? Phase::Done : Phase::ChunkEnd;
            return;
        }
        case Phase::ChunkSize:
            if (const std::optional<QByteArray> text = line()) {
                bool ok = false;
                const QByteArray digits = text->split(';').first().trimmed();
                m_remaining = digits.toLongLong(&ok, 16);
                if (!ok || m_remaining < 0 || digits.size() > 15)
                    return fail(QCoreApplication::translate("Web", "a broken chunk size"));
                m_phase = m_remaining == 0 ? Phase::Trailer : Phase::ChunkData;
            }
            return;
        case Phase::ChunkEnd:
            if (const std::optional<QByteArray> text = line()) {
                if (!text->isEmpty())
                    return fail(QCoreApplication::translate("Web", "a chunk longer than it said"));
                m_phase = Phase::ChunkSize;
            }
            return;
        case Phase::Trailer:
            if (const std::optional<QByteArray> text = line()) {
                if (text->isEmpty())
                    m_phase = Phase::Done;
                else if (++m_trailerLines > 100)
                    fail(QCoreApplication::translate("Web", "too many trailer lines"));
            }
            return;
        case Phase::Done: return;
        }
    }

    HttpExchange& m_out;
    qint64 m_maxBytes;
    Phase m_phase = Phase::Head;
    QByteArray m_pending;
    qint64 m_remaining = 0;
    int m_trailerLines = 0;
    std::unique_ptr<Inflater> m_inflater;
    QString m_failure;
};

} // namespace

HttpExchange ExchangeOnce(const QUrl& url, const QHostAddress& address, qint64 maxBytes, const FetchBudget& budget,
                          const QByteArray& userAgent, Error* error)
{
    HttpExchange out;
    const bool secure = url.scheme() == QLatin1String("https");
    const quint16 port = quint16(url.port(secure ? 443 : 80));
    QByteArray target = url.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority | QUrl::RemoveFragment);
    if (target.isEmpty())
        target = "/";
    const QByteArray request = "GET " + target + " HTTP/1.1\r\nHost: "
                               + url.adjusted(QUrl::RemoveUserInfo).authority(QUrl::FullyEncoded).toLatin1()
                               + "\r\nUser-Agent: " + userAgent
                               + "\r\nAccept: */*\r\nAccept-Encoding: gzip, deflate\r\nConnection: close\r\n\r\n";

    std::unique_ptr<QTcpSocket> socket;
    if (secure) {
        auto ssl = std::make_unique<QSslSocket>();
        // The address was resolved and checked already; the certificate is
        // checked against the host name, which is also sent for SNI.
        ssl->connectToHostEncrypted(address.toString(), port, url.host());
        socket = std::move(ssl);
    } else {
        socket = std::make_unique<QTcpSocket>();
        socket->connectToHost(address, port);
    }
    // What the socket may hold before we read it; past that TCP waits for us.
    socket->setReadBufferSize(kSocketBuffer);
    socket->write(request);

    AnswerReader reader(out, maxBytes);
    bool finished = false;
    bool connected = false;
    QString failure;
    QEventLoop loop;
    const auto finish = [&] {
        finished = true;
        loop.quit();
    };
    const auto read = [&] {
        while (!finished && socket->bytesAvailable() > 0) {
            if (!reader.take(socket->read(kSocketBuffer)) || reader.done())
                return finish();
        }
    };
    QObject::connect(socket.get(), &QAbstractSocket::connected, &loop, [&] { connected = true; });
    QObject::connect(socket.get(), &QIODevice::readyRead, &loop, read);
    QObject::connect(socket.get(), &QAbstractSocket::disconnected, &loop, [&] {
        read();
        if (!finished) {
            reader.end();
            finish();
        }
    });
    QObject::connect(socket.get(), &QAbstractSocket::errorOccurred, &loop, [&](QAbstractSocket::SocketError code) {
        if (code == QAbstractSocket::RemoteHostClosedError)
            return; // the end of the answer, handled on disconnection
        failure = socket->errorString();
        finish();
    });
    if (!WaitWithin(
            budget, [&] { return finished; }, loop)) {
        failure = budget.stopped() ? QCoreApplication::translate("Web", "stopped")
                                   : QCoreApplication::translate("Web", "no answer in time");
        // No other address is tried once the time is up.
        connected = true;
    }
    socket->abort();

    out.reached = connected;
    if (!failure.isEmpty() || !reader.failure().isEmpty()) {
        SetError(error, failure.isEmpty() ? reader.failure() : failure);
        out.body.clear();
        return out;
    }
    out.ok = reader.whole();
    if (!out.ok)
        SetError(error, QCoreApplication::translate("Web", "the answer was cut short"));
    return out;
}

} // namespace pictomat
