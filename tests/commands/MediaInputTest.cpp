#include "MakeIconSupport.h"

#include "icns/IconFamily.h"
#include "platform/CustomIcons.h"
#include "platform/IconProvider.h"
#include "prefs/Preferences.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <sys/stat.h>

using namespace pictomat;
using test::PillowDescribe;

namespace {

const QString kNoFamily = QStringLiteral("The icon family could not be created.");
const QString kNoIcon = QStringLiteral("The icon could not be obtained from the file.");
const QString kCannotSet = QStringLiteral("The files graphic image could not be copied to the file.");

class MediaInput : public test::MakeIconFixture {
protected:
    void pillow(const QString& script)
    {
        writeFile(".keep", "");
        const test::ProcessResult r = test::RunPython(script, {work()}, 120000);
        ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    }
};

TEST_F(MediaInput, FortyEightMegapixelPhotoGetsItsIconAndABombItsMessage)
{
    // 8000 x 6000: past what Qt's readers decode whole by default.
    pillow(R"(
import struct, sys, zlib
from PIL import Image
im = Image.new('RGB', (8000, 6000), (200, 30, 30))
im.paste((30, 30, 200), (4000, 0, 8000, 6000))
im.save(sys.argv[1] + '/photo.jpg', quality=80)
def chunk(kind, data):
    return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))
ihdr = struct.pack('>IIBBBBB', 90000, 90000, 8, 6, 0, 0, 0)
png = b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', ihdr) + chunk(b'IDAT', zlib.compress(b'\0' * 100000, 9)) + chunk(b'IEND', b'')
open(sys.argv[1] + '/bomb.png', 'wb').write(png)
)");
    select({out("photo.jpg"), out("bomb.png")});
    run(CommandId::MakeIconForMedia);
    // The photo's icon is whole; the bomb gets the command's own two alerts.
    EXPECT_EQ(desktop.alertMessages(), (QStringList{kNoFamily, kNoIcon}));
    const QString pixels = QString::fromLatin1(PillowDescribe(out("photo.jpg.icns"), {{256, 512}, {768, 512}}));
    EXPECT_TRUE(QRegularExpression("^ICNS 1024x1024 256,512=(19\\d|20\\d),(2\\d|3\\d),(2\\d|3\\d),255 "
                                   "768,512=(2\\d|3\\d),(2\\d|3\\d),(19\\d|20\\d),255$")
                    .match(pixels)
                    .hasMatch())
        << pixels.toStdString();
    EXPECT_FALSE(QFileInfo::exists(QFile::decodeName(out("bomb.png.icns"))));

    desktop.alerts.clear();
    run(CommandId::AddCustomIconToMedia);
    EXPECT_EQ(desktop.alertMessages().count(kCannotSet), 1); // the bomb, never silently
    if (CustomIcons::metadataAvailable()) {
        const QByteArray icon = test::GioCustomIcon(out("photo.jpg"));
        EXPECT_EQ(PillowDescribe(icon), "PNG 1024x768");
    }
}

TEST_F(MediaInput, ContentDecidesOverTheName)
{
    const QByteArray family = icnsFile("Family", QColor(255, 0, 255)); // an icon file without its extension
    const QByteArray picture = pictureFile("Picture.icns", test::SolidImage(64, QColor(0, 128, 0)));
    select({family, picture});
    run(CommandId::MakeIconForMedia);
    EXPECT_TRUE(desktop.alerts.isEmpty()) << desktop.alertMessages().join('\n').toStdString();
    const std::optional<icns::IconFamily> source = icns::IconFamily::fromIcns(test::FileBytes(family));
    const std::optional<icns::IconFamily> written = icns::IconFamily::fromIcns(test::FileBytes(out("Family.icns")));
    ASSERT_TRUE(source && written);
    EXPECT_EQ(written->elements().size(), source->elements().size());
    EXPECT_EQ(PillowDescribe(QFile::encodeName(work() + "/pictures/Picture.icns.icns"), {{512, 512}}),
              "ICNS 1024x1024 512,512=0,128,0,255");

    // With ImageICNS on, the export shows what the icon file holds, whatever its name.
    set(prefs::key::ImageICNS, true);
    select({family});
    runExport(*exporterFor("png"));
    EXPECT_EQ(PillowDescribe(out("Family.png"), {{32, 32}}), "PNG 64x64 32,32=255,0,255,255");
}

