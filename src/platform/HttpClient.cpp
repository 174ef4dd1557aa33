#include "platform/HttpClient.h"

#include "platform/FileIO.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pictomat {

namespace {

constexpr int kDefaultTimeoutMs = 15000;
const char kUserAgent[] = "Pictomat/1.0";


void setError(QString* error, const QString& text)
{
    if (error)
        *error = text;
}

} // namespace

int HttpClient::defaultTimeoutMs()
{
    bool ok = false;
    const int fromEnvironment = qEnvironmentVariableIntValue("PICTOMAT_HTTP_TIMEOUT_MS", &ok);
    return ok && fromEnvironment > 0 ? fromEnvironment : kDefaultTimeoutMs;
}

HttpClient::HttpClient(int timeoutMs) : m_timeoutMs(timeoutMs > 0 ? timeoutMs : kDefaultTimeoutMs) {}

std::optional<QByteArray> HttpClient::get(const QUrl& url, qint64 maxBytes, QString* error) const
{
    if (!url.isValid() || url.isRelative()) {
        setError(error, QStringLiteral("not an absolute address"));
        return std::nullopt;
    }
    const QString scheme = url.scheme();
    if (scheme == QLatin1String("file"))
        return getFile(url, maxBytes, error);
    if (scheme == QLatin1String("http") || scheme == QLatin1String("https"))
        return getNetwork(url, maxBytes, error);
    setError(error, QStringLiteral("unsupported scheme ") + scheme);
    return std::nullopt;
}

std::optional<QByteArray> HttpClient::getFile(const QUrl& url, qint64 maxBytes, QString* error) const
{
    if (!url.host().isEmpty() && url.host() != QLatin1String("localhost")) {
        setError(error, QStringLiteral("file address on another host"));
        return std::nullopt;
    }
    // The path's own bytes, percent-decoded: names need not be UTF-8.
    const QByteArray path = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    return ReadRegularFile(path, maxBytes, error);
}

std::optional<QByteArray> HttpClient::getNetwork(const QUrl& url, qint64 maxBytes, QString* error) const
{
    // A manager of its own per request: no cache object, no connection or
    // cookie shared with another fetch.
    QNetworkAccessManager manager;
    manager.setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);

    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setMaximumRedirectsAllowed(kMaxRedirects);
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArray(kUserAgent));

    QNetworkReply* reply = manager.get(request);  // owned by the manager
    QByteArray body;
    bool tooLarge = false;
    bool timedOut = false;
    const auto take = [&] {
        if (tooLarge || !reply->isOpen())
            return;
        body += reply->readAll();
        if (body.size() > maxBytes) {
            tooLarge = true;
            body.clear();
            reply->abort();
        }
    };

    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        timedOut = true;
        reply->abort();
    });
    QObject::connect(reply, &QNetworkReply::readyRead, &loop, take);
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    timer.start(m_timeoutMs);
    if (!reply->isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    timer.stop();
    take();

    if (tooLarge) {
        setError(error, QStringLiteral("larger than %1 bytes").arg(maxBytes));
        return std::nullopt;
    }
    if (timedOut) {
        setError(error, QStringLiteral("no answer within %1 ms").arg(m_timeoutMs));
        return std::nullopt;
    }
    if (reply->error() != QNetworkReply::NoError) {
        setError(error, reply->errorString());
        return std::nullopt;
    }
    return body;
}

} // namespace pictomat
