#pragma once

#include "files/Error.h"
#include "web/FetchBudget.h"

#include <QByteArray>
#include <QHostAddress>
#include <QString>
#include <QUrl>

namespace pictomat {

// One HTTP/1.1 GET, no redirect followed.
struct HttpExchange {
    bool reached = false; // false: the address refused or could not be reached
    bool ok = false;      // a whole answer arrived within the cap
    int status = 0;
    QByteArray location;
    QByteArray contentType;
    QByteArray body; // decompressed
};

// Sends one GET for `url` to `address` (https verified against the URL's host
// name) and reads the answer as it arrives. The socket holds at most 64 KiB
// unread, so a sender that never stops is held back by TCP itself rather than
// by our memory; chunked framing, gzip and deflate are undone here under
// `maxBytes`, and headers, chunk lines and trailers have caps of their own.
// Qt's HTTP stack is not used for this: its HTTP thread drains the socket into
// its own buffers while one large chunk lasts, whatever read buffer is set.
HttpExchange ExchangeOnce(const QUrl& url, const QHostAddress& address, qint64 maxBytes, const FetchBudget& budget,
                          const QByteArray& userAgent, Error* error);

} // namespace pictomat