TEST_F(MediaInput, PhonePhotosAndPdfArtworkReachEveryCommandThatReadsPictures)
{
    // A photo (red left, blue right) as heif-enc writes it, under a JPEG's
    // name; the same as AVIF; a page of artwork as cairo writes it (a green
    // box in the middle of a transparent page); and a text file named as a photo.
    pillow(R"(
import sys, cairo
from PIL import Image
im = Image.new('RGB', (600, 400), (200, 30, 30))
im.paste((30, 30, 200), (300, 0, 600, 400))
im.save(sys.argv[1] + '/source.png')
s = cairo.PDFSurface(sys.argv[1] + '/art.pdf', 300, 300)
c = cairo.Context(s)
c.set_source_rgb(0, 0.8, 0)
c.rectangle(75, 75, 150, 150)
c.fill()
s.finish()
open(sys.argv[1] + '/notes.heic', 'w').write('Notes for the trip.\n')
)");
    for (const QStringList& command : {QStringList{"heif-enc", "-q", "90", out("source.png"), "-o", out("phone.jpg")},
                                       QStringList{"avifenc", out("source.png"), out("phone.avif")}}) {
        const test::ProcessResult r = test::RunProcess(command.first(), command.mid(1), {}, 60000);
        ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    }
    select({out("phone.jpg"), out("phone.avif"), out("art.pdf"), out("notes.heic")});
    run(CommandId::MakeIconForMedia);
    EXPECT_EQ(desktop.alertMessages(), (QStringList{kNoFamily, kNoIcon})); // the text file's
    const QRegularExpression photo(
        "^ICNS 1024x1024 256,512=(19\\d|20\\d),(2\\d|3\\d),(2\\d|3\\d),255 "
        "768,512=(2\\d|3\\d),(2\\d|3\\d),(19\\d|20\\d),255$");
    for (const char* name : {"phone.jpg.icns", "phone.avif.icns"}) {
        const QString pixels = QString::fromLatin1(PillowDescribe(out(name), {{256, 512}, {768, 512}}));
        EXPECT_TRUE(photo.match(pixels).hasMatch()) << name << ": " << pixels.toStdString();
    }
    EXPECT_EQ(PillowDescribe(out("art.pdf.icns"), {{100, 100}, {512, 512}}),
              "ICNS 1024x1024 100,100=0,0,0,0 "
              "512,512=0,204,0,255");

    desktop.alerts.clear();
    run(CommandId::MakeWindowsIconForMedia);
    EXPECT_EQ(desktop.alertMessages(), QStringList{kNoIcon});
    EXPECT_EQ(PillowDescribe(out("art.pdf.ico"), {{128, 128}, {20, 20}}),
              "ICO 256x256 128,128=0,204,0,255 20,20=0,0,0,0");
    EXPECT_TRUE(PillowDescribe(out("phone.jpg.ico")).startsWith("ICO 256x256"));

    if (!CustomIcons::metadataAvailable())
        return;
    desktop.alerts.clear();
    run(CommandId::AddCustomIconToMedia);
    EXPECT_TRUE(desktop.alerts.isEmpty()) << desktop.alertMessages().join('\n').toStdString();
    EXPECT_EQ(PillowDescribe(test::GioCustomIcon(out("phone.avif"))), "PNG 600x400");
    EXPECT_EQ(PillowDescribe(test::GioCustomIcon(out("art.pdf"))), "PNG 1024x1024");

    // An item whose custom icon is the HEIC photo itself shows it (in a
    // process of its own, which reads the metadata afresh).
    const QByteArray item = writeFile("trip.txt", "words");
    const test::ProcessResult set =
        test::RunProcess("gio", {"set", "-t", "string", QFile::decodeName(item), "metadata::custom-icon",
                                 QString::fromUtf8(FileRef(out("phone.jpg")).uri())});
    ASSERT_EQ(set.exitCode, 0) << set.err.constData();
    for (const char* key : {"OpenImageFileForMe", "OpenImageFolderForMe"})
        ASSERT_EQ(test::RunPictomat({"defaults", "write", key, "-bool", "false"}).exitCode, 0);
    const test::ProcessResult made = test::RunPictomat({"run", "make-icon", QFile::decodeName(item)});
    ASSERT_EQ(made.exitCode, 0) << made.err.constData();
    const QString shown = QString::fromLatin1(PillowDescribe(out("trip.txt.icns"), {{256, 512}, {768, 512}}));
    EXPECT_TRUE(photo.match(shown).hasMatch()) << shown.toStdString();
}

