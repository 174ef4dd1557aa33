#pragma once

#include <QByteArray>
#include <QVector>

#include <cstdint>
#include <utility>

namespace pictomat::test {

// A resource fork laid out as the system writes one: data at offset 256, the
// map after it. A type's resources share one reference list, in the order given.
QByteArray MakeResourceFork(const QVector<std::pair<uint32_t, QByteArray>>& resources);
// An AppleDouble file with a FinderInfo entry followed by the fork as entry 2.
QByteArray MakeAppleDouble(const QByteArray& fork);

} // namespace pictomat::test
