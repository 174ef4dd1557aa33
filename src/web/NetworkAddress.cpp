#include "web/NetworkAddress.h"

#include <array>
#include <utility>

namespace pictomat {

namespace {

QList<QHostAddress>& PublicForTesting()
{
    static QList<QHostAddress> addresses;
    return addresses;
}

bool IsLocalIPv4(quint32 a)
{
    // Network and prefix length of every range that is not the public internet.
    static constexpr std::array<std::pair<quint32, int>, 10> kRanges{{
        {0x00000000, 8},  // "this network", 0.0.0.0
        {0x0A000000, 8},  // private
        {0x64400000, 10}, // shared address space (carrier-grade NAT)
        {0x7F000000, 8},  // loopback
        {0xA9FE0000, 16}, // link-local
        {0xAC100000, 12}, // private
        {0xC0000000, 24}, // protocol assignments
        {0xC0A80000, 16}, // private
        {0xC6120000, 15}, // benchmarking
        {0xE0000000, 3},  // multicast, reserved and broadcast
    }};
    for (const auto& [network, bits] : kRanges) {
        const quint32 mask = bits == 0 ? 0 : ~quint32(0) << (32 - bits);
        if ((a & mask) == network)
            return true;
    }
    return false;
}

} // namespace

bool IsLocalNetworkAddress(const QHostAddress& address)
{
    for (const QHostAddress& exempt : PublicForTesting()) {
        if (address.isEqual(exempt, QHostAddress::TolerantConversion))
            return false;
    }
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4); // also unwraps ::ffff:a.b.c.d
    if (isV4)
        return IsLocalIPv4(v4);
    if (address.protocol() != QAbstractSocket::IPv6Protocol)
        return true; // not an address we can judge: never treat it as public
    const Q_IPV6ADDR v6 = address.toIPv6Address();
    const bool unspecified = address.isEqual(QHostAddress::AnyIPv6);
    const bool nat64 = v6[0] == 0x00 && v6[1] == 0x64 && v6[2] == 0xff && v6[3] == 0x9b;
    if (nat64) {
        // 64:ff9b::/96 carries an IPv4 address in its last four bytes.
        const quint32 embedded = quint32(v6[12]) << 24 | quint32(v6[13]) << 16 | quint32(v6[14]) << 8 | v6[15];
        return IsLocalIPv4(embedded);
    }
    return unspecified || address.isLoopback() || address.isLinkLocal() || address.isSiteLocal()
           || address.isUniqueLocalUnicast() || address.isMulticast();
}

void SetAddressesPublicForTesting(const QList<QHostAddress>& addresses)
{
    PublicForTesting() = addresses;
}

} // namespace pictomat
