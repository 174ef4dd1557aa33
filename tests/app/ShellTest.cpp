// Pictomat from a terminal, read as a shell user reads it: standard output,
// standard error and the exit status of the built program, the files it
// writes through Pillow, the programs it starts through a recording
// xdg-open, and its completion through bash itself.

#include "TestEnv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QThread>
#include <QUrl>

namespace pictomat::test {
namespace {

class Shell : public TestEnv {
protected:
    void SetUp() override
    {
        TestEnv::SetUp();
        // No file manager on the bus: a reveal goes through xdg-open too.
        m_environment = {recordingOpenerPath(), "DISPLAY", "WAYLAND_DISPLAY",
                         "DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent"};
        // No custom icons: the test session need not have a metadata service.
        ASSERT_EQ(RunPictomat({"defaults", "write", "AddCustomIcon", "-bool", "false"}).exitCode, 0);
    }
    ProcessResult pictomat(const QStringList& arguments) const { return RunPictomat(arguments, m_environment); }
    QString picture(const QString& name, QColor colour = Qt::red, int edge = 64)
    {
        QImage image(edge, edge, QImage::Format_ARGB32);
        image.fill(colour);
        return QFile::decodeName(writeFile(name, PngBytes(image)));
    }
    // What Pillow makes of a file: its format and size, or the error.
    static QByteArray pillow(const QString& path)
    {
        const ProcessResult r = RunPython(
            "import sys\nfrom PIL import Image\n"
            "try:\n    im = Image.open(sys.argv[1]); im.load()\n"
            "    print(im.format, '%dx%d' % im.size)\n"
            "except Exception as e:\n    print('error', e)\n",
            {path});
        return r.out.trimmed();
    }

    QStringList m_environment;
};

TEST_F(Shell, RunPrintsItsOutputsOpensNothingUnlessAskedAndTakesAFolderForOneRun)
{
    const QString red = picture("red.png");
    const QString blue = picture("blue.png", Qt::blue);
    const QString folder = root() + "/chosen";
    QDir().mkpath(folder);

    ProcessResult r = pictomat({"run", "--output", folder, "make-media-icon", red, blue});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, (folder + "/red.png.icns\n" + folder + "/blue.png.icns\n").toUtf8());
    EXPECT_TRUE(pillow(folder + "/red.png.icns").startsWith("ICNS ")) << pillow(folder + "/red.png.icns").constData();
    EXPECT_TRUE(pillow(folder + "/blue.png.icns").startsWith("ICNS "));
    // The folder was this run's only: the settings still name none.
    EXPECT_EQ(pictomat({"defaults", "read", "ImageFolderPathname"}).out, "");
    EXPECT_EQ(pictomat({"defaults", "read", "UseItemsFolder"}).out, "");
    // Nothing was opened although both "open" settings are on.
    EXPECT_FALSE(QFile::exists(openedLog()));

    // Asked to open: the output and its folder, for a run into the default
    // folder; "jpeg" is "jpg".
    r = pictomat({"run", "--open", "--reveal", "export", "jpeg", red});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    const QString jpeg = dataHome() + "/Corvane Software/Pictomat/red.png.jpg";
    EXPECT_EQ(r.out, (jpeg + "\n").toUtf8());
    EXPECT_EQ(pillow(jpeg), "JPEG 128x128");
    const QStringList launched = opened();
    EXPECT_TRUE(launched.contains(QUrl::fromLocalFile(jpeg).toString(QUrl::FullyEncoded)))
        << launched.join(' ').toStdString();
    EXPECT_EQ(launched.size(), 2) << launched.join(' ').toStdString();

