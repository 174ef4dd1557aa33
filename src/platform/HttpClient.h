#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <optional>

namespace pictomat {

// Fetches one address synchronously: a local event loop runs until the reply
// ends, the size cap is passed or the time-out strikes. No cache is read or
// written, redirects are followed (at most 10, never from https to http), and
// the User-Agent names the program. "file:" addresses of regular files are
// read directly. HTTP error statuses count as failures.
class HttpClient {
public:
    static constexpr qint64 kPageCap = 4 * 1024 * 1024;
    static constexpr qint64 kIconCap = 1024 * 1024;
    static constexpr int kMaxRedirects = 10;

    // The time-out of one request, including its redirects: 15 s, or the
    // milliseconds in PICTOMAT_HTTP_TIMEOUT_MS.
    static int defaultTimeoutMs();

    explicit HttpClient(int timeoutMs = defaultTimeoutMs());

    // The body, or nothing; `error` says why, for diagnostics.
    std::optional<QByteArray> get(const QUrl& url, qint64 maxBytes, QString* error = nullptr) const;

private:
    std::optional<QByteArray> getFile(const QUrl& url, qint64 maxBytes, QString* error) const;
    std::optional<QByteArray> getNetwork(const QUrl& url, qint64 maxBytes, QString* error) const;

    int m_timeoutMs;
};

} // namespace pictomat
