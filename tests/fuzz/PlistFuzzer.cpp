// Feeds arbitrary bytes to the preference file reader, binary or XML, and
// checks that whatever it accepts is written as XML that reads back to the
// same keys and values: a rewrite of the user's settings never loses one.

#include "prefs/PlistCodec.h"
#include "prefs/PreferenceStore.h"

#include <QtGlobal>

#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace plist = pictomat::prefs::plist;
using Opaque = pictomat::prefs::PreferenceStore::OpaqueValue;

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    const plist::ParseResult first = plist::Parse(bytes);
    if (!first.ok)
        return 0;
    const plist::ParseResult again = plist::ParseXml(plist::Serialize(first.values));
    if (!again.ok || again.values.keys() != first.values.keys())
        std::abort();
    for (auto it = first.values.cbegin(); it != first.values.cend(); ++it) {
        const QVariant& before = it.value();
        const QVariant& after = again.values.value(it.key());
        if (before.metaType() != after.metaType())
            std::abort();
        if (before.metaType() == QMetaType::fromType<Opaque>()) {
            if (before.value<Opaque>().kind != after.value<Opaque>().kind)
                std::abort();
            continue;
        }
        const bool bothNan =
            before.typeId() == QMetaType::Double && std::isnan(before.toDouble()) && std::isnan(after.toDouble());
        if (before != after && !bothNan)
            std::abort();
    }
    return 0;
}
