#pragma once

#include "web/HttpClient.h"

#include <QStringList>

// The entry points of our web module (HttpModule.cpp, pictomat-web.so),
// which HttpClient opens with the first fetch from the web: Qt's network
// library, with the proxy, Kerberos and compression libraries behind it,
// would otherwise be loaded at every start of the program, though only
// Add Shortcut Icon ever reaches the web.

// HttpClient::get for an http or https address: every hop resolved, checked
// and exchanged; false, with `error` saying why, when there is no answer.
extern "C" __attribute__((visibility("default"))) bool pictomat_http_get(const QUrl& url, qint64 maxBytes,
                                                                         pictomat::Requester requester,
                                                                         const pictomat::FetchBudget& budget,
                                                                         pictomat::HttpResponse* response,
                                                                         pictomat::Error* error);

// TreatAsPublicAddressesForTesting, for the module's own address rules.
extern "C" __attribute__((visibility("default"))) void pictomat_http_treat_as_public(const QStringList& addresses);
