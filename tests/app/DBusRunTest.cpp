// Run over D-Bus, called as another program calls it (gdbus, from its own
// process) on the running tray program: the same commands and messages as the
// menu and the command line, garbage refused with a D-Bus error, and the
// interface file installed with the program describing what really answers.

#include "DesktopSession.h"

#include "files/FileRef.h"

#include <QDomDocument>
#include <QFile>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QThread>

namespace pictomat::test {
namespace {

class DBusRunTest : public DesktopSession {
protected:
    void SetUp() override
    {
        DesktopSession::SetUp();
        if (HasFatalFailure() || IsSkipped())
            return;
        for (const QStringList& setting :
             {QStringList{"UseItemsFolder", "-bool", "true"}, QStringList{"OpenImageFolderForMe", "-bool", "false"},
              QStringList{"OpenImageFileForMe", "-bool", "false"}, QStringList{"AddCustomIcon", "-bool", "false"}})
            ASSERT_EQ(RunPictomat(QStringList{"defaults", "write"} + setting).exitCode, 0);
        startOwned(m_tray, QStringLiteral(PICTOMAT_BINARY));
        ASSERT_TRUE(waitUntil([&] { return nameHasOwner(QStringLiteral("com.corvane.Pictomat")); }, 15000));
    }

    ProcessResult run(const QStringList& arguments)
    {
        return gdbusCall(QStringLiteral("com.corvane.Pictomat"), QStringLiteral("/com/corvane/Pictomat"),
                         QStringLiteral("com.corvane.Pictomat.Run"), arguments);
    }
    static QString uri(const QByteArray& path) { return QString::fromLatin1(FileRef(path).uri()); }

