// Feeds arbitrary bytes to the picture reader as the clipboard hands them
// over (the same path as a file's, by content): HEIF and AVIF through
// libheif, PDF through poppler, and every other format it sniffs. Whatever
// it decodes is at most the size asked for.

#include "read/PictureFile.h"

#include <cstdint>
#include <cstdlib>

// Decoders complain about every broken file; the fuzzer needs none of it.
extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    const pictomat::PictureResult result = pictomat::DecodePictureBytes(bytes, pictomat::FitWithin(64));
    if (result.ok()
        && (result.decoded.picture.width() > 64 || result.decoded.picture.height() > 64
            || result.decoded.picture.isNull()))
        std::abort();
    return 0;
}
