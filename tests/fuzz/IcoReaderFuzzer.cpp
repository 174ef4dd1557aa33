// Feeds arbitrary bytes to the .ico reader, decodes every picture it lists,
// saves them as PNG the way "pictomat ico extract" does, and checks that what
// was read survives a rewrite pixel for pixel.

#include "ico/IcoFile.h"

#include <QtGlobal>

#include <cstdint>
#include <cstdlib>

using pictomat::ico::IcoFile;

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
    const std::optional<IcoFile> file = IcoFile::parse(bytes);
    if (!file)
        return 0;
    if (file->entries().isEmpty() || file->entries().size() > pictomat::ico::kMaxEntries)
        std::abort();
    QVector<pictomat::ico::IcoImage> decoded;
    qint64 pixels = 0;
    for (qsizetype i = 0; i < file->entries().size(); ++i) {
        const pictomat::ico::Entry& entry = file->entries()[i];
        if (entry.width < 1 || entry.height < 1 || entry.width > pictomat::ico::kMaxEdge
            || entry.height > pictomat::ico::kMaxEdge || entry.offset + entry.bytes > bytes.size())
            std::abort();
        pixels += qint64(entry.width) * entry.height;
        const QImage image = file->image(i);
        if (!image.isNull() && image.size() != QSize(entry.width, entry.height))
            std::abort();
        if (!image.isNull())
            decoded.append({image, {}});
    }
    if (pixels > pictomat::ico::kMaxTotalPixels)
        std::abort();
    QStringList skipped;
    if (pictomat::ico::PicturesAsPng(*file, &skipped).size() + skipped.size() != file->entries().size())
        std::abort();
    if (decoded.isEmpty())
        return 0;
    const std::optional<IcoFile> again = IcoFile::parse(pictomat::ico::WriteIco(decoded));
    if (!again || again->entries().size() != decoded.size())
        std::abort();
    // The writer puts the pictures smallest first; each reads back as it went in.
    for (qsizetype i = 0; i < again->entries().size(); ++i) {
        const QImage back = again->image(i);
        bool found = false;
        for (const pictomat::ico::IcoImage& picture : decoded)
            found = found || picture.image == back;
        if (!found)
            std::abort();
    }
    return 0;
}
