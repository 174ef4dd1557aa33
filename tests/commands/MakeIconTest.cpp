#include "MakeIconSupport.h"

#include "files/FileIO.h"
#include "icns/IconFamily.h"
#include "platform/CustomIcons.h"
#include "platform/IconProvider.h"
#include "prefs/Preferences.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QRegularExpression>

#include <gio/gio.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace pictomat;
using test::FileBytes;
using test::FolderEntries;
using test::PillowDescribe;

namespace {

class MakeIcon : public test::MakeIconFixture {
protected:
    QByteArray gioCustomIcon(const QByteArray& item) { return test::GioCustomIcon(item); }
};

// Pixels of two image files as Pillow decodes them: the largest difference of
// any RGBA component, or -1 when the sizes differ or a file cannot be read.
int PillowMaxDifference(const QByteArray& a, const QByteArray& b)
{
    const test::ProcessResult r = test::RunPython(QStringLiteral(R"(
import sys
from PIL import Image, ImageChops
a = Image.open(sys.argv[1]).convert('RGBA')
b = Image.open(sys.argv[2]).convert('RGBA')
if a.size != b.size:
    print(-1)
else:
    print(max(hi for lo, hi in ImageChops.difference(a, b).getextrema()))
)"),
                                                  {QFile::decodeName(a), QFile::decodeName(b)});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    return r.exitCode == 0 ? r.out.trimmed().toInt() : -1;
}

TEST_F(MakeIcon, OutputNamesKeepTheItemsNameAndOnlyExportsCarryTheSize)
{
    const QByteArray photo = writeFile("Photo.jpg", "\xff\xd8\xff\xe0 not much of a photo");
    const QByteArray readMe = writeFile("Read Me", "plain words");
    select({photo, readMe});
    run(CommandId::MakeIconForFile);

    set(prefs::key::AppendIconSize, true);
    set(prefs::key::IconSize, qint64(256));
    select({photo});
    runExport(*exporterFor("png"));
    // The size is never part of an icon file's name: this one is replaced.
    run(CommandId::MakeIconForFile);

    EXPECT_TRUE(desktop.alerts.isEmpty()) << desktop.alertMessages().join('\n').toStdString();
    EXPECT_EQ(FolderEntries(work()),
              (QStringList{"Photo.jpg", "Photo.jpg.icns", "Photo.jpg_256.png", "Read Me", "Read Me.icns"}));
    EXPECT_EQ(context.lastOutputFile, FileRef(out("Photo.jpg.icns")));
    EXPECT_EQ(PillowDescribe(out("Photo.jpg_256.png")), "PNG 256x256");
    for (const char* name : {"Photo.jpg.icns", "Read Me.icns"}) {
        EXPECT_TRUE(test::PillowIcnsSizes(out(name)).startsWith("16x16@1")) << name;
        EXPECT_GT(test::Icns2pngElementCount(out(name)), 8) << name;
    }
}

TEST_F(MakeIcon, NamesThatAreNotUtf8ReachTheirOutputs)
{
    const QByteArray folder = QFile::encodeName(work());
    const QByteArray item = folder + "/caf\xe9.txt";
    FILE* file = ::fopen(item.constData(), "w");
    ASSERT_NE(file, nullptr);
    ::fputs("words", file);
    ::fclose(file);
    select({item});
    run(CommandId::MakeIconForFile);
    runExport(*exporterFor("png"));
    EXPECT_TRUE(desktop.alerts.isEmpty()) << desktop.alertMessages().join('\n').toStdString();
    for (const QByteArray& output : {item + ".icns", item + ".png"}) {
        struct stat st { };
        EXPECT_EQ(::stat(output.constData(), &st), 0) << output.toHex().constData();
        EXPECT_GT(st.st_size, 0) << output.toHex().constData();
        ::unlink(output.constData()); // Qt cannot clean up names it cannot decode
    }
    EXPECT_EQ(context.lastOutputFile, FileRef(item + ".png"));
    ::unlink(item.constData());
}

TEST_F(MakeIcon, IconFileHoldsTheItemsIconAtEverySizeForEveryReader)
{
    const QByteArray item = itemShowing("Tool.desktop", test::SolidImage(96, QColor(200, 30, 40)));
    select({item});
    run(CommandId::MakeIconForFile);
    ASSERT_TRUE(desktop.alerts.isEmpty()) << desktop.alertMessages().join('\n').toStdString();

    const QByteArray icns = out("Tool.desktop.icns");
    EXPECT_EQ(test::PillowIcnsSizes(icns),
              "16x16@1 16x16@2 32x32@1 32x32@2 128x128@1 128x128@2 256x256@1 256x256@2 512x512@1 512x512@2");
    EXPECT_GT(test::Icns2pngElementCount(icns), 8);
    // Every picture in it is the item's icon, not some generic one.
    const std::optional<icns::IconFamily> family =
        icns::IconFamily::fromIcns(ReadRegularFile(icns, icns::kMaxIcnsFileSize).value_or(QByteArray()));
    ASSERT_TRUE(family);
    for (const icns::IconFamily::Image& image : family->images()) {
        const QRgb middle = image.image.pixel(image.image.width() / 2, image.image.height() / 2);
        EXPECT_EQ(middle, qRgb(200, 30, 40)) << image.pixelSize << "@" << image.scale;
    }
    // Finished in place: no temporary file is left beside it.
    EXPECT_EQ(FolderEntries(work()), (QStringList{"Tool.desktop", "Tool.desktop.icns", "pictures"}));
}

TEST_F(MakeIcon, ExistingOutputIsReplacedOrKeptWithOneAlert)
{
    const QByteArray photo = writeFile("Photo.jpg", "jpeg-ish");
    const QByteArray other = writeFile("Other.txt", "text");
    writeFile("Photo.jpg.icns", "old contents");
    writeFile("Photo.jpg.png", "old picture");

    set(prefs::key::OverwriteFilesBySameName, false);
    set(prefs::key::OpenImageFileForMe, true);
    select({photo, other});
    run(CommandId::MakeIconForFile);
    runExport(*exporterFor("png"));
    ASSERT_EQ(desktop.alerts.size(), 2); // one per command, for the first item only
    for (const auto& alert : desktop.alerts) {
        EXPECT_EQ(alert.message, "The file already exists.");
        EXPECT_EQ(alert.explanation, "Select the option to overwrite files by same name to avoid this issue.");
    }
    EXPECT_EQ(FileBytes(out("Photo.jpg.icns")), "old contents");
    EXPECT_EQ(FileBytes(out("Photo.jpg.png")), "old picture");
    // The loop went on with the next item.
    EXPECT_FALSE(test::PillowIcnsSizes(out("Other.txt.icns")).startsWith("error"));
    EXPECT_EQ(PillowDescribe(out("Other.txt.png")), "PNG 64x64");
    EXPECT_EQ(context.lastOutputFile, FileRef(out("Other.txt.png")));
    // The kept file is not the item's output: it is neither remembered nor opened.
    EXPECT_EQ(desktop.opened,
              (QVector<QUrl>{FileRef(out("Other.txt.icns")).url(), FileRef(out("Other.txt.png")).url()}));

    desktop.alerts.clear();
    set(prefs::key::OverwriteFilesBySameName, true);
    select({photo});
    run(CommandId::MakeIconForFile);
    runExport(*exporterFor("png"));
    EXPECT_TRUE(desktop.alerts.isEmpty()) << desktop.alertMessages().join('\n').toStdString();
    EXPECT_TRUE(test::PillowIcnsSizes(out("Photo.jpg.icns")).startsWith("16x16@1"));
    EXPECT_EQ(PillowDescribe(out("Photo.jpg.png")), "PNG 64x64");
}

TEST_F(MakeIcon, SameNamedItemsShareOneImageFolder)
{
    const QByteArray first = writeFile("a/Tool.desktop", "[Desktop Entry]\nType=Application\nName=A\nIcon="
                                                             + pictureFile("red.png", test::SolidImage(32, Qt::red)));
    const QByteArray second =
        writeFile("b/Tool.desktop", "[Desktop Entry]\nType=Application\nName=B\nIcon="
                                        + pictureFile("green.png", test::SolidImage(32, Qt::green)));
    const QString folder = work() + "/images";
    QDir().mkpath(folder);
    set(prefs::key::UseItemsFolder, false);
    set(prefs::key::ImageFolderPathname, folder);
    const QByteArray output = QFile::encodeName(folder + "/Tool.desktop.png");

    select({first, second});
    runExport(*exporterFor("png"));
    EXPECT_TRUE(desktop.alerts.isEmpty());
    EXPECT_EQ(FolderEntries(folder), QStringList{"Tool.desktop.png"});
    EXPECT_EQ(PillowDescribe(output, {{32, 32}}), "PNG 64x64 32,32=0,255,0,255"); // the second one won

    set(prefs::key::OverwriteFilesBySameName, false);
    QFile::remove(QFile::decodeName(output));
    runExport(*exporterFor("png"));
    EXPECT_EQ(desktop.alertMessages(), QStringList{"The file already exists."});
    EXPECT_EQ(PillowDescribe(output, {{32, 32}}), "PNG 64x64 32,32=255,0,0,255"); // the first one stayed
}

TEST_F(MakeIcon, IcnsItemShowsItsOwnContentsOnlyWhenAsked)
{
    const QByteArray magenta = icnsFile("Set.ICNS", QColor(255, 0, 255));
    const QByteArray green = icnsFile("Other.icns", QColor(0, 160, 0));
    const QList<QPoint> points{{0, 0}, {32, 32}, {63, 63}};

    set(prefs::key::ImageICNS, true);
    select({magenta, green});
    runExport(*exporterFor("png"));
    // Each item its own contents, over the whole square, whatever was registered before.
    EXPECT_EQ(PillowDescribe(out("Set.ICNS.png"), points),
              "PNG 64x64 0,0=255,0,255,255 32,32=255,0,255,255 "
              "63,63=255,0,255,255");
    EXPECT_EQ(PillowDescribe(out("Other.icns.png"), points),
              "PNG 64x64 0,0=0,160,0,255 32,32=0,160,0,255 "
              "63,63=0,160,0,255");

    set(prefs::key::ImageICNS, false);
    runExport(*exporterFor("png"));
    // The file manager's icon for an icon file, the same for both.
    const QByteArray icon = PillowDescribe(out("Set.ICNS.png"), points);
    EXPECT_FALSE(icon.contains("=255,0,255,255")) << icon.constData();
    EXPECT_EQ(PillowMaxDifference(out("Set.ICNS.png"), out("Other.icns.png")), 0);
    EXPECT_TRUE(desktop.alerts.isEmpty());
}

TEST_F(MakeIcon, EveryFormatIsWrittenAtTheIconSize)
{
    const QByteArray item = itemShowing("Tool.desktop", test::TransparentCornersImage(48, QColor(20, 90, 200)));
    set(prefs::key::IconSize, qint64(100));
    set(prefs::key::ImageQuality, qint64(5));
    select({item});
    const QList<QPair<QString, QByteArray>> formats{{"image/png", "PNG"},
                                                    {"image/jpeg", "JPEG"},
                                                    {"image/tiff", "TIFF"},
                                                    {"image/webp", "WEBP"},
                                                    {"image/bmp", "BMP"}};
    QMap<QString, QByteArray> outputs;
    for (const auto& [type, pillowName] : formats) {
        const std::optional<ExporterInfo> exporter = exporterForType(type);
        ASSERT_TRUE(exporter) << type.toStdString();
        runExport(*exporter);
        outputs[type] = out("Tool.desktop." + exporter->extensionString);
        EXPECT_EQ(PillowDescribe(outputs[type]), pillowName + " 100x100") << type.toStdString();
    }
    EXPECT_TRUE(desktop.alerts.isEmpty());
    EXPECT_TRUE(desktop.logLines.filter("exporter").isEmpty()) << desktop.logLines.join('\n').toStdString();
    // The highest quality is lossless where the format has a lossless mode.
    EXPECT_EQ(PillowMaxDifference(outputs["image/webp"], outputs["image/png"]), 0);
    EXPECT_EQ(PillowMaxDifference(outputs["image/tiff"], outputs["image/png"]), 0);

    // The quality setting reaches the lossy encoder.
    const QString jpeg = QFile::decodeName(outputs["image/jpeg"]);
    const qint64 best = QFileInfo(jpeg).size();
    set(prefs::key::ImageQuality, qint64(0));
    runExport(*exporterForType("image/jpeg"));
    EXPECT_LT(QFileInfo(jpeg).size(), best);
}

TEST_F(MakeIcon, BackgroundShowsThroughTheIconsTransparentParts)
{
    const QByteArray item = itemShowing("Tool.desktop", test::TransparentCornersImage(64, QColor(250, 0, 0)));
    select({item});
    const QByteArray output = out("Tool.desktop.png");
    const QList<QPoint> cornerAndMiddle{{1, 1}, {32, 32}};
    const auto exportAndDescribe = [&] {
        runExport(*exporterFor("png"));
        return PillowDescribe(output, cornerAndMiddle);
    };
    EXPECT_EQ(exportAndDescribe(), "PNG 64x64 1,1=255,255,255,255 32,32=250,0,0,255");
    set(prefs::key::BackgroundColorRedComponent, 0.0);
    set(prefs::key::BackgroundColorGreenComponent, 0.0);
    set(prefs::key::BackgroundColorBlueComponent, 1.0);
    EXPECT_EQ(exportAndDescribe(), "PNG 64x64 1,1=0,0,255,255 32,32=250,0,0,255");
    set("alpha", 0.0);
    EXPECT_EQ(exportAndDescribe(), "PNG 64x64 1,1=0,0,0,0 32,32=250,0,0,255");
    // Half-transparent white, written un-premultiplied as the format wants.
    set(prefs::key::BackgroundColorRedComponent, 1.0);
    set(prefs::key::BackgroundColorGreenComponent, 1.0);
    set("alpha", 0.5);
    const QByteArray half = exportAndDescribe();
    EXPECT_TRUE(QRegularExpression("^PNG 64x64 1,1=25[45],25[45],25[45],12[78] 32,32=250,0,0,255$")
                    .match(QString::fromLatin1(half))
                    .hasMatch())
        << half.constData();
}

TEST_F(MakeIcon, IconThatCannotBeLoadedLeavesNoOutputAndOpensNothing)
{
    const QByteArray broken = writeFile("Broken.icns", "icns but not really an icon file");
    set(prefs::key::ImageICNS, true);
    set(prefs::key::OpenImageFileForMe, true);
    select({broken});
    runExport(*exporterFor("png"));
    EXPECT_FALSE(QFileInfo::exists(QFile::decodeName(out("Broken.icns.png"))));
    EXPECT_EQ(FolderEntries(work()), QStringList{"Broken.icns"});
    EXPECT_TRUE(context.lastOutputFile.isEmpty());
    EXPECT_EQ(desktop.standardOutput, "Pictomat: An error occurred loading the icon data.");
    EXPECT_TRUE(desktop.alerts.isEmpty());
    EXPECT_TRUE(desktop.opened.isEmpty());
    ASSERT_EQ(context.failedOutputs.size(), 1);
    EXPECT_EQ(context.failedOutputs.first().file, FileRef(out("Broken.icns.png")));
}

// In a long run, the alert of a failed item is what finds it: the window
// names the item and why, and the item's second alert tells of the same
// failure, for a shell to leave out.
TEST_F(MakeIcon, AlertsOfAFailedItemNameItAndWhy)
{
    const QByteArray first = pictureFile("first.png", test::SolidImage(32, Qt::red));
    const QByteArray text = writeFile("notes.txt", "just some text");
    const QByteArray last = pictureFile("last.png", test::SolidImage(32, Qt::blue));
    select({first, text, last});
    run(CommandId::MakeIconForMedia);
    ASSERT_EQ(desktop.alerts.size(), 2);
    EXPECT_EQ(desktop.alerts[0].message, "The icon family could not be created.");
    EXPECT_EQ(desktop.alerts[1].message, "The icon could not be obtained from the file.");
    for (const Desktop::Alert& alert : desktop.alerts) {
        EXPECT_EQ(alert.item, QFile::decodeName(text));
        EXPECT_EQ(alert.cause, "not a picture, movie or icon file that Pictomat reads");
    }
    EXPECT_FALSE(desktop.alerts[0].again);
    EXPECT_TRUE(desktop.alerts[1].again);
    EXPECT_EQ(AlertExplanation(desktop.alerts[0]),
              "Item: " + QFile::decodeName(text) + "\nReason: not a picture, movie or icon file that Pictomat reads");
    EXPECT_FALSE(test::PillowIcnsSizes(out("pictures/first.png.icns")).startsWith("error"));
    EXPECT_FALSE(test::PillowIcnsSizes(out("pictures/last.png.icns")).startsWith("error"));

    // With replacing switched off, the alert keeps its advice and names the
    // file in the way.
    desktop.alerts.clear();
    set(prefs::key::OverwriteFilesBySameName, false);
    select({first});
    run(CommandId::MakeIconForMedia);
    ASSERT_EQ(desktop.alerts.size(), 1);
    EXPECT_EQ(desktop.alerts[0].explanation, "Select the option to overwrite files by same name to avoid this issue.");
    EXPECT_TRUE(
        AlertExplanation(desktop.alerts[0]).contains(QFile::decodeName(out("pictures/first.png.icns")) + " is there"))
        << AlertExplanation(desktop.alerts[0]).toStdString();
}

TEST_F(MakeIcon, UnusableIconSizesLeaveNoOutput)
{
    const QByteArray item = writeFile("notes.txt", "words");
    select({item});
    // 16384 would be a gigabyte per bitmap: refused at once, like nonsense.
    for (qint64 size : {0, -5, 16384, 30000}) {
        desktop.standardOutput.clear();
        set(prefs::key::IconSize, size);
        runExport(*exporterFor("png"));
        EXPECT_EQ(FolderEntries(work()), QStringList{"notes.txt"}) << size;
        EXPECT_TRUE(context.lastOutputFile.isEmpty());
        EXPECT_EQ(desktop.standardOutput, "Pictomat: An error occurred loading the icon data.") << size;
    }
    EXPECT_TRUE(desktop.alerts.isEmpty());
}

// Writes that fail part-way (a full disk, a quota) are made here with the
// file-size limit, which fails every write beyond its first bytes.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit limited = m_old;
        limited.rlim_cur = bytes;
        m_ok = ::setrlimit(RLIMIT_FSIZE, &limited) == 0;
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    bool ok() const { return m_ok; }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
    bool m_ok = false;
};

