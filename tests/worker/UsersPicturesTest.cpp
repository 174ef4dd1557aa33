// Pictures that are not the program's own reach a decoder only in the reading
// worker, whatever path brings them: a folder's or launcher's own picture, a
// web site's icon, bytes from the clipboard. A picture that crashes or hangs
// its reader costs that picture alone, and this process (standing for the
// tray) goes on to read the next one as ever.
#include "commands/SiteIcon.h"
#include "icns/IconFamily.h"
#include "platform/IconProvider.h"
#include "worker/ReadingWorker.h"
#include "worker/WorkerProtocol.h"

#include "TestEnv.h"

#include <QDir>
#include <QFile>
#include <QImage>

#include <gtest/gtest.h>

namespace pictomat {
namespace {

class UsersPictures : public test::TestEnv {
protected:
    void SetUp() override
    {
        test::TestEnv::SetUp();
        // Read when the worker first starts, in this process's first request.
        qputenv(worker::kTestEnvironment, "1");
        qputenv("PICTOMAT_READER_DEADLINE_MS", "2000");
    }
    // A folder whose .directory names `picture` as its icon, as file managers read it.
    IconProvider::Icon folderShowing(const QString& name, const QByteArray& picture)
    {
        QDir().mkpath(work() + "/" + name);
        writeFile(work() + "/" + name + "/.directory", "[Desktop Entry]\nIcon=" + picture + "\n");
        const std::optional<IconProvider::Icon> icon = icons.iconFor(FileRef(QFile::encodeName(work() + "/" + name)));
        EXPECT_TRUE(icon.has_value());
        EXPECT_EQ(icon.value_or(IconProvider::Icon{}).source, QFile::decodeName(picture));
        return icon.value_or(IconProvider::Icon{});
    }
    QByteArray ordered(const QString& name, const char* word)
    {
        return writeFile(name, QByteArray(worker::kTestHead) + word + "\n");
    }
    static QImage filled(int edge, QColor colour)
    {
        QImage image(edge, edge, QImage::Format_ARGB32);
        image.fill(colour);
        return image;
    }
    IconProvider icons;
};

TEST_F(UsersPictures, AReaderThatCrashesOrHangsCostsThatPictureAloneOnEveryPath)
{
    // A drawing named by a folder is drawn by the worker at each size, as
    // sharp at 16 pixels as at 256; a picture is read there once.
    const QByteArray drawing = writeFile("art/mark.svg",
                                         "<svg xmlns='http://www.w3.org/2000/svg' viewBox='0 0 10 10'>"
                                         "<rect x='1' y='1' width='8' height='8' fill='#00f'/></svg>");
    const IconProvider::Icon drawn = folderShowing("drawn", drawing);
    for (int size : {16, 256}) {
        const QImage picture = IconProvider::render(drawn, size);
        ASSERT_EQ(picture.size(), QSize(size, size));
        EXPECT_EQ(QColor(picture.pixel(size / 2, size / 2)), QColor(Qt::blue)) << size;
        // The edge of the square falls on a pixel boundary at every size.
        EXPECT_EQ(qAlpha(picture.pixel(size / 10 - 1, size / 2)), 0) << size;
    }

    // A picture whose reader crashes, and one whose reader never ends, give
    // no icon; the next picture is read by a fresh reader.
    for (const char* word : {"crash", "hang"}) {
        const IconProvider::Icon broken = folderShowing(word, ordered(QStringLiteral("%1.tga").arg(word), word));
        EXPECT_TRUE(IconProvider::render(broken, 64).isNull()) << word;
        const QImage after = IconProvider::render(drawn, 32);
        ASSERT_EQ(after.size(), QSize(32, 32)) << word;
        EXPECT_EQ(QColor(after.pixel(16, 16)), QColor(Qt::blue)) << word;
    }

    // A web site's icon: bytes that crash their reader are no picture; the
    // next site's icon decodes.
    EXPECT_TRUE(DecodeShortcutIconPicture(QByteArray(worker::kTestHead) + "crash\n").isNull());
    const QImage site = DecodeShortcutIconPicture(test::PngBytes(filled(48, Qt::green)));
    EXPECT_EQ(site.size(), QSize(48, 48));
    EXPECT_EQ(QColor(site.pixel(24, 24)), QColor(Qt::green));

    // An icon file copied as bytes gives its best element for the size
    // asked, its PNG decoded in the worker.
    QMap<int, QImage> rows{{16, filled(16, Qt::red)}, {128, filled(128, Qt::blue)}};
    const QByteArray icns = icns::IconFamily::fromImages(rows).toIcns();
    const PictureResult best = DecodePictureBytesInWorker(icns, 64);
    ASSERT_TRUE(best.ok());
    EXPECT_EQ(best.decoded.picture.size(), QSize(64, 64));
    EXPECT_EQ(best.decoded.natural, QSize(128, 128));
    EXPECT_EQ(QColor(best.decoded.picture.pixel(32, 32)), QColor(Qt::blue));
}

} // namespace
} // namespace pictomat
