#pragma once

#include <QHostAddress>
#include <QList>

namespace pictomat {

// True for addresses that lead into this machine or the local network rather
// than to the public internet: loopback, the private and shared ranges,
// link-local, unique-local IPv6, unspecified, multicast and reserved ones.
// A page served from the public internet may not send us to such an address.
bool IsLocalNetworkAddress(const QHostAddress& address);

// The web module's side of TreatAsPublicAddressesForTesting (HttpClient.h).
void SetAddressesPublicForTesting(const QList<QHostAddress>& addresses);

} // namespace pictomat