TEST_F(MediaInput, IconThatDrawsNothingFailsInsteadOfWritingABlank)
{
    // A picture whose header is whole and whose pixels are not, and an SVGZ
    // that inflates far past any icon.
    QByteArray damaged = test::FileBytes(pictureFile("whole.png", test::SolidImage(64, Qt::red)));
    damaged.truncate(40);
    damaged += QByteArray(200, 'x');
    const QByteArray damagedPicture = writeFile("pictures/damaged.png", damaged);
    pillow(R"(
import gzip, sys
body = b'<svg xmlns="http://www.w3.org/2000/svg" width="16" height="16">' + b' ' * (40 << 20) + b'</svg>'
open(sys.argv[1] + '/bomb.svgz', 'wb').write(gzip.compress(body, 9))
)");
    const QByteArray broken =
        writeFile("Broken.desktop", "[Desktop Entry]\nType=Application\nName=B\nIcon=" + damagedPicture + "\n");
    const QByteArray bomb =
        writeFile("Bomb.desktop", "[Desktop Entry]\nType=Application\nName=B\nIcon=" + out("bomb.svgz") + "\n");
    select({broken, bomb});
    run(CommandId::MakeIconForFile);
    EXPECT_EQ(desktop.alertMessages(), (QStringList{kNoFamily, kNoFamily}));
    EXPECT_FALSE(QFileInfo::exists(QFile::decodeName(out("Broken.desktop.icns"))));

    desktop.alerts.clear();
    set(prefs::key::AddCustomIcon, true);
    runExport(*exporterFor("png"));
    EXPECT_FALSE(QFileInfo::exists(QFile::decodeName(out("Broken.desktop.png"))));
    EXPECT_FALSE(QFileInfo::exists(QFile::decodeName(out("Bomb.desktop.png"))));
    EXPECT_EQ(desktop.standardOutput,
              "Pictomat: An error occurred loading the icon data."
              "Pictomat: An error occurred loading the icon data.");
}

TEST_F(MediaInput, IconSharedByManyItemsIsRenderedOnce)
{
    QList<QByteArray> items;
    for (int i = 0; i < 6; ++i)
        items << writeFile(QStringLiteral("note%1.txt").arg(i), "words");
    const QByteArray picture = pictureFile("tool.png", test::SolidImage(48, Qt::blue));
    for (int i = 0; i < 3; ++i)
        items << writeFile(QStringLiteral("tool%1.desktop").arg(i),
                           "[Desktop Entry]\nType=Application\nName=T\nIcon=" + picture + "\n");
    items << itemShowing("Other.desktop", test::SolidImage(48, Qt::green));
    QStringList rendered;
    context.iconRendered = [&](const QString& source) { rendered << source; };
    select(items);

    run(CommandId::MakeIconForFile);
    EXPECT_TRUE(desktop.alerts.isEmpty()) << desktop.alertMessages().join('\n').toStdString();
    EXPECT_EQ(rendered.size(), 3) << rendered.join('\n').toStdString();
    EXPECT_EQ(test::FileBytes(out("note0.txt.icns")), test::FileBytes(out("note5.txt.icns")));
    EXPECT_EQ(test::PillowIcnsSizes(out("tool2.desktop.icns")), test::PillowIcnsSizes(out("tool0.desktop.icns")));

    rendered.clear();
    runExport(*exporterFor("png"));
    EXPECT_EQ(rendered.size(), 3);
    EXPECT_EQ(PillowDescribe(out("tool1.desktop.png"), {{32, 32}}), "PNG 64x64 32,32=0,0,255,255");
    EXPECT_EQ(PillowDescribe(out("Other.desktop.png"), {{32, 32}}), "PNG 64x64 32,32=0,255,0,255");
}

TEST_F(MediaInput, SpecialFilesAmongTheItemsNeverHang)
{
    // Run as a process of its own with a time limit: a reader blocked on the
    // FIFO would hang the test instead of failing it.
    for (const char* key : {"OpenImageFileForMe", "OpenImageFolderForMe", "AddCustomIcon"})
        ASSERT_EQ(test::RunPictomat({"defaults", "write", key, "-bool", "false"}).exitCode, 0);
    const QByteArray first = pictureFile("first.png", test::SolidImage(32, Qt::red));
    const QByteArray last = pictureFile("last.png", test::SolidImage(32, Qt::blue));
    const QByteArray fifo = out("clip.mov");
    ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
    const QStringList items{QFile::decodeName(first), QFile::decodeName(fifo), QFile::decodeName(last)};
    const QString folder = work() + "/pictures/"; // outputs go beside their items

    test::ProcessResult r = test::RunPictomat(QStringList{"run", "make-media-icon"} + items, {}, 30000);
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err.count(": " + kNoFamily.toUtf8()), 1) << r.err.constData();
    EXPECT_GT(QFileInfo(folder + "first.png.icns").size(), 0);
    EXPECT_GT(QFileInfo(folder + "last.png.icns").size(), 0);

    for (const QStringList& command :
         {QStringList{"add-media-icon"}, QStringList{"make-icon"}, QStringList{"export", "png"}}) {
        r = test::RunPictomat(QStringList{"run"} + command + items, {}, 30000);
        EXPECT_FALSE(r.timedOut) << command.join(' ').toStdString();
    }
    EXPECT_GT(QFileInfo(work() + "/clip.mov.png").size(), 0); // a FIFO's icon, never its contents
}

} // namespace