TEST_F(MakeIcon, OutputIsCompleteOrAbsentWhenWritingFails)
{
    const QByteArray item = writeFile("notes.txt", "words");
    set(prefs::key::IconSize, qint64(256));
    select({item});
    {
        FileSizeLimit limit(64);
        ASSERT_TRUE(limit.ok());
        run(CommandId::MakeIconForFile);
        runExport(*exporterFor("png"));
    }
    EXPECT_EQ(FolderEntries(work()), QStringList{"notes.txt"});
    EXPECT_TRUE(context.lastOutputFile.isEmpty());
}

TEST_F(MakeIcon, ExportedImagesCarryTheirOwnPictureAsCustomIcon)
{
    if (!CustomIcons::metadataAvailable())
        SERVICE_MISSING() << "no GVfs metadata service on a session bus";
    const QByteArray red = itemShowing("Red.desktop", test::TransparentCornersImage(64, QColor(230, 20, 20)));
    const QByteArray blue = itemShowing("Blue.desktop", test::TransparentCornersImage(64, QColor(20, 20, 230)));
    set(prefs::key::AddCustomIcon, true);
    set(prefs::key::ImageQuality, qint64(5));
    select({red, blue});
    for (const QString type : {"image/png", "image/jpeg", "image/tiff", "image/webp", "image/bmp"}) {
        const std::optional<ExporterInfo> exporter = exporterForType(type);
        ASSERT_TRUE(exporter) << type.toStdString();
        runExport(*exporter);
        for (const QString name : {"Red.desktop.", "Blue.desktop."}) {
            const QByteArray output = out(name + exporter->extensionString);
            const QByteArray icon = gioCustomIcon(output);
            ASSERT_FALSE(icon.isEmpty()) << output.constData();
            const int difference = PillowMaxDifference(icon, output);
            EXPECT_GE(difference, 0) << output.constData();
            EXPECT_LE(difference, type == "image/jpeg" ? 8 : 0) << output.constData();
        }
    }
    EXPECT_TRUE(desktop.alerts.isEmpty()) << desktop.alertMessages().join('\n').toStdString();

    // A replaced output does not keep the icon of the file it replaced.
    set(prefs::key::AddCustomIcon, false);
    select({red});
    runExport(*exporterFor("png"));
    EXPECT_TRUE(gioCustomIcon(out("Red.desktop.png")).isEmpty());
}

