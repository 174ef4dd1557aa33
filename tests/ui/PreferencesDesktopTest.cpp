// The preferences window as the desktop sees it: its X11 properties read with
// xprop, keys pressed with xdotool, the stored result read with Python's
// plistlib, and what a screen reader hears read through AT-SPI.

#include "../app/DesktopSession.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <gtest/gtest.h>

using namespace pictomat::test;

namespace {

const QString kTitle = QStringLiteral("Pictomat Preferences");

class PreferencesDesktopTest : public DesktopSession {
protected:
    // The preferences windows a process shows, by X window id.
    QStringList windowsOf(qint64 pid)
    {
        const ProcessResult r =
            RunProcess(QStringLiteral("xdotool"), {"search", "--onlyvisible", "--pid", QString::number(pid), "--name",
                                                   QStringLiteral("^%1$").arg(kTitle)});
        return QString::fromUtf8(r.out).split('\n', Qt::SkipEmptyParts);
    }
    QString waitForWindow(qint64 pid)
    {
        QStringList windows;
        waitUntil([&] { return !(windows = windowsOf(pid)).isEmpty(); }, 15000);
        return windows.value(0);
    }
    void openPreferences(OwnedProcess& owned, QString& window)
    {
        startOwned(owned, QStringLiteral(PICTOMAT_BINARY), {QStringLiteral("preferences")});
        window = waitForWindow(owned.process.processId());
        ASSERT_FALSE(window.isEmpty()) << "no preferences window appeared";
    }
    // Keys typed into the window by the X server's test extension, as from
    // a keyboard.
    void press(const QString& window, const QStringList& keys)
    {
        ASSERT_EQ(RunProcess(QStringLiteral("xdotool"), {"windowfocus", "--sync", window}).exitCode, 0);
        ASSERT_EQ(RunProcess(QStringLiteral("xdotool"), QStringList{"key", "--clearmodifiers"} + keys).exitCode, 0);
    }
    void typeText(const QString& text) { ASSERT_EQ(RunProcess(QStringLiteral("xdotool"), {"type", text}).exitCode, 0); }
    // The stored value of a key as Python's plistlib reads it, as repr().
    QString stored(const QString& key)
    {
        const ProcessResult r = RunPython(
            "import plistlib,sys,os\n"
            "p = sys.argv[1]\n"
            "print(repr(plistlib.load(open(p, 'rb')).get(sys.argv[2])) if os.path.exists(p) else 'None')\n",
            {preferenceFile(), key});
        return QString::fromUtf8(r.out).trimmed();
    }
    bool endsCleanly(OwnedProcess& owned)
    {
        return owned.process.waitForFinished(10000) && owned.process.exitStatus() == QProcess::NormalExit
               && owned.process.exitCode() == 0;
    }
};

TEST_F(PreferencesDesktopTest, TheWindowBelongsToTheDesktopFileAndIsWorkedFromTheKeyboard)
{
    OwnedProcess preferences;
    QString window;
    ASSERT_NO_FATAL_FAILURE(openPreferences(preferences, window));

    // GNOME Shell finds the desktop file by the GTK application id, KDE by
    // its own property; taskbars and Alt-Tab draw the icon the window carries.
    const QString properties =
        QString::fromUtf8(RunProcess(QStringLiteral("xprop"),
                                     {"-id", window, "_GTK_APPLICATION_ID", "_KDE_NET_WM_DESKTOP_FILE", "WM_CLASS"})
                              .out);
    EXPECT_TRUE(properties.contains("_GTK_APPLICATION_ID(UTF8_STRING) = \"com.corvane.Pictomat\""))
        << properties.toStdString();
    EXPECT_TRUE(properties.contains("_KDE_NET_WM_DESKTOP_FILE(UTF8_STRING) = \"com.corvane.Pictomat\""))
        << properties.toStdString();
    const QString icon = QString::fromUtf8(
        RunProcess(QStringLiteral("xprop"), {"-notype", "-id", window, "32c", "_NET_WM_ICON"}).out.left(200));
    const QRegularExpressionMatch size =
        QRegularExpression(QStringLiteral(R"(_NET_WM_ICON = (\d+), (\d+),)")).match(icon);
    ASSERT_TRUE(size.hasMatch()) << icon.toStdString();
    EXPECT_GE(size.captured(1).toInt(), 16);
    EXPECT_EQ(size.captured(1), size.captured(2));
    const QString pixels = icon.mid(size.capturedEnd());
    EXPECT_TRUE(QRegularExpression(QStringLiteral(R"([1-9])")).match(pixels).hasMatch())
        << "the icon is blank: " << icon.toStdString();

    // Access keys reach a check box and the size field; the field takes the
    // largest size the command line takes.
    press(window, {"alt+s"});
    EXPECT_TRUE(waitUntil([&] { return stored("UseItemsFolder") == "True"; }, 5000))
        << stored("UseItemsFolder").toStdString();
    press(window, {"alt+x", "ctrl+a"});
    typeText("1024");
    press(window, {"Return"});
    EXPECT_TRUE(waitUntil([&] { return stored("IconSize") == "1024"; }, 5000)) << stored("IconSize").toStdString();

    // Escape closes the window, and so does Ctrl+W; closing ends the command.
    press(window, {"Escape"});
    EXPECT_TRUE(endsCleanly(preferences));
    OwnedProcess again;
    ASSERT_NO_FATAL_FAILURE(openPreferences(again, window));
    press(window, {"ctrl+w"});
    EXPECT_TRUE(endsCleanly(again));
}

TEST_F(PreferencesDesktopTest, EveryOpeningRaisesTheOneWindow)
{
    // Without a tray program, the first "pictomat preferences" shows the
    // window and a second one raises it and ends.
    {
        OwnedProcess first;
        QString window;
        ASSERT_NO_FATAL_FAILURE(openPreferences(first, window));
        const ProcessResult second = RunPictomat({"preferences"}, m_environment, 15000);
        EXPECT_EQ(second.exitCode, 0) << second.err.constData();
        EXPECT_EQ(windowsOf(first.process.processId()), QStringList{window});
        press(window, {"Escape"});
        EXPECT_TRUE(endsCleanly(first));
    }

    // With one running, the tray program's window it is, however often asked.
    OwnedProcess tray;
    startOwned(tray, QStringLiteral(PICTOMAT_BINARY));
    ASSERT_TRUE(waitUntil([&] { return nameHasOwner(QStringLiteral("com.corvane.Pictomat")); }, 10000));
    for (int opening = 0; opening < 2; ++opening) {
        const ProcessResult r = RunPictomat({"preferences"}, m_environment, 15000);
        EXPECT_EQ(r.exitCode, 0) << r.err.constData();
        const QString window = waitForWindow(tray.process.processId());
        EXPECT_FALSE(window.isEmpty()) << "opening " << opening;
        EXPECT_EQ(windowsOf(tray.process.processId()).size(), 1) << "opening " << opening;
    }
}

TEST_F(PreferencesDesktopTest, AScreenReaderHearsWhatEveryControlIsAndDoes)
{
    // The accessibility bus of this session. Without DISPLAY it leaves the X
    // server's root window alone, which other tests' programs share.
    OwnedProcess a11yBus;
    QProcessEnvironment launcher = environment();
    launcher.remove(QStringLiteral("DISPLAY"));
    a11yBus.process.setProcessEnvironment(launcher);
    a11yBus.process.start(QStringLiteral("/usr/libexec/at-spi-bus-launcher"), {QStringLiteral("--launch-immediately")});
    if (!a11yBus.process.waitForStarted(5000))
        SERVICE_MISSING() << "at-spi-bus-launcher (at-spi2-core)";
    ASSERT_TRUE(waitUntil([&] { return nameHasOwner(QStringLiteral("org.a11y.Bus")); }, 10000));

    OwnedProcess preferences;
    QProcessEnvironment env = environment();
    env.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
    preferences.process.setProcessEnvironment(env);
    preferences.process.start(QStringLiteral(PICTOMAT_BINARY), {QStringLiteral("preferences")});
    ASSERT_TRUE(preferences.process.waitForStarted(5000));

    const auto readControls = [&] {
        return RunProcess(QStringLiteral("/usr/bin/python3"),
                          {QStringLiteral(PICTOMAT_SOURCE_DIR "/tests/ui/accessible-controls.py"), kTitle,
                           QString::number(preferences.process.processId())},
                          m_environment + QStringList{QStringLiteral("DISPLAY")}, 60000);
    };
    const ProcessResult read = readControls();
    ASSERT_EQ(read.exitCode, 0) << read.err.constData();
    const QJsonArray controls = QJsonDocument::fromJson(read.out).array();
    ASSERT_EQ(controls.size(), 24) << read.out.constData();

    const QStringList groups{"Menu", "Output", "Image"};
    QMap<QString, QJsonObject> byName;
    for (const QJsonValue value : controls) {
        const QJsonObject control = value.toObject();
        const QString name = control.value("name").toString();
        const QString shown = control.value("shown").toString();
        const QJsonArray labels = control.value("labelledBy").toArray();
        const std::string what = QJsonDocument(control).toJson(QJsonDocument::Compact).toStdString();
        // A combo box is named by what it shows, as everywhere on Linux; a
        // screen reader says the label it is labelled by first, which must
        // be its own, not its group's.
        if (control.value("role").toString() == "combo box") {
            ASSERT_FALSE(labels.isEmpty()) << what;
            EXPECT_FALSE(groups.contains(labels.first().toString())) << what;
            byName.insert(labels.first().toString(), control);
        } else {
            EXPECT_FALSE(name.isEmpty()) << what;
            EXPECT_FALSE(groups.contains(name)) << what;
            EXPECT_NE(name, shown) << what;
            byName.insert(name, control);
        }
        EXPECT_FALSE(control.value("description").toString().isEmpty()) << what;
    }
    for (const char* name : {"Icon size", "Icon size in pixels", "Quality:", "Background color",
                             "Background color in hexadecimal", "Choose the image folder", "Icon Sizes"})
        EXPECT_TRUE(byName.contains(QString::fromLatin1(name))) << name;
    EXPECT_EQ(byName.value("Icon size").value("shown").toString(), "128");
    EXPECT_EQ(byName.value("Quality:").value("name").toString(), "Maximum");
    EXPECT_EQ(byName.value("Background color in hexadecimal").value("shown").toString(), "#FFFFFF");

    // A size written from a shell is what the open window shows and says.
    ASSERT_EQ(RunPictomat({"defaults", "write", "IconSize", "-int", "640"}, m_environment).exitCode, 0);
    const auto sizeShown = [&] {
        for (const QJsonValue value : QJsonDocument::fromJson(readControls().out).array())
            if (value.toObject().value("name").toString() == "Icon size in pixels")
                return value.toObject().value("shown").toString();
        return QString();
    };
    EXPECT_TRUE(waitUntil([&] { return sizeShown() == "640"; }, 5000)) << sizeShown().toStdString();
}

} // namespace
