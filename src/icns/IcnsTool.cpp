#include "icns/IcnsTool.h"

#include "icns/IcnsCodec.h"
#include "icns/IconFamily.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pictomat::icns {

namespace {

void printUsage()
{
    std::fprintf(stderr, "usage: pictomat icns list FILE\n"
                         "       pictomat icns extract FILE DIR\n");
}

QByteArray local(const QString& s)
{
    return s.toLocal8Bit();
}

std::optional<IconFamily> readOrComplain(const QByteArray& path)
{
    QString error;
    std::optional<IconFamily> family = ReadIcnsFile(path, &error);
    if (!family && error.contains(QString::fromLocal8Bit(path)))
        std::fprintf(stderr, "pictomat: %s\n", local(error).constData());
    else if (!family)
        std::fprintf(stderr, "pictomat: %s: %s\n", path.constData(), local(error).constData());
    else if (!error.isEmpty())
        std::fprintf(stderr, "pictomat: %s: warning: %s\n", path.constData(), local(error).constData());
    return family;
}

QString dimensions(const IconFamily::Image& image)
{
    QString s = QStringLiteral("%1x%2").arg(image.image.width()).arg(image.image.height());
    if (image.scale > 1)
        s += QStringLiteral(" @%1x").arg(image.scale);
    return s;
}

int list(const QByteArray& path)
{
    const std::optional<IconFamily> family = readOrComplain(path);
    if (!family)
        return 1;
    const QVector<IconFamily::Image> images = family->images();
    for (const IconFamily::Element& e : family->elements()) {
        QString what = QStringLiteral("-");
        for (const IconFamily::Image& image : images)
            if (image.type == e.type)
                what = dimensions(image);
        const codec::Kind* kind = codec::FindKind(e.type);
        if (what == QLatin1String("-") && kind && kind->payload == codec::Payload::Mask8)
            what = QStringLiteral("mask");
        std::printf("%-10s %9lld  %s\n", local(OSTypeToString(e.type)).constData(),
                    static_cast<long long>(e.data.size()), local(what).constData());
    }
    return 0;
}

QByteArray fileNameFor(const IconFamily::Image& image)
{
    QByteArray name;
    for (const QChar c : OSTypeToString(image.type)) {
        const bool plain = c.isLetterOrNumber() || c == QLatin1Char('#') || c == QLatin1Char('_');
        name += plain ? char(c.toLatin1()) : '_';
    }
    name += '-' + QByteArray::number(image.image.width()) + 'x' + QByteArray::number(image.image.height());
    if (image.scale > 1)
        name += '@' + QByteArray::number(image.scale) + 'x';
    return name + ".png";
}

bool writeWhole(const QByteArray& path, const QByteArray& bytes)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
    }
    return ::close(fd) == 0 && done == bytes.size();
}

int extract(const QByteArray& path, const QByteArray& folder)
{
    const std::optional<IconFamily> family = readOrComplain(path);
    if (!family)
        return 1;
    if (::mkdir(folder.constData(), 0777) != 0 && errno != EEXIST) {
        std::fprintf(stderr, "pictomat: cannot create %s: %s\n", folder.constData(), std::strerror(errno));
        return 1;
    }
    int status = 0;
    for (const IconFamily::Image& image : family->images()) {
        const QByteArray target = folder + '/' + fileNameFor(image);
        const QByteArray png = codec::EncodePng(image.image);
        if (png.isEmpty() || !writeWhole(target, png)) {
            std::fprintf(stderr, "pictomat: cannot write %s: %s\n", target.constData(), std::strerror(errno));
            status = 1;
            continue;
        }
        std::printf("%s\n", target.constData());
    }
    return status;
}

} // namespace

int RunIcnsTool(const QStringList& arguments)
{
    const QString verb = arguments.value(0);
    if (verb == QLatin1String("list") && arguments.size() == 2)
        return list(local(arguments[1]));
    if (verb == QLatin1String("extract") && arguments.size() == 3)
        return extract(local(arguments[1]), local(arguments[2]));
    printUsage();
    return 2;
}

} // namespace pictomat::icns
