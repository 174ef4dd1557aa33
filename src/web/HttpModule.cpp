// The web's HTTP exchange over Qt's network library, built as a module of
// its own (pictomat-web.so) that HttpClient opens with the first fetch.

#include "web/HttpModule.h"

#include "web/HttpExchange.h"
#include "web/Log.h"
#include "web/NetworkAddress.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QHostAddress>
#include <QHostInfo>

namespace pictomat {

namespace {

const QByteArray kUserAgent = QByteArrayLiteral("Pictomat/1.0");

bool IsWebScheme(const QUrl& url)
{
    return url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https");
}

// The addresses a host name stands for, as the resolver gives them.
std::optional<QList<QHostAddress>> Resolve(const QString& host, const FetchBudget& budget, Error* error)
{
    QHostAddress literal;
    if (literal.setAddress(host))
        return QList<QHostAddress>{literal};
    std::optional<QHostInfo> answer;
    QEventLoop loop;
    QObject context; // destroyed first: a late answer finds no receiver
    const int id = QHostInfo::lookupHost(host, &context, [&](const QHostInfo& info) {
        answer = info;
        loop.quit();
    });
    if (!WaitWithin(
            budget, [&] { return answer.has_value(); }, loop)) {
        QHostInfo::abortHostLookup(id);
        SetError(error, budget.stopped() ? QCoreApplication::translate("Web", "stopped")
                                         : QCoreApplication::translate("Web", "no address for %1 in time").arg(host));
        return std::nullopt;
    }
    if (answer->error() != QHostInfo::NoError || answer->addresses().isEmpty()) {
        SetError(error, answer->errorString());
        return std::nullopt;
    }
    return answer->addresses();
}

bool IsRedirect(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

std::optional<HttpResponse> GetNetwork(const QUrl& url, qint64 maxBytes, Requester requester, const FetchBudget& budget,
                                       Error* error)
{
    // Once a hop is served from the public internet, nothing after it may
    // lead back inside.
    bool mayReachLocal = requester != Requester::PublicPage;
    QUrl current = url;
    for (int redirects = 0;; ++redirects) {
        const std::optional<QList<QHostAddress>> addresses = Resolve(current.host(), budget, error);
        if (!addresses)
            return std::nullopt;
        bool refused = false;
        std::optional<HttpExchange> hop;
        for (const QHostAddress& address : *addresses) {
            const bool local = IsLocalNetworkAddress(address);
            if (local && !mayReachLocal) {
                refused = true;
                continue;
            }
            if (budget.stopped() || budget.deadline.hasExpired())
                break;
            HttpExchange attempt = ExchangeOnce(current, address, maxBytes, budget, kUserAgent, error);
            if (!attempt.reached)
                continue;
            qCDebug(lcWeb).noquote() << "GET" << current.toString(QUrl::FullyEncoded) << "at" << address.toString()
                                     << "answered" << attempt.status;
            mayReachLocal = mayReachLocal && local;
            hop = std::move(attempt);
            break;
        }
        if (!hop) {
            if (refused)
                SetError(error, QCoreApplication::translate("Web", "%1 leads to a local address").arg(current.host()));
            return std::nullopt;
        }
        if (!hop->ok)
            return std::nullopt;
        if (IsRedirect(hop->status) && !hop->location.isEmpty()) {
            const QUrl next = current.resolved(QUrl::fromEncoded(hop->location));
            if (redirects >= HttpClient::kMaxRedirects) {
                SetError(error,
                         QCoreApplication::translate("Web", "more than %1 redirects").arg(HttpClient::kMaxRedirects));
                return std::nullopt;
            }
            if (!next.isValid() || !IsWebScheme(next) || next.host().isEmpty()) {
                SetError(error, QCoreApplication::translate("Web", "refused redirect to %1").arg(next.toString()));
                return std::nullopt;
            }
            if (current.scheme() == QLatin1String("https") && next.scheme() == QLatin1String("http")) {
                SetError(error, QCoreApplication::translate("Web", "refused redirect from https to http"));
                return std::nullopt;
            }
            current = next;
            continue;
        }
        if (hop->status < 200 || hop->status > 299) {
            SetError(error, QStringLiteral("HTTP status %1").arg(hop->status));
            return std::nullopt;
        }
        return HttpResponse{std::move(hop->body), current, hop->contentType, mayReachLocal};
    }
}

} // namespace

} // namespace pictomat

bool pictomat_http_get(const QUrl& url, qint64 maxBytes, pictomat::Requester requester,
                       const pictomat::FetchBudget& budget, pictomat::HttpResponse* response, pictomat::Error* error)
{
    std::optional<pictomat::HttpResponse> answer = pictomat::GetNetwork(url, maxBytes, requester, budget, error);
    if (!answer)
        return false;
    *response = std::move(*answer);
    return true;
}

void pictomat_http_treat_as_public(const QStringList& addresses)
{
    QList<QHostAddress> parsed;
    for (const QString& address : addresses)
        parsed.append(QHostAddress(address));
    pictomat::SetAddressesPublicForTesting(parsed);
}