    // --quiet says nothing, and still makes the output.
    r = pictomat({"run", "--quiet", "--output", folder, "export", "tiff", blue});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(pillow(folder + "/blue.png.tif"), "TIFF 128x128");
}

TEST_F(Shell, EachFailedItemIsOneLineWithTheFileAndTheCause)
{
    const QString good = picture("good.png");
    const QString text = QFile::decodeName(writeFile("notes.txt", "just text"));
    const QString missing = work() + "/missing.png";
    // An icon file cut short: its header, and its last element, say more
    // bytes than it has.
    const QString whole = work() + "/whole.icns";
    ASSERT_EQ(pictomat({"icns", "create", whole, picture("p32.png", Qt::green, 32), good}).exitCode, 0);
    QFile in(whole);
    ASSERT_TRUE(in.open(QIODevice::ReadOnly));
    const QByteArray bytes = in.readAll();
    const QString cut = QFile::decodeName(writeFile("cut.icns", bytes.left(bytes.size() - 40)));

    const QString folder = root() + "/out";
    QDir().mkpath(folder);
    ProcessResult r = pictomat({"run", "--output", folder, "make-media-icon", text, good, missing, cut});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, (folder + "/good.png.icns\n").toUtf8());
    const QStringList lines = QString::fromUtf8(r.err).split('\n', Qt::SkipEmptyParts);
    EXPECT_EQ(lines,
              (QStringList{"pictomat: " + text
                               + ": The icon family could not be created. (not a picture, movie or icon file that "
                                 "Pictomat reads)",
                           "pictomat: " + missing
                               + ": An icon for the file could not be found. (there is no such file or folder)",
                           "pictomat: " + cut + ": The icon family could not be created. (the file is damaged)"}))
        << r.err.constData();
    EXPECT_FALSE(QFile::exists(folder + "/cut.icns.icns"));
    EXPECT_FALSE(QFile::exists(folder + "/notes.txt.icns"));

    // A web location whose name is not UTF-8 is read like any other: its
    // address (where nothing answers) is what fails, named by its bytes.
    const QByteArray latin1 = QFile::encodeName(work()) + "/caf\xe9.url";
    r = RunPython(
        "import os, sys\n"
        "name = os.fsencode(sys.argv[2]) + b'/caf\\xe9.url'\n"
        "open(name, 'wb').write(b'[InternetShortcut]\\nURL=http://127.0.0.1:1/\\n')\n"
        "os.execv(sys.argv[1], [sys.argv[1], 'run', 'add-shortcut-icon', name])\n",
        {QStringLiteral(PICTOMAT_BINARY), work()});
    EXPECT_EQ(r.exitCode, 1);
    // Shown, never used: the byte that is not UTF-8 shows as U+FFFD.
    EXPECT_TRUE(r.err.startsWith("pictomat: " + QFile::encodeName(work())
                                 + "/caf\xef\xbf\xbd.url: The web page could not be downloaded. ("))
        << r.err.constData();
    ::unlink(latin1.constData());

    // The icon tool reads what it can of the damaged file and fails.
    r = pictomat({"icns", "list", cut});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(cut.toUtf8() + ": the file is damaged")) << r.err.constData();
    EXPECT_EQ(pictomat({"icns", "list", whole}).exitCode, 0);
}

