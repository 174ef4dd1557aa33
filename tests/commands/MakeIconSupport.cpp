#include "MakeIconSupport.h"

#include "commands/Dispatcher.h"
#include "files/FileIO.h"
#include "icns/IconFamily.h"
#include "image/Exporters.h"
#include "platform/IconProvider.h"
#include "prefs/PreferenceStore.h"
#include "prefs/Preferences.h"

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QRegularExpression>

#include <algorithm>

namespace pictomat::test {

void MakeIconFixture::SetUp()
{
    TestEnv::SetUp();
    exporters = LoadExporterList(desktop.standardOutputWriter());
    desktop.standardOutput.clear();
    set(prefs::key::UseItemsFolder, true);
    set(prefs::key::OpenImageFolderForMe, false);
    set(prefs::key::OpenImageFileForMe, false);
    set(prefs::key::AddCustomIcon, false);
    set(prefs::key::IconSize, qint64(64));
}

void MakeIconFixture::set(const char* key, const QVariant& value)
{
    auto& store = preferences;
    store.setValue(QString::fromLatin1(key), value);
    ASSERT_TRUE(store.synchronize());
}

void MakeIconFixture::select(const QList<QByteArray>& paths)
{
    QVector<FileRef> items;
    for (const QByteArray& p : paths)
        items.append(p.isEmpty() ? FileRef() : FileRef(p));
    selection.count = qint32(items.size());
    selection.items = items;
}

std::optional<ExporterInfo> MakeIconFixture::exporterFor(const QString& extension) const
{
    const ExporterInfo* info = MatchExporterExtension(exporters, extension);
    return info ? std::optional<ExporterInfo>(*info) : std::nullopt;
}

std::optional<ExporterInfo> MakeIconFixture::exporterForType(const QString& mimeType) const
{
    for (const ExporterInfo& info : exporters) {
        if (info.mimeString == mimeType)
            return info;
    }
    return std::nullopt;
}

void MakeIconFixture::run(CommandId id)
{
    CommandRequest request;
    request.command = FindCommand(id);
    request.items = selection;
    Dispatch(context, request);
}

void MakeIconFixture::runExport(const ExporterInfo& exporter)
{
    CommandRequest request;
    request.command = FindCommand(CommandId::ExportImage);
    request.items = selection;
    request.options.exporter = exporter;
    Dispatch(context, request);
}

QByteArray MakeIconFixture::pictureFile(const QString& name, const QImage& image)
{
    const QString path = work() + "/pictures/" + name;
    QDir().mkpath(work() + "/pictures");
    EXPECT_TRUE(image.save(path, "PNG")) << path.toStdString();
    return QFile::encodeName(path);
}

QByteArray MakeIconFixture::itemShowing(const QString& name, const QImage& icon)
{
    const QByteArray picture = pictureFile(name + ".png", icon);
    return writeFile(name, "[Desktop Entry]\nType=Application\nName=Item\nExec=true\nIcon=" + picture + "\n");
}

QByteArray MakeIconFixture::icnsFile(const QString& name, QColor colour)
{
    QMap<int, QImage> images;
    for (int size : {16, 32, 128, 256})
        images.insert(size, SolidImage(size, colour));
    const QByteArray path = QFile::encodeName(work() + "/" + name);
    EXPECT_TRUE(WriteFileAtomically(FileRef(path), icns::IconFamily::fromImages(images).toIcns()));
    return path;
}

QImage SolidImage(int size, QColor colour)
{
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(colour);
    return image;
}

QImage TransparentCornersImage(int size, QColor colour)
{
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter(&image).fillRect(size / 4, size / 4, size / 2, size / 2, colour);
    return image;
}

QByteArray FileBytes(const QByteArray& path)
{
    QFile f(QFile::decodeName(path));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList FolderEntries(const QString& folder)
{
    QStringList names = QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    std::sort(names.begin(), names.end()); // plain code-point order, whatever the locale
    return names;
}

QByteArray PillowDescribe(const QByteArray& path, const QList<QPoint>& points)
{
    QStringList args{QFile::decodeName(path)};
    for (const QPoint& p : points)
        args << QString::number(p.x()) << QString::number(p.y());
    const ProcessResult r = RunPython(QStringLiteral(R"(
import sys
from PIL import Image
im = Image.open(sys.argv[1])
im.load()
out = ['%s %dx%d' % (im.format, im.size[0], im.size[1])]
rgba = im.convert('RGBA')
a = sys.argv[2:]
for i in range(0, len(a), 2):
    x, y = int(a[i]), int(a[i + 1])
    out.append('%d,%d=%d,%d,%d,%d' % ((x, y) + rgba.getpixel((x, y))))
print(' '.join(out))
)"),
                                      args);
    if (r.exitCode != 0) {
        ADD_FAILURE() << "Pillow cannot read " << path.constData() << ": " << r.err.constData();
        return {};
    }
    return r.out.trimmed();
}

QByteArray PillowIcnsSizes(const QByteArray& path)
{
    const ProcessResult r = RunPython(QStringLiteral(R"(
import sys
from PIL import Image
path = sys.argv[1]
sizes = sorted(Image.open(path).info['sizes'])
for size in sizes:
    im = Image.open(path)
    im.size = size
    im.load()
    assert im.size == (size[0] * size[2], size[1] * size[2]), (size, im.size)
print(' '.join('%dx%d@%d' % s for s in sizes))
)"),
                                      {QFile::decodeName(path)});
    return r.exitCode == 0 ? r.out.trimmed() : "error: " + r.err.trimmed();
}

int Icns2pngElementCount(const QByteArray& path)
{
    const ProcessResult r = RunProcess(QStringLiteral("icns2png"), {QStringLiteral("-l"), QFile::decodeName(path)});
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("(\\d+) elements total")).match(QString::fromUtf8(r.out));
    if (r.exitCode != 0 || !m.hasMatch())
        return -1;
    return m.captured(1).toInt();
}

} // namespace pictomat::test
