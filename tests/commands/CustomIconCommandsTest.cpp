#include "commands/Command.h"
#include "CustomIconCommandsSupport.h"
#include "commands/Dispatcher.h"
#include "platform/CustomIcons.h"
#include "platform/IconProvider.h"
#include "prefs/PreferenceStore.h"
#include "prefs/Preferences.h"
#include "RecordingDesktop.h"
#include "TestEnv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <unistd.h>

using namespace pictomat;

namespace {

const QString kCannotSet = QStringLiteral("The files graphic image could not be copied to the file.");
const QString kCannotRemove = QStringLiteral("The custom icon could not be removed successfully.");

class CustomIconCommandsTest : public test::TestEnv {
protected:
    void SetUp() override
    {
        test::TestEnv::SetUp();
        if (!CustomIcons::metadataAvailable())
            SERVICE_MISSING() << "no GVfs metadata service on a session bus";
        // Whatever these say, the custom-icon commands open and reveal nothing.
        auto& store = preferences;
        store.setValue(QString::fromLatin1(prefs::key::OpenImageFolderForMe), true);
        store.setValue(QString::fromLatin1(prefs::key::OpenImageFileForMe), true);
        ASSERT_TRUE(store.synchronize());
        ASSERT_TRUE(test::WritePillowPictures(work()));
        red = QFile::encodeName(work() + "/left-red.png");
        quadrants = QFile::encodeName(work() + "/quadrants.bmp");
    }
    void run(CommandId id, const QVector<FileRef>& items)
    {
        CommandRequest request;
        request.command = FindCommand(id);
        request.items.count = qint32(items.size());
        request.items.items = items;
        Dispatch(context, request);
    }
    QByteArray iconOf(const QByteArray& item) { return test::GioCustomIcon(item, test::PinnedMetadataHome()); }

    // What the data folder holds besides the icon store: the default output
    // folder would appear here if anything had been opened or written.
    QStringList dataHomeEntries() const { return QDir(dataHome()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries); }

