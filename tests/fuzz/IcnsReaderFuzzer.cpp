// Feeds arbitrary bytes to the .icns reader, decodes every element, lists the
// family and takes its iconset pictures, checks that what was read survives a
// rewrite, and hands the bytes to the iconset builder as a PNG: whatever the
// PNG check passes must decode.

#include "icns/Contents.h"
#include "icns/IcnsCodec.h"
#include "icns/IconFamily.h"

#include <QtGlobal>

#include <cstdint>
#include <cstdlib>

using pictomat::icns::IconFamily;

// Decoders complain about every broken payload; the fuzzer needs none of it.
extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // fromRawData: no copy, so any read past the input is the fuzzer's to see.
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    pictomat::icns::FamilyFromPngs({{"picture.png", bytes}}, false, nullptr);
    if (pictomat::icns::codec::PngIsWhole(bytes) && pictomat::icns::codec::DecodePng(bytes).isNull())
        std::abort();
    const std::optional<IconFamily> family = IconFamily::fromIcns(bytes);
    if (!family)
        return 0;
    if (family->elements().size() > pictomat::icns::kMaxElements
        || pictomat::icns::ListElements(*family).size() != family->elements().size())
        std::abort();
    for (const pictomat::icns::NamedPng& picture : pictomat::icns::IconsetPictures(*family))
        if (picture.png.isEmpty())
            std::abort();
    for (const IconFamily::Image& image : family->images()) {
        if (image.image.isNull() || image.image.width() > pictomat::icns::kMaxDecodedEdge
            || image.image.height() > pictomat::icns::kMaxDecodedEdge)
            std::abort();
    }
    family->bestImage(32);
    const std::optional<IconFamily> again = IconFamily::fromIcns(family->toIcns());
    if (!again || again->elements().size() != family->elements().size())
        std::abort();
    for (qsizetype i = 0; i < family->elements().size(); ++i)
        if (again->elements()[i].type != family->elements()[i].type
            || again->elements()[i].data != family->elements()[i].data)
            std::abort();
    return 0;
}