TEST_F(MakeIcon, MediaIconOfAnIconsetFolderHoldsItsOwnPicturesAndABadOneIsReported)
{
    const QString folder = work() + "/App.iconset";
    QDir().mkpath(folder);
    const QMap<QString, QColor> pictures = {{"icon_16x16.png", Qt::red},
                                            {"icon_32x32.png", Qt::green},
                                            {"icon_128x128.png", Qt::blue},
                                            {"icon_128x128@2x.png", Qt::yellow}};
    for (auto it = pictures.begin(); it != pictures.end(); ++it) {
        const int size = it.key() == "icon_16x16.png"     ? 16
                         : it.key() == "icon_32x32.png"   ? 32
                         : it.key() == "icon_128x128.png" ? 128
                                                          : 256;
        ASSERT_TRUE(test::SolidImage(size, it.value()).save(folder + "/" + it.key(), "PNG"));
    }
    select({QFile::encodeName(folder)});
    run(CommandId::MakeIconForMedia);
    EXPECT_TRUE(desktop.alerts.isEmpty()) << desktop.alertMessages().join('|').toStdString();
    EXPECT_EQ(test::PillowIcnsSizes(out("App.iconset.icns")), "16x16@1 32x32@1 128x128@1 128x128@2");
    const std::optional<icns::IconFamily> family = icns::IconFamily::fromIcns(FileBytes(out("App.iconset.icns")));
    ASSERT_TRUE(family);
    for (const icns::IconFamily::Image& image : family->images()) {
        const QColor expected = image.scale == 2        ? Qt::yellow
                                : image.pixelSize == 16 ? Qt::red
                                : image.pixelSize == 32 ? Qt::green
                                                        : Qt::blue;
        EXPECT_EQ(QColor(image.image.pixel(image.image.width() / 2, image.image.height() / 2)), expected)
            << image.pixelSize << "@" << image.scale;
    }

    // A picture whose pixels do not match its name spoils the folder: the
    // command's messages, and the reason in the log.
    ASSERT_TRUE(test::SolidImage(30, Qt::red).save(folder + "/icon_32x32.png", "PNG"));
    desktop = test::RecordingDesktop();
    run(CommandId::MakeIconForMedia);
    EXPECT_EQ(desktop.alertMessages(),
              (QStringList{"The icon family could not be created.", "The icon could not be obtained from the file."}));
    EXPECT_TRUE(desktop.logLines.join('\n').contains("icon_32x32.png")) << desktop.logLines.join('\n').toStdString();
}

} // namespace