TEST_F(Shell, HelpVersionAndMistakesAreAnsweredAsShellsExpect)
{
    // --help after any command is that command's usage, on standard output.
    for (const QStringList& args :
         {QStringList{"run", "--help"}, QStringList{"run", "export", "--help"}, QStringList{"icns", "--help"},
          QStringList{"ico", "extract", "-h"}, QStringList{"iconset", "--help"}, QStringList{"hicolor", "--help"},
          QStringList{"integrate", "--help"}, QStringList{"defaults", "--help"}, QStringList{"select", "--help"},
          QStringList{"autostart", "--help"}}) {
        const ProcessResult r = pictomat(args);
        EXPECT_EQ(r.exitCode, 0) << args.join(' ').toStdString() << r.err.constData();
        EXPECT_TRUE(r.out.startsWith("Usage: pictomat " + args.first().toUtf8())
                    || r.out.startsWith("usage: pictomat " + args.first().toUtf8()))
            << r.out.constData();
        EXPECT_EQ(r.err, "") << args.join(' ').toStdString();
    }
    EXPECT_FALSE(QFile::exists(root() + "/config/autostart"));
    ProcessResult r = pictomat({"run", "--help"});
    for (const char* verb : {"make-icon", "make-media-icon-set", "export EXT", "set-icon-size SIZE", "remove-icon"})
        EXPECT_TRUE(r.out.contains(verb)) << verb;
    r = pictomat({"--help"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.out.contains("add-shortcut-icon")) << r.out.constData();
    r = pictomat({"--version"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.out.startsWith("pictomat ")) << r.out.constData();

    // A mistake is one line, and where to find help.
    const QString red = picture("red.png");
    for (const QStringList& args :
         {QStringList{"explode"}, QStringList{"run", "explode", red}, QStringList{"run", "--loud", "make-icon", red},
          QStringList{"run", "--output", root() + "/nowhere", "make-icon", red},
          QStringList{"-alpha", "2", "run", "make-icon", red}, QStringList{"-alpha", "half", "run", "make-icon", red},
          QStringList{"-alpha", "nan", "run", "make-icon", red}}) {
        r = pictomat(args);
        EXPECT_EQ(r.exitCode, 2) << args.join(' ').toStdString();
        const QStringList lines = QString::fromUtf8(r.err).split('\n', Qt::SkipEmptyParts);
        ASSERT_EQ(lines.size(), 2) << r.err.constData();
        EXPECT_TRUE(lines[0].startsWith("pictomat: ")) << r.err.constData();
        EXPECT_TRUE(lines[1] == "Try 'pictomat --help'." || lines[1] == "Try 'pictomat run --help'.")
            << r.err.constData();
        EXPECT_EQ(r.out, "");
    }
    EXPECT_FALSE(QFile::exists(dataHome() + "/Corvane Software"));
    r = pictomat({"-alpha", "0.5", "run", "--quiet", "export", "png", red});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
}

TEST_F(Shell, WithoutADisplayOrAFileTheProgramSaysSoInOneLine)
{
    const ProcessResult prefs = RunPictomat({"preferences"}, m_environment + QStringList{"QT_QPA_PLATFORM"});
    EXPECT_EQ(prefs.exitCode, 1);
    EXPECT_EQ(QString::fromUtf8(prefs.err).count('\n'), 1) << prefs.err.constData();
    EXPECT_TRUE(prefs.err.contains("no display can be reached")) << prefs.err.constData();

    const QString there = picture("there.png");
    const QString missing = work() + "/not-there.png";
    ProcessResult r = pictomat({"select", there, missing});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, ("pictomat: " + missing + ": there is no such file or folder\n").toUtf8());
    r = pictomat({"select", there});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(r.err, "");
}

// What bash offers, with the bash-completion package's helpers and without.
TEST_F(Shell, CompletionOffersCommandsAfterRunOptionsWithOrWithoutBashCompletion)
{
    const QString script = QStringLiteral(PICTOMAT_SOURCE_DIR) + "/data/desktop/pictomat.bash-completion";
    const QString helpers = "/usr/share/bash-completion/bash_completion";
    if (!QFile::exists(helpers))
        SERVICE_MISSING() << "bash-completion is not installed";
    picture("a.png");
    const auto complete = [&](bool withHelpers, const QString& line) {
        const QString program = QStringLiteral(
                                    "%1source '%2'\ncd '%3'\nCOMP_LINE='%4'\nread -ra COMP_WORDS <<< \"$COMP_LINE\"\n"
                                    "[[ $COMP_LINE == *' ' ]] && COMP_WORDS+=('')\n"
                                    "COMP_CWORD=$((${#COMP_WORDS[@]} - 1))\nCOMP_POINT=${#COMP_LINE}\n"
                                    "_pictomat pictomat\nprintf '%s\\n' \"${COMPREPLY[@]}\" | sort\n")
                                    .arg(withHelpers ? "source " + helpers + "\n" : QString(), script, work(), line);
        const QString bin = QFileInfo(QStringLiteral(PICTOMAT_BINARY)).path();
        return RunProcess("/bin/bash", {"-c", program}, {"PATH=" + bin + ":" + qEnvironmentVariable("PATH")}).out;
    };
    for (const bool withHelpers : {true, false}) {
        const QByteArray afterTray = complete(withHelpers, "pictomat run --tray make-media-");
        EXPECT_EQ(afterTray, "make-media-app-icons\nmake-media-ico\nmake-media-icon\nmake-media-icon-set\n")
            << withHelpers;
        EXPECT_EQ(complete(withHelpers, "pictomat run --output /tmp --quiet remove"), "remove-icon\n") << withHelpers;
        EXPECT_EQ(complete(withHelpers, "pictomat run --tray make-icon "), "a.png\n") << withHelpers;
        EXPECT_EQ(complete(withHelpers, "pictomat run --re"), "--reveal\n") << withHelpers;
        EXPECT_TRUE(complete(withHelpers, "pictomat run export t").contains("tif\n")) << withHelpers;
    }
}

} // namespace
} // namespace pictomat::test
