#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QUrl>

#include "files/Error.h"
#include "web/FetchBudget.h"

#include <optional>

namespace pictomat {

// Who named the address being fetched; it decides where the fetch may lead.
enum class Requester {
    // The user, through a web location: a "file:" address, a loopback or a
    // private address is theirs to name.
    User,
    // A page that came from this machine or the local network: http and https
    // only, to any address.
    LocalPage,
    // A page from the public internet: http and https only, and never to a
    // loopback or private address, even through a host name or a redirect.
    PublicPage,
};

struct HttpResponse {
    QByteArray body; // decompressed, at most the cap
    QUrl finalUrl;   // where the body was finally served from, after redirects
    QByteArray contentType;
    // True when every hop was served from a loopback or private address (or
    // from a local file), so links in the body may lead there too.
    bool fromLocalNetwork = false;
};

// Fetches one address synchronously: a local event loop runs until the answer
// ends, the size cap is passed, the budget's deadline passes or its owner
// stops waiting. Nothing is cached; redirects are followed here (at most 10,
// http and https only, never from https to http), each hop's host resolved
// and checked before it is connected to, and the connection made to the
// checked address itself. The body is read as it arrives through a bounded
// socket buffer, and chunked, gzip and deflate bodies are undone under the
// same cap (see HttpExchange.h), so no encoding makes the program hold more
// than the cap. Only 2xx answers count; the User-Agent names the program.
class HttpClient {
public:
    static constexpr qint64 kPageCap = 4 * 1024 * 1024;
    static constexpr qint64 kIconCap = 1024 * 1024;
    static constexpr int kMaxRedirects = 10;

    // The time one web location may take, its page and every icon tried
    // together: 20 s, or the milliseconds in PICTOMAT_HTTP_TIMEOUT_MS.
    static int webLocationDeadlineMs();

    // The response, or nothing; `error` says why, for diagnostics. Every
    // fetch and every hop is a debug line of "pictomat.web". The web itself
    // is reached through a module (HttpModule.h) opened with the first
    // fetch; without it nothing is fetched from there.
    std::optional<HttpResponse> get(const QUrl& url, qint64 maxBytes, Requester requester, const FetchBudget& budget,
                                    Error* error = nullptr) const;

private:
    std::optional<HttpResponse> fetch(const QUrl& url, qint64 maxBytes, Requester requester, const FetchBudget& budget,
                                      Error* error) const;
    std::optional<HttpResponse> getFile(const QUrl& url, qint64 maxBytes, Error* error) const;
};

// Tests serve "public" pages from loopback addresses; the addresses listed
// here (IPv4 or IPv6, as text) count as public for the rest of the process.
// Only code can set this; nothing a page, a file or the environment holds
// reaches it.
void TreatAsPublicAddressesForTesting(const QStringList& addresses);

} // namespace pictomat
