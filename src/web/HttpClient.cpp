#include "web/HttpClient.h"

#include "files/FileIO.h"
#include "files/SharedLibrary.h"
#include "web/HttpModule.h"
#include "web/Log.h"
#include "web/WebLibraries.h"

#include <QCoreApplication>

namespace pictomat {

namespace {

constexpr int kDefaultDeadlineMs = 20000;

bool IsWebScheme(const QUrl& url)
{
    return url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https");
}

struct WebModule {
    PICTOMAT_LIBRARY_TABLE(PICTOMAT_WEB_FUNCTIONS)
};

const WebModule* webModule()
{
    return LoadModule<WebModule>(PICTOMAT_MODULE_WEB);
}

} // namespace

int HttpClient::webLocationDeadlineMs()
{
    bool ok = false;
    const int fromEnvironment = qEnvironmentVariableIntValue("PICTOMAT_HTTP_TIMEOUT_MS", &ok);
    return ok && fromEnvironment > 0 ? fromEnvironment : kDefaultDeadlineMs;
}

std::optional<HttpResponse> HttpClient::get(const QUrl& url, qint64 maxBytes, Requester requester,
                                            const FetchBudget& budget, Error* error) const
{
    Error why;
    std::optional<HttpResponse> response = fetch(url, maxBytes, requester, budget, &why);
    if (response) {
        qCDebug(lcWeb).noquote() << url.toString(QUrl::FullyEncoded) << "gave" << response->body.size() << "bytes from"
                                 << response->finalUrl.toString(QUrl::FullyEncoded);
        return response;
    }
    qCDebug(lcWeb).noquote() << url.toString(QUrl::FullyEncoded) << "gave nothing:" << why.message;
    SetError(error, std::move(why));
    return std::nullopt;
}

std::optional<HttpResponse> HttpClient::fetch(const QUrl& url, qint64 maxBytes, Requester requester,
                                              const FetchBudget& budget, Error* error) const
{
    if (!url.isValid() || url.isRelative()) {
        SetError(error, QCoreApplication::translate("Web", "not an absolute address"));
        return std::nullopt;
    }
    // Only the user may point at a local file; a page may not.
    if (url.scheme() == QLatin1String("file") && requester == Requester::User)
        return getFile(url, maxBytes, error);
    if (!IsWebScheme(url)) {
        SetError(error, QCoreApplication::translate("Web", "refused scheme %1").arg(url.scheme()));
        return std::nullopt;
    }
    const WebModule* web = webModule();
    if (!web) {
        SetError(error, QCoreApplication::translate("Web", "the web module cannot be loaded"));
        return std::nullopt;
    }
    HttpResponse response;
    if (!web->pictomat_http_get(url, maxBytes, requester, budget, &response, error))
        return std::nullopt;
    return response;
}

std::optional<HttpResponse> HttpClient::getFile(const QUrl& url, qint64 maxBytes, Error* error) const
{
    if (!url.host().isEmpty() && url.host() != QLatin1String("localhost")) {
        SetError(error, QCoreApplication::translate("Web", "file address on another host"));
        return std::nullopt;
    }
    // The path's own bytes, percent-decoded: names need not be UTF-8.
    const QByteArray path = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    std::optional<QByteArray> body = ReadRegularFile(path, maxBytes, error);
    if (!body)
        return std::nullopt;
    return HttpResponse{std::move(*body), url, QByteArray(), true};
}

void TreatAsPublicAddressesForTesting(const QStringList& addresses)
{
    if (const WebModule* web = webModule())
        web->pictomat_http_treat_as_public(addresses);
}

} // namespace pictomat
