#include "read/Source.h"

#include "files/FileIO.h"

#include <QBuffer>
#include <QFile>

namespace pictomat {

PictureSource PictureSource::open(const FileRef& file)
{
    PictureSource source;
    std::unique_ptr<QFile> device = OpenFileForReading(file);
    if (!device)
        return source;
    source.m_fd = device->handle();
    source.m_path = file.path();
    source.m_sniffed = SniffContent(device->peek(kSniffBytes), file.name());
    source.m_device = std::move(device);
    return source;
}

PictureSource PictureSource::fromBytes(const QByteArray& bytes)
{
    PictureSource source;
    auto buffer = std::make_unique<QBuffer>();
    buffer->setData(bytes);
    if (!buffer->open(QIODevice::ReadOnly))
        return source;
    source.m_sniffed = SniffContent(bytes.left(kSniffBytes));
    source.m_device = std::move(buffer);
    return source;
}

} // namespace pictomat