    test::RecordingDesktop desktop;
    prefs::PreferenceStore preferences{preferenceFile()};
    IconProvider icons;
    CommandContext context{desktop, preferences, icons};
    QByteArray red;
    QByteArray quadrants;
};

TEST_F(CustomIconCommandsTest, AddToMediaGivesEachPictureItsOwnImageAndPassesOverTheRest)
{
    const QByteArray text = writeFile("notes.txt", "plain text");
    const QByteArray fake = writeFile("fake.png", "text that only pretends to be a PNG");
    const QByteArray folder = QFile::encodeName(work() + "/album.png");
    ASSERT_TRUE(QDir().mkpath(QFile::decodeName(folder)));

    run(CommandId::AddCustomIconToMedia,
        {FileRef(red), FileRef(text), FileRef(quadrants), FileRef(folder), FileRef(fake)});

    EXPECT_TRUE(desktop.events.isEmpty()) << desktop.events.join('\n').toStdString();
    const QByteArray redIcon = iconOf(red);
    const QByteArray quadrantsIcon = iconOf(quadrants);
    ASSERT_FALSE(redIcon.isEmpty());
    ASSERT_FALSE(quadrantsIcon.isEmpty());
    EXPECT_NE(redIcon, quadrantsIcon);
    EXPECT_EQ(test::PillowCompare(redIcon, red), "PNG same");
    EXPECT_EQ(test::PillowCompare(quadrantsIcon, quadrants), "PNG same");
    EXPECT_TRUE(iconOf(text).isEmpty());
    EXPECT_TRUE(iconOf(fake).isEmpty());
    EXPECT_TRUE(iconOf(folder).isEmpty());
    EXPECT_FALSE(QFileInfo::exists(QFile::decodeName(folder) + "/.directory"));

    // No output file, no output folder, nothing opened or revealed.
    EXPECT_EQ(dataHomeEntries(), QStringList{QStringLiteral("pictomat")});
    EXPECT_EQ(QDir(work()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size(), 5);
    EXPECT_TRUE(context.lastOutputFile.isEmpty());
    EXPECT_EQ(context.currentItem, FileRef(fake)); // the loop went through every item
}

// A movie's picture is its poster frame (FFmpeg makes the movie, Pillow reads
// the icon back); a movie whose frames cannot be read gets the message.
TEST_F(CustomIconCommandsTest, AddToMediaGivesAMovieItsPosterFrame)
{
    const QString movie = work() + "/clip.mp4";
    const test::ProcessResult made = test::RunProcess(
        "ffmpeg", {"-v", "error", "-f", "lavfi", "-i", "color=c=red:s=64x48:d=1", "-pix_fmt", "yuv420p", movie});
    ASSERT_EQ(made.exitCode, 0) << made.err.toStdString();
    QFile whole(movie);
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    const QByteArray broken = writeFile("broken.mp4", whole.read(64));

    run(CommandId::AddCustomIconToMedia, {FileRef(QFile::encodeName(movie)), FileRef(broken)});
    EXPECT_EQ(desktop.alertMessages(), QStringList{kCannotSet});
    const QByteArray icon = iconOf(QFile::encodeName(movie));
    ASSERT_FALSE(icon.isEmpty());
    const test::ProcessResult read = test::RunPython(
        "import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1]).convert('RGB')\n"
        "r, g, b = im.getpixel((im.width // 2, im.height // 2))\nprint(im.size, r > 200 and g < 60 and b < 60)\n",
        {QFile::decodeName(icon)});
    EXPECT_EQ(read.out.trimmed(), "(64, 48) True") << read.err.toStdString();
    EXPECT_TRUE(iconOf(broken).isEmpty());
}

TEST_F(CustomIconCommandsTest, RemovePingsPerItemAndReportsTheOneThatFailsInOrder)
{
    const QByteArray text = writeFile("notes.txt", "no icon to remove, which is no failure");
    run(CommandId::AddCustomIconToMedia, {FileRef(red), FileRef(quadrants)});
    ASSERT_FALSE(iconOf(red).isEmpty());
    ASSERT_FALSE(iconOf(quadrants).isEmpty());

    run(CommandId::RemoveCustomIcon, {FileRef(red), FileRef(text), FileRef(quadrants)});
    EXPECT_EQ(desktop.events, QStringList({"sound:Ping", "sound:Ping", "sound:Ping"}));
    EXPECT_TRUE(iconOf(red).isEmpty());
    EXPECT_TRUE(iconOf(quadrants).isEmpty());

    // The second item fails: an entry that names nothing, then one whose
    // file is gone. The third is still worked on after the alert.
    for (const FileRef& bad : {FileRef(), FileRef(QFile::encodeName(work() + "/gone.png"))}) {
        run(CommandId::AddCustomIconToMedia, {FileRef(red), FileRef(quadrants)});
        desktop = test::RecordingDesktop();
        run(CommandId::RemoveCustomIcon, {FileRef(red), bad, FileRef(quadrants)});
        EXPECT_EQ(desktop.events,
                  QStringList({"sound:Ping", "alert:" + kCannotRemove, "log:" + kCannotRemove, "sound:Ping"}))
            << bad.path().constData();
        ASSERT_EQ(desktop.alerts.size(), 1);
        EXPECT_TRUE(desktop.alerts.first().explanation.isEmpty());
        EXPECT_TRUE(iconOf(red).isEmpty());
        EXPECT_TRUE(iconOf(quadrants).isEmpty());
    }
    EXPECT_EQ(dataHomeEntries(), QStringList{QStringLiteral("pictomat")});
    EXPECT_TRUE(context.lastOutputFile.isEmpty());
}

// The command line runs the same commands; here its metadata store is its own
// XDG_DATA_HOME, so `gio` reads with the same one.
TEST_F(CustomIconCommandsTest, CommandLineSetsAndRemovesThroughTheSameCommands)
{
    const QByteArray text = writeFile("notes.txt", "plain text");
    const test::ProcessResult set = test::RunPictomat(
        {"run", "add-media-icon", QFile::decodeName(red), QFile::decodeName(text), QFile::decodeName(quadrants)});
    EXPECT_EQ(set.exitCode, 0) << set.err.toStdString();
    EXPECT_TRUE(set.err.isEmpty()) << set.err.toStdString();
    const QByteArray redIcon = test::GioCustomIcon(red, dataHome());
    EXPECT_TRUE(redIcon.startsWith(QFile::encodeName(dataHome() + "/pictomat/icons/"))) << redIcon.constData();
    EXPECT_EQ(test::PillowCompare(redIcon, red), "PNG same");
    EXPECT_EQ(test::PillowCompare(test::GioCustomIcon(quadrants, dataHome()), quadrants), "PNG same");
    EXPECT_TRUE(test::GioCustomIcon(text, dataHome()).isEmpty());

    const test::ProcessResult removed =
        test::RunPictomat({"run", "remove-icon", QFile::decodeName(red), QFile::decodeName(quadrants)});
    EXPECT_EQ(removed.exitCode, 0) << removed.err.toStdString();
    EXPECT_TRUE(test::GioCustomIcon(red, dataHome()).isEmpty());
    EXPECT_TRUE(test::GioCustomIcon(quadrants, dataHome()).isEmpty());

    // A name that is not UTF-8 reaches the commands as the very same bytes.
    const QByteArray latin1 = QFile::encodeName(work()) + "/caf\xe9.png";
    {
        QFile source(QFile::decodeName(red));
        ASSERT_TRUE(source.open(QIODevice::ReadOnly));
        const QByteArray png = source.readAll();
        FILE* f = ::fopen(latin1.constData(), "wb");
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(::fwrite(png.constData(), 1, size_t(png.size()), f), size_t(png.size()));
        ::fclose(f);
    }
    auto runOnBytes = [&](const char* verb) {
        return test::RunPython(
            "import subprocess, sys\n"
            "r = subprocess.run([sys.argv[1], 'run', sys.argv[2], bytes.fromhex(sys.argv[3])], capture_output=True)\n"
            "sys.stderr.write(r.stderr.decode(errors='replace'))\n"
            "sys.exit(r.returncode)",
            {QStringLiteral(PICTOMAT_BINARY), QString::fromLatin1(verb), QString::fromLatin1(latin1.toHex())});
    };
    const test::ProcessResult setLatin1 = runOnBytes("add-media-icon");
    EXPECT_EQ(setLatin1.exitCode, 0) << setLatin1.err.toStdString();
    EXPECT_EQ(test::PillowCompare(test::GioCustomIcon(latin1, dataHome()), red), "PNG same");
    const test::ProcessResult removeLatin1 = runOnBytes("remove-icon");
    EXPECT_EQ(removeLatin1.exitCode, 0) << removeLatin1.err.toStdString();
    EXPECT_TRUE(test::GioCustomIcon(latin1, dataHome()).isEmpty());
    ::unlink(latin1.constData()); // Qt cannot clean up a name it cannot decode

    const test::ProcessResult missing = test::RunPictomat(
        {"run", "remove-icon", QFile::decodeName(red), work() + "/gone.png"}, {"PICTOMAT_LOG_STDERR=1"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.err.count("pictomat: " + QFile::encodeName(work()) + "/gone.png: " + kCannotRemove.toUtf8()
                                + " (there is no such file or folder)\n"),
              1)
        << missing.err.toStdString();
    EXPECT_EQ(missing.err.count("Pictomat[log]: " + kCannotRemove.toUtf8() + "\n"), 1) << missing.err.toStdString();
}

// With the session bus out of reach GIO has no metadata service: each picture
// is reported, the text file still passes silently, and nothing is stored.
TEST_F(CustomIconCommandsTest, CommandLineWithoutMetadataServiceReportsEachPicture)
{
    const QByteArray text = writeFile("notes.txt", "plain text");
    const QStringList noBus{"DBUS_SESSION_BUS_ADDRESS=unix:path=" + root() + "/no-bus", "GIO_USE_VFS", "DISPLAY",
                            "PICTOMAT_LOG_STDERR=1"};
    const test::ProcessResult r = test::RunPictomat(
        {"run", "add-media-icon", QFile::decodeName(red), QFile::decodeName(text), QFile::decodeName(quadrants)}, noBus,
        60000);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 1);
    // Each line names its picture and the missing service.
    const auto alert = [](const QByteArray& item) {
        return "pictomat: " + item + ": " + kCannotSet.toUtf8() + " (no metadata service (GVfs) on this session bus)\n";
    };
    const QByteArray log = "Pictomat[log]: " + kCannotSet.toUtf8() + "\n";
    EXPECT_EQ(r.err, alert(red) + log + alert(quadrants) + log);
    EXPECT_FALSE(QFileInfo::exists(dataHome() + "/pictomat/icons"));

    const test::ProcessResult removed = test::RunPictomat({"run", "remove-icon", QFile::decodeName(red)}, noBus, 60000);
    EXPECT_EQ(removed.exitCode, 1);
    EXPECT_EQ(removed.err, "pictomat: " + red + ": " + kCannotRemove.toUtf8()
                               + " (no metadata service (GVfs) on this session bus)\nPictomat[log]: "
                               + kCannotRemove.toUtf8() + "\n");
}

} // namespace
