// Feeds arbitrary bytes to the readers of what a web site sends: the head
// reader (as a page with and without a declared charset), the SVG rewriter and
// the bounded inflater. The first byte chooses the reader.

#include "files/Inflate.h"
#include "read/SafeSvg.h"
#include "web/HtmlHead.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    switch (data[0] % 4) {
    case 0:
    case 1: {
        const pictomat::HtmlHead head =
            pictomat::ParseHtmlHead(bytes, data[0] % 4 ? QByteArray("text/html; charset=shift_jis") : QByteArray());
        // Every link stands for a tag of its own in the page.
        if (head.links.size() > bytes.size())
            std::abort();
        break;
    }
    case 2: {
        const std::optional<QByteArray> svg = pictomat::SelfContainedSvg(bytes);
        // Dropping only ever shortens; entities may lengthen, within the reader's expansion limit.
        if (svg && svg->size() > 4 * bytes.size() + 64 * 1024)
            std::abort();
        break;
    }
    default: {
        const std::optional<QByteArray> out = pictomat::InflateAll(bytes, 1 << 16);
        if (out && out->size() > (1 << 16))
            std::abort();
        break;
    }
    }
    return 0;
}
