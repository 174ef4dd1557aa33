#include "read/Source.h"

#include "files/FileIO.h"

#include <QBuffer>
#include <QFile>

#include <unistd.h>

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

PictureSource PictureSource::fromDescriptor(int fd, const QByteArray& path)
{
    PictureSource source;
    auto device = std::make_unique<QFile>();
    if (fd < 0)
        return source;
    if (!device->open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return source;
    }
    source.m_fd = fd;
    source.m_path = path;
    source.m_sniffed = SniffContent(device->peek(kSniffBytes), FileRef(path).name());
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
