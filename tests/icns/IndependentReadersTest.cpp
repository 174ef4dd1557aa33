// Programs someone else wrote read what we write, and we read what they write.

#include "icns/IcnsCodec.h"
#include "IcnsTestSupport.h"
#include "icns/IconFamily.h"
#include "TestEnv.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImageReader>

using namespace pictomat::icns;
using pictomat::test::FullSet;
using pictomat::test::RunProcess;
using pictomat::test::RunPython;
using pictomat::test::SamePixels;

namespace {

QByteArray ReadBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class IcnsReaders : public pictomat::test::TestEnv {
protected:
    void SetUp() override
    {
        TestEnv::SetUp();
        QDir().mkpath(work());
        m_sources = FullSet(2);
        for (auto it = m_sources.cbegin(); it != m_sources.cend(); ++it)
            ASSERT_TRUE(it.value().save(source(it.key()), "PNG"));
        IconFamily::WriteOptions options;
        options.legacy48 = options.legacy128 = true;
        m_file = work() + QStringLiteral("/family.icns");
        QFile file(m_file);
        const QByteArray bytes = IconFamily::fromImages(m_sources, options).toIcns();
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    }

    QString source(int size) const { return work() + QStringLiteral("/src-%1.png").arg(size); }

    QMap<int, QImage> m_sources;
    QString m_file;
};

} // namespace

TEST_F(IcnsReaders, PillowListsEverySizeAndMatchesEveryPixel)
{
    const auto r = RunPython(QStringLiteral(R"(
import sys
from PIL import Image
path, folder = sys.argv[1], sys.argv[2]
sizes = sorted(Image.open(path).info['sizes'])
print(sizes)
for size in sizes:
    im = Image.open(path)
    im.size = size
    im.load()
    edge = size[0] * size[2]
    src = Image.open('%s/src-%d.png' % (folder, edge)).convert('RGBA')
    got = im.convert('RGBA')
    if got.size != src.size or got.tobytes() != src.tobytes():
        print('MISMATCH', size)
)"),
                             {m_file, work()});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(r.out.trimmed(), QByteArray("[(16, 16, 1), (16, 16, 2), (32, 32, 1), (32, 32, 2), (48, 48, 1), "
                                          "(128, 128, 1), (128, 128, 2), (256, 256, 1), (256, 256, 2), "
                                          "(512, 512, 1), (512, 512, 2)]"));
}

TEST_F(IcnsReaders, IcnsutilsListsLegacyAndLargeElements)
{
    const auto r = RunProcess(QStringLiteral("icns2png"), {QStringLiteral("-l"), m_file});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    for (const char* line :
         {"'is32' 16x16 32-bit", "'s8mk' 16x16 8-bit mask", "'il32' 32x32 32-bit", "'l8mk' 32x32 8-bit mask",
          "'ih32' 48x48 32-bit", "'h8mk' 48x48 8-bit mask", "'it32' 128x128 32-bit", "'t8mk' 128x128 8-bit mask",
          "'ic08' 256x256 32-bit", "'ic09' 512x512 32-bit", "'ic10' 1024x1024 32-bit"})
        EXPECT_TRUE(r.out.contains(line)) << line << "\n" << r.out.constData();
    EXPECT_TRUE(r.out.contains("17 elements total")) << r.out.constData();
}

TEST_F(IcnsReaders, QtReadsEveryElement)
{
    QImageReader reader(m_file, "icns");
    ASSERT_TRUE(reader.canRead()) << qPrintable(reader.errorString());
    const int count = reader.imageCount();
    EXPECT_EQ(count, 12);
    QList<int> edges;
    for (int i = 0; i < count; ++i) {
        ASSERT_TRUE(reader.jumpToImage(i));
        const QImage image = reader.read();
        ASSERT_FALSE(image.isNull()) << i << ": " << qPrintable(reader.errorString());
        // Qt hands the legacy RGB + mask pairs over premultiplied.
        const auto premultiplied = QImage::Format_ARGB32_Premultiplied;
        EXPECT_TRUE(
            SamePixels(m_sources[image.width()].convertToFormat(premultiplied), image.convertToFormat(premultiplied)))
            << "image " << i;
        edges << image.width();
    }
    std::sort(edges.begin(), edges.end());
    EXPECT_EQ(edges, QList<int>({16, 32, 32, 48, 64, 128, 128, 256, 256, 512, 512, 1024}));
}

TEST_F(IcnsReaders, GnomeThumbnailerAndFileAcceptTheFile)
{
    const QString thumbnail = work() + QStringLiteral("/thumb.png");
    const auto t = RunProcess(QStringLiteral("gdk-pixbuf-thumbnailer"),
                              {QStringLiteral("-s"), QStringLiteral("256"), m_file, thumbnail});
    EXPECT_EQ(t.exitCode, 0) << t.err.constData();
    EXPECT_EQ(QImage(thumbnail).size(), QSize(256, 256));

    const auto f = RunProcess(QStringLiteral("file"), {QStringLiteral("-b"), m_file});
    ASSERT_EQ(f.exitCode, 0);
    EXPECT_EQ(f.out.trimmed(),
              QStringLiteral("Mac OS X icon, %1 bytes, \"TOC \" type").arg(QFileInfo(m_file).size()).toUtf8());
}

TEST_F(IcnsReaders, FamiliesWrittenByPillowAndPng2icnsDecode)
{
    const QString pillowFile = work() + QStringLiteral("/pillow.icns");
    const auto p = RunPython(QStringLiteral("import sys\nfrom PIL import Image\n"
                                            "Image.open(sys.argv[1]).save(sys.argv[2], format='ICNS')\n"),
                             {source(1024), pillowFile});
    ASSERT_EQ(p.exitCode, 0) << p.err.constData();
    QString error;
    const auto pillow = IconFamily::fromIcns(ReadBytes(pillowFile), &error);
    ASSERT_TRUE(pillow) << qPrintable(error);
    EXPECT_TRUE(error.isEmpty()) << qPrintable(error);
    QStringList kinds;
    for (const auto& image : pillow->images())
        kinds << QStringLiteral("%1:%2").arg(OSTypeToString(image.type)).arg(image.pixelSize);
    EXPECT_EQ(kinds.join(' '),
              QStringLiteral("ic07:128 ic08:256 ic09:512 ic10:1024 ic11:32 ic12:64 ic13:256 ic14:512"));
    EXPECT_TRUE(SamePixels(m_sources[1024], pillow->bestImage(1024)));

    // png2icns stores 256 px and up as JPEG 2000, lossless.
    const QString png2icnsFile = work() + QStringLiteral("/png2icns.icns");
    QStringList args{png2icnsFile};
    for (int size : {16, 32, 48, 128, 256, 512})
        args << source(size);
    const auto r = RunProcess(QStringLiteral("png2icns"), args);
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    const auto libicns = IconFamily::fromIcns(ReadBytes(png2icnsFile), &error);
    ASSERT_TRUE(libicns) << qPrintable(error);
    ASSERT_TRUE(codec::IsJpeg2000(*libicns->element(MakeOSType("ic09"))));
    const auto images = libicns->images();
    ASSERT_EQ(images.size(), 6);
    for (const auto& image : images) {
        SCOPED_TRACE(qPrintable(OSTypeToString(image.type)));
        EXPECT_TRUE(SamePixels(m_sources[image.pixelSize], image.image));
    }
}