    OwnedProcess m_tray;
};

// "name(in types)->(out types)" for every method of our interface, and
// "signal name(types)" for every signal.
QStringList methodSignatures(const QByteArray& xml)
{
    QDomDocument document;
    if (!document.setContent(xml))
        return {QStringLiteral("unparsable")};
    QStringList methods;
    const QDomNodeList interfaces = document.elementsByTagName(QStringLiteral("interface"));
    for (int i = 0; i < interfaces.size(); ++i) {
        const QDomElement interface = interfaces.at(i).toElement();
        if (interface.attribute(QStringLiteral("name")) != QLatin1String("com.corvane.Pictomat"))
            continue;
        for (QDomElement m = interface.firstChildElement(QStringLiteral("method")); !m.isNull();
             m = m.nextSiblingElement(QStringLiteral("method"))) {
            QString in, out;
            for (QDomElement a = m.firstChildElement(QStringLiteral("arg")); !a.isNull();
                 a = a.nextSiblingElement(QStringLiteral("arg")))
                (a.attribute(QStringLiteral("direction")) == QLatin1String("out") ? out : in) +=
                    a.attribute(QStringLiteral("type"));
            methods << QStringLiteral("%1(%2)->(%3)").arg(m.attribute(QStringLiteral("name")), in, out);
        }
        for (QDomElement m = interface.firstChildElement(QStringLiteral("signal")); !m.isNull();
             m = m.nextSiblingElement(QStringLiteral("signal"))) {
            QString types;
            for (QDomElement a = m.firstChildElement(QStringLiteral("arg")); !a.isNull();
                 a = a.nextSiblingElement(QStringLiteral("arg")))
                types += a.attribute(QStringLiteral("type"));
            methods << QStringLiteral("signal %1(%2)").arg(m.attribute(QStringLiteral("name")), types);
        }
    }
    methods.sort();
    return methods;
}

TEST_F(DBusRunTest, RunsEveryKindOfCommandWithTheSameMessagesAndRefusesGarbage)
{
    const QByteArray notes = writeFile("notes.txt", "plain text");
    const QByteArray other = writeFile("other.txt", "more text");

    // A command that works answers 0 and no message, with its outputs made.
    ProcessResult r = run({"make-icon", QStringLiteral("['%1', '%2']").arg(uri(notes), uri(other)), "{}"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out.trimmed(), "(0, @as [])");
    EXPECT_TRUE(QFileInfo(work() + "/notes.txt.icns").size() > 0);
    EXPECT_TRUE(QFileInfo(work() + "/other.txt.icns").size() > 0);

    // Operands and options travel typed; alpha counts for this command only.
    r = run({"export", QStringLiteral("['%1']").arg(uri(notes)), "{'extension': <'png'>, 'alpha': <0.0>}"});
    EXPECT_EQ(r.out.trimmed(), "(0, @as [])") << r.err.toStdString();
    const QImage exported(work() + "/notes.txt.png");
    ASSERT_FALSE(exported.isNull());
    EXPECT_EQ(qAlpha(exported.pixel(0, 0)), 0);
    r = run({"set-icon-size", "[]", "{'size': <256>}"});
    EXPECT_EQ(r.out.trimmed(), "(0, @as [])") << r.err.toStdString();
    EXPECT_TRUE(RunPictomat({"defaults", "read", "IconSize"}).out.contains("256"));

    // A build script picks the app icons' platforms and the macOS shape.
    const QByteArray logo = writeFile("logo.svg", R"(<svg xmlns="http://www.w3.org/2000/svg" width="64" height="64">)"
                                                  R"(<rect width="64" height="64" fill="#c33"/></svg>)");
    r = run({"make-media-app-icons", QStringLiteral("['%1']").arg(uri(logo)),
             "{'platforms': <'macos,web'>, 'macos-shape': <true>}"});
    EXPECT_EQ(r.out.trimmed(), "(0, @as [])") << r.err.toStdString();
    EXPECT_EQ(QDir(work() + "/logo.svg-app-icons").entryList(QDir::Dirs | QDir::NoDotAndDotDot),
              (QStringList{"macos", "web"}));
    EXPECT_EQ(qAlpha(QImage(work() + "/logo.svg-app-icons/macos/logo.iconset/icon_512x512@2x.png").pixel(0, 0)), 0);

    // Failures come back as the alerts the menu shows, in order, and a name
    // that names nothing gets its command's own message.
    r = run(
        {"make-media-icon", QStringLiteral("['%1', '%2']").arg(uri(notes), uri(work().toUtf8() + "/gone.png")), "{}"});
    EXPECT_EQ(r.out.trimmed(),
              "(1, ['" + notes + ": The icon family could not be created. (not a picture, movie or icon file that "
                  "Pictomat reads)', '" + work().toUtf8() + "/gone.png: An icon for the file could not be found. "
                  "(there is no such file or folder)'])")
        << r.out.toStdString() << r.err.toStdString();

    // An output that could not be written fails the call without an alert,
    // and the answer names it.
    ASSERT_EQ(RunPictomat({"defaults", "write", "IconSize", "-int", "0"}).exitCode, 0);
    r = run({"export", QStringLiteral("['%1']").arg(uri(other)), "{'extension': <'png'>}"});
    EXPECT_EQ(r.out.trimmed(), QStringLiteral("(1, ['%1/other.txt.png could not be written: no image is drawn "
                                              "at 0 pixels; icons are drawn from 1 to 4096'])")
                                   .arg(work())
                                   .toUtf8())
        << r.err.toStdString();

    // Garbage gets a D-Bus error and runs nothing; the program lives on.
    const QList<QStringList> garbage = {
        {"no-such-command", "[]", "{}"},
        {"export", QStringLiteral("['%1']").arg(uri(notes)), "{}"},
        {"export", QStringLiteral("['%1']").arg(uri(notes)), "{'extension': <'nosuchformat'>}"},
        {"make-icon", QStringLiteral("['%1']").arg(uri(notes)), "{'extension': <'png'>}"},
        {"make-icon", QStringLiteral("['%1']").arg(uri(notes)), "{'size': <'large'>}"},
        {"make-icon", QStringLiteral("['%1']").arg(uri(notes)), "{'colour': <1>}"},
        {"make-icon", "['http://example.com/x.png']", "{}"},
        {"make-icon", "['relative/path']", "{}"},
        {"make-icon", "[]", "{}"},
        {"set-icon-size", "[]", "{'size': <100000>}"},
        {"make-media-app-icons", QStringLiteral("['%1']").arg(uri(notes)), "{'platforms': <'macos,amiga'>}"},
        {"make-icon", QStringLiteral("['%1']").arg(uri(notes)), "{'macos-shape': <true>}"},
    };
    for (const QStringList& arguments : garbage) {
        r = run(arguments);
        EXPECT_NE(r.exitCode, 0) << arguments.join(' ').toStdString() << " answered " << r.out.toStdString();
        EXPECT_TRUE(r.err.contains("org.freedesktop.DBus.Error.InvalidArgs")) << r.err.toStdString();
    }
    // Arguments of the wrong types, sent without the checks gdbus makes first.
    for (const QStringList& arguments : {QStringList{"int32:5"}, QStringList{"string:make-icon"},
                                         QStringList{"string:make-icon", "array:string:a", "string:x"}}) {
        r = RunProcess(QStringLiteral("dbus-send"),
                       QStringList{"--session", "--print-reply", "--dest=com.corvane.Pictomat", "/com/corvane/Pictomat",
                                   "com.corvane.Pictomat.Run"}
                           + arguments,
                       m_environment);
        EXPECT_NE(r.exitCode, 0) << arguments.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains("org.freedesktop.DBus.Error")) << r.err.toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(work() + "/notes.txt.nosuchformat"));
    r = run({"make-icon", QStringLiteral("['%1']").arg(uri(other)), "{}"});
    EXPECT_EQ(r.out.trimmed(), "(0, @as [])") << r.err.toStdString();

    // The interface file says what the running program answers.
    const ProcessResult live = RunProcess(QStringLiteral("gdbus"),
                                          {"introspect", "--session", "--xml", "--dest", "com.corvane.Pictomat",
                                           "--object-path", "/com/corvane/Pictomat"},
                                          m_environment);
    QFile documented(QStringLiteral(PICTOMAT_SOURCE_DIR "/data/dbus/com.corvane.Pictomat.xml"));
    ASSERT_TRUE(documented.open(QIODevice::ReadOnly));
    const QStringList expected = methodSignatures(documented.readAll());
    EXPECT_EQ(expected, (QStringList{"Quit()->()", "Run(sasa{sv})->(ias)", "SetSelection(as)->()", "ShowMenu()->()",
                                     "ShowPreferences()->()", "signal Progress(siis)"}));
    EXPECT_EQ(methodSignatures(live.out), expected) << live.out.toStdString();
}

// A file-manager entry ("pictomat run --tray") runs its command in the tray
// on exactly the files it names, whatever was handed over before, and the
// tray shows its alerts as for a command chosen from its menu.
TEST_F(DBusRunTest, AFileManagerEntryRunsInTheTrayOnExactlyItsFilesAndTheTrayShowsItsAlerts)
{
    const QByteArray notes = writeFile("notes.txt", "plain text");
    const QByteArray other = writeFile("other.txt", "handed over earlier");
    ASSERT_EQ(RunPictomat({"select", QFile::decodeName(other)}, m_environment).exitCode, 0);
    ProcessResult r = RunPictomat({"run", "--tray", "export", "png", "--", QFile::decodeName(notes)}, m_environment);
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_FALSE(QImage(work() + "/notes.txt.png").isNull());
    EXPECT_FALSE(QFileInfo::exists(work() + "/other.txt.png"));

    // The alert is the tray's own window; the entry ends once it is answered,
    // with the command's status and its message.
    QProcess entry;
    QProcessEnvironment env = environment();
    entry.setProcessEnvironment(env);
    entry.start(QStringLiteral(PICTOMAT_BINARY), {"run", "--tray", "make-media-icon", "--", QFile::decodeName(notes)});
    ASSERT_TRUE(entry.waitForStarted(5000));
    // Each alert is answered as a user answers it; the entry waits meanwhile.
    int answered = 0;
    const bool ended = waitUntil(
        [&] {
            if (entry.waitForFinished(100))
                return true;
            const ProcessResult found = RunProcess(QStringLiteral("xdotool"),
                                                   {"search", "--onlyvisible", "--name", "^Pictomat$"}, m_environment);
            const QString alert = QString::fromUtf8(found.out).section('\n', 0, 0);
            if (!alert.isEmpty()) {
                RunProcess(QStringLiteral("xdotool"), {"windowfocus", "--sync", alert}, m_environment);
                RunProcess(QStringLiteral("xdotool"), {"key", "--window", alert, "Return"}, m_environment);
                // The alert closes on the press, and xdotool fails on the
                // release: the X server would then repeat Return into the
                // next window that takes the keyboard (another test's menu).
                RunProcess(QStringLiteral("xdotool"), {"keyup", "Return"}, m_environment);
                ++answered;
                QThread::msleep(300);
            }
            return false;
        },
        20000);
    ASSERT_TRUE(ended);
    EXPECT_GE(answered, 1);
    EXPECT_EQ(entry.exitCode(), 1);
    EXPECT_EQ(entry.readAllStandardError(),
              "pictomat: " + notes + ": The icon family could not be created. (not a picture, movie or icon file that "
                  "Pictomat reads)\n");
}

} // namespace
} // namespace pictomat::test
