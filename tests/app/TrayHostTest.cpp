// The tray as the hosts that had trouble with it read it: the dbusmenu
// signals a host hears per opening (lxqt-panel closes a menu whose layout
// changes while it is open), the menu on a screen too small to hold it
// whole (GNOME's AppIndicator cuts it off), and a host that only asks the
// item for its context menu (swaybar), on a Wayland session whose XWayland
// refuses connections.

#include "DesktopSession.h"
#include "HeadlessWayland.h"

#include "files/FileRef.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>

#include <algorithm>

namespace pictomat::test {
namespace {

class TrayHostTest : public DesktopSession {
protected:
    // A display of the test's own, `height` pixels tall.
    bool startOwnDisplay(int height)
    {
        int display = 90;
        while (QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(display))
               || QFileInfo::exists(QStringLiteral("/tmp/.X%1-lock").arg(display)))
            ++display;
        m_display = QStringLiteral(":%1").arg(display);
        m_xvfb.process.start(QStringLiteral("Xvfb"),
                             {m_display, "-screen", "0", QStringLiteral("1024x%1x24").arg(height), "-nolisten", "tcp"});
        if (!m_xvfb.process.waitForStarted(5000))
            return false;
        m_environment.append(QStringLiteral("DISPLAY=") + m_display);
        // Its socket appears before it takes clients: ready when one is served.
        return waitUntil(
            [&] {
                return RunProcess(QStringLiteral("xdpyinfo"), {"-display", m_display}).exitCode == 0;
            },
            10000);
    }
    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = DesktopSession::environment();
        if (!m_display.isEmpty())
            env.insert(QStringLiteral("DISPLAY"), m_display);
        return env;
    }
    void start(OwnedProcess& owned, const QString& program, const QStringList& arguments = {})
    {
        owned.process.setProcessEnvironment(environment());
        owned.process.start(program, arguments);
        ASSERT_TRUE(owned.process.waitForStarted(5000));
    }

    OwnedProcess m_xvfb;
    QString m_display;
};

TEST_F(TrayHostTest, HostsHearOfOneLayoutChangePerRebuildAndTheExportersFoldWhereTheScreenIsShort)
{
    ASSERT_TRUE(startOwnDisplay(768));
    OwnedProcess watcher;
    start(watcher, QStringLiteral(WATCHER_STANDIN), {"--host", "gnome-shell"});
    ASSERT_TRUE(watcher.process.waitForReadyRead(10000));
    OwnedProcess tray;
    start(tray, QStringLiteral(PICTOMAT_BINARY));
    QString item;
    QString menuPath;
    ASSERT_TRUE(findTrayMenu(item, menuPath));
    ASSERT_EQ(RunPictomat({"select", QFile::decodeName(m_files.at(0))}, m_environment).exitCode, 0);
    const auto header = [&] {
        const QVector<MenuItem> now = readTrayMenu(item, menuPath);
        return now.size() > 3 ? now.at(3).label : QString();
    };
    ASSERT_TRUE(waitUntil([&] { return header() == "1 Item, First item: a.txt"; }, 10000)) << header().toStdString();

    // What a host hears, from here on.
    OwnedProcess monitor;
    start(monitor, QStringLiteral("dbus-monitor"),
          {"--session", "type='signal',interface='com.canonical.dbusmenu',member='LayoutUpdated'"});
    QByteArray heard;
    const auto layoutChanges = [&] {
        monitor.process.waitForReadyRead(300);
        heard += monitor.process.readAllStandardOutput();
        return heard.count("member=LayoutUpdated");
    };
    ASSERT_TRUE(waitUntil([&] { return layoutChanges() == 0 && heard.contains("NameAcquired"); }, 5000));

    // Openings with nothing changed since: the menu stays as it is.
    QByteArray raw;
    for (int i = 0; i < 3; ++i)
        readTrayMenu(item, menuPath, &raw);
    EXPECT_EQ(layoutChanges(), 0) << heard.toStdString();

    // A new selection: one change, before the next opening, and none then.
    ASSERT_EQ(RunPictomat({"select", QFile::decodeName(m_files.at(1))}, m_environment).exitCode, 0);
    EXPECT_TRUE(waitUntil([&] { return layoutChanges() == 1; }, 5000)) << heard.toStdString();
    const QVector<MenuItem> items = readTrayMenu(item, menuPath, &raw);
    EXPECT_EQ(layoutChanges(), 1) << heard.toStdString();
    ASSERT_GT(items.size(), 3);
    EXPECT_EQ(items.at(3).label, "1 Item, First item: b.txt");

    // 768 pixels hold the commands and the fixed items, not every exporter
    // as well: those form one submenu, right after the commands.
    QStringList labels;
    for (const MenuItem& i : items)
        labels.append(i.label);
    const qsizetype submenu = labels.indexOf("Export Icon");
    ASSERT_GE(submenu, 0) << raw.toStdString();
    EXPECT_TRUE(raw.contains("'children-display': <'submenu'>")) << raw.toStdString();
    EXPECT_EQ(labels.at(submenu - 1), "---");
    EXPECT_EQ(labels.at(submenu + 1), "b.txt.bmp (BMP)");
    EXPECT_TRUE(labels.contains("b.txt.png (PNG)"));
    EXPECT_EQ(labels.mid(labels.size() - 5).join('|'), "---|Go to Pictomat folder...|Preferences...|---|Quit");
}

// A host that draws its menus as Qt does (LXQt's panel; KDE's, XFCE's and
// MATE's alike) shows the whole menu flat on the same screen, where it fits.
TEST_F(TrayHostTest, TheExportersStayInTheMenuWhereItFits)
{
    ASSERT_TRUE(startOwnDisplay(768));
    OwnedProcess watcher;
    start(watcher, QStringLiteral(WATCHER_STANDIN), {"--host", "lxqt-panel"});
    ASSERT_TRUE(watcher.process.waitForReadyRead(10000));
    OwnedProcess tray;
    start(tray, QStringLiteral(PICTOMAT_BINARY));
    QString item;
    QString menuPath;
    ASSERT_TRUE(findTrayMenu(item, menuPath));
    ASSERT_EQ(RunPictomat({"select", QFile::decodeName(m_files.at(0))}, m_environment).exitCode, 0);
    QStringList labels;
    ASSERT_TRUE(waitUntil(
        [&] {
            labels.clear();
            for (const MenuItem& i : readTrayMenu(item, menuPath))
                labels.append(i.label);
            return labels.contains("a.txt.png (PNG)");
        },
        10000))
        << labels.join('|').toStdString();
    EXPECT_FALSE(labels.contains("Export Icon")) << labels.join('|').toStdString();
}

// The ids of the submenus in a GetLayout reply, and the header's label.
void readLayout(const QDBusArgument& argument, QList<int>& submenus, QStringList& labels)
{
    argument.beginStructure();
    int id = 0;
    QVariantMap properties;
    argument >> id >> properties;
    if (properties.value(QStringLiteral("children-display")).toString() == QLatin1String("submenu"))
        submenus.append(id);
    labels.append(properties.value(QStringLiteral("label")).toString());
    argument.beginArray();
    while (!argument.atEnd()) {
        QDBusVariant child;
        argument >> child;
        readLayout(child.variant().value<QDBusArgument>(), submenus, labels);
    }
    argument.endArray();
    argument.endStructure();
}

// A panel opens and closes the menu right after every hand-over, as fast as
// it likes and without waiting for answers, on a screen too short for the
// whole menu and with every command switched on (the folded exporters and
// the icon sizes). The menu a host reads, or has just closed, is laid out
// again in place; it is never deleted under the host's calls.
TEST_F(TrayHostTest, HandOversAmongOpeningsAndClosingsNeverDeleteTheMenuUnderTheHost)
{
    ASSERT_TRUE(startOwnDisplay(600));
    for (const char* key :
         {"IncludeChangeIconSizes", "IncludeMakeWindowsIcon", "IncludeMakeLinuxIconSet", "IncludeMakeAppIcons"})
        ASSERT_EQ(RunPictomat({"defaults", "write", key, "-bool", "true"}, m_environment).exitCode, 0);
    QList<QByteArray> files = m_files;
    for (const char* name : {"c.png", "d.svg"})
        files.append(writeFile(name, "x"));
    OwnedProcess watcher;
    start(watcher, QStringLiteral(WATCHER_STANDIN));
    ASSERT_TRUE(watcher.process.waitForReadyRead(10000));
    OwnedProcess tray;
    start(tray, QStringLiteral(PICTOMAT_BINARY));
    QString item;
    QString menuPath;
    ASSERT_TRUE(findTrayMenu(item, menuPath));

    QDBusConnection host = QDBusConnection::connectToBus(m_address, QStringLiteral("panel"));
    ASSERT_TRUE(host.isConnected());
    const auto menuCall = [&](const char* method, const QVariantList& arguments) {
        QDBusMessage call = QDBusMessage::createMethodCall(item, menuPath, QStringLiteral("com.canonical.dbusmenu"),
                                                           QLatin1String(method));
        call.setArguments(arguments);
        return call;
    };
    const auto event = [&](int id, const char* what) {
        host.send(menuCall("Event", {id, QLatin1String(what), QVariant::fromValue(QDBusVariant(0)), 0u}));
    };
    QRandomGenerator random(7);
    QStringList labels;
    int folded = 0;
    for (int round = 0; round < 300; ++round) {
        QStringList uris;
        const int first = round % files.size();
        for (int k = 0; k <= round % 3; ++k)
            uris.append(QString::fromLatin1(FileRef(files.at((first + k) % files.size())).uri()));
        QDBusMessage handOver = QDBusMessage::createMethodCall(
            QStringLiteral("com.corvane.Pictomat"), QStringLiteral("/com/corvane/Pictomat"),
            QStringLiteral("com.corvane.Pictomat"), QStringLiteral("SetSelection"));
        handOver << uris;
        host.send(handOver);
        if (const int pause = int(random.bounded(4)))
            QThread::msleep(pause * 10);
        host.send(menuCall("AboutToShow", {0}));
        const QDBusMessage layout = host.call(menuCall("GetLayout", {0, -1, QStringList()}), QDBus::Block, 10000);
        ASSERT_EQ(layout.type(), QDBusMessage::ReplyMessage)
            << "round " << round << ": " << layout.errorMessage().toStdString() << " tray " << int(tray.process.state())
            << " " << tray.process.exitCode() << " " << tray.process.readAllStandardError().toStdString();
        QList<int> submenus;
        labels.clear();
        readLayout(layout.arguments().at(1).value<QDBusArgument>(), submenus, labels);
        folded += submenus.isEmpty() ? 0 : 1;
        event(0, "opened");
        for (int submenu : submenus) {
            host.send(menuCall("AboutToShow", {submenu}));
            event(submenu, "opened");
            event(submenu, "closed");
        }
        if (round % 2)
            QThread::msleep(int(random.bounded(20)));
        event(0, "closed");
    }
    // Every round was answered, and the folded exporters were there to open.
    EXPECT_GT(folded, 100);
    EXPECT_EQ(tray.process.state(), QProcess::Running) << tray.process.readAllStandardError().toStdString();
    EXPECT_TRUE(labels.contains("Icon Sizes")) << labels.join('|').toStdString();
    EXPECT_TRUE(labels.contains("Export Icon")) << labels.join('|').toStdString();
}

// Installed, the tray picture goes to panels by its icon name, which a panel
// looks up in the icon theme at its own size, and as pictures drawn for the
// sizes panels use; a GNOME Shell gets the picture in one colour.
TEST_F(TrayHostTest, TheTrayPictureGoesByItsIconNameAtThePanelsSizes)
{
    const QString prefix = root() + "/prefix";
    ASSERT_EQ(RunProcess("cmake", {"--install", PICTOMAT_BUILD_DIR, "--prefix", prefix}, {}, 120000).exitCode, 0);
    m_environment.append("XDG_DATA_DIRS=" + prefix + "/share:/usr/share");
    QDBusConnection host = QDBusConnection::connectToBus(m_address, QStringLiteral("panel"));
    const auto trayPicture = [&](const QStringList& watcherArguments, QString* name, QList<int>* sizes) {
        OwnedProcess watcher;
        start(watcher, QStringLiteral(WATCHER_STANDIN), watcherArguments);
        ASSERT_TRUE(watcher.process.waitForReadyRead(10000));
        OwnedProcess tray;
        QProcessEnvironment env = environment();
        env.insert("XDG_DATA_DIRS", prefix + "/share:/usr/share");
        tray.process.setProcessEnvironment(env);
        tray.process.start(prefix + "/bin/pictomat", QStringList());
        QString item;
        QString menuPath;
        ASSERT_TRUE(findTrayMenu(item, menuPath));
        const auto get = [&](const char* property) {
            QDBusMessage call =
                QDBusMessage::createMethodCall(item, "/StatusNotifierItem", "org.freedesktop.DBus.Properties", "Get");
            call << "org.kde.StatusNotifierItem" << QLatin1String(property);
            return host.call(call).arguments().value(0).value<QDBusVariant>().variant();
        };
        *name = get("IconName").toString();
        const QDBusArgument pictures = get("IconPixmap").value<QDBusArgument>();
        pictures.beginArray();
        while (!pictures.atEnd()) {
            int width = 0;
            int height = 0;
            QByteArray argb;
            pictures.beginStructure();
            pictures >> width >> height >> argb;
            pictures.endStructure();
            if (width == height && argb.size() == width * height * 4)
                sizes->append(width);
        }
        pictures.endArray();
        std::sort(sizes->begin(), sizes->end());
    };
    QString name;
    QList<int> sizes;
    trayPicture({}, &name, &sizes);
    EXPECT_EQ(name, "com.corvane.Pictomat-tray");
    EXPECT_EQ(sizes, (QList<int>{16, 22, 24, 32, 48}));
    sizes.clear();
    trayPicture({"--host", "gnome-shell"}, &name, &sizes);
    EXPECT_EQ(name, "com.corvane.Pictomat-tray-symbolic");
}

// Where XWayland refuses connections the tray starts on Wayland itself; a
// host that asks the item for its context menu gets the menu as a small
// window the compositor floats and focuses.
TEST_F(TrayHostTest, OnWaylandWithoutXTheContextMenuIsAFocusedFloatingWindow)
{
    HeadlessWayland compositor;
    QString why;
    if (!compositor.start(root(), &why))
        SERVICE_MISSING() << why.toStdString();
    m_environment.append(QStringLiteral("WAYLAND_DISPLAY=") + compositor.socket());
    m_environment.append(QStringLiteral("DISPLAY=:987"));
    m_environment.append(QStringLiteral("QT_QPA_PLATFORM"));
    OwnedProcess watcher;
    start(watcher, QStringLiteral(WATCHER_STANDIN));
    ASSERT_TRUE(watcher.process.waitForReadyRead(10000));
    OwnedProcess tray;
    QProcessEnvironment env = environment();
    env.insert(QStringLiteral("WAYLAND_DISPLAY"), compositor.socket());
    env.insert(QStringLiteral("DISPLAY"), QStringLiteral(":987"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    tray.process.setProcessEnvironment(env);
    tray.process.start(QStringLiteral(PICTOMAT_BINARY), QStringList());
    ASSERT_TRUE(tray.process.waitForStarted(5000));
    QString item;
    QString menuPath;
    ASSERT_TRUE(findTrayMenu(item, menuPath)) << tray.process.readAllStandardError().toStdString();
    ASSERT_EQ(RunPictomat({"select", QFile::decodeName(m_files.at(0))}, m_environment).exitCode, 0);

    ASSERT_EQ(gdbusCall(item, QStringLiteral("/StatusNotifierItem"),
                        QStringLiteral("org.kde.StatusNotifierItem.ContextMenu"), {"0", "0"})
                  .exitCode,
              0);
    // sway's view of its windows: the menu floats, focused, menu-sized.
    const QString tree = QStringLiteral(
        "import json, sys\n"
        "def walk(n):\n"
        "    yield n\n"
        "    for c in n.get('nodes', []) + n.get('floating_nodes', []):\n"
        "        yield from walk(c)\n"
        "for n in walk(json.load(sys.stdin)):\n"
        "    if n.get('name') == 'Pictomat':\n"
        "        r = n['rect']\n"
        "        print(n['type'], n['focused'], r['width'] < 640, r['height'] < 800, r['height'] > 200)\n");
    QByteArray seen;
    EXPECT_TRUE(waitUntil(
        [&] {
            const ProcessResult swaytree =
                RunProcess(QStringLiteral("swaymsg"), {"-t", "get_tree"}, {"SWAYSOCK=" + compositor.ipcSocket()});
            seen = RunProcess(QStringLiteral("/usr/bin/python3"), {"-c", tree}, {}, 10000, swaytree.out).out;
            return seen == "floating_con True True True True\n";
        },
        10000))
        << seen.toStdString();
    const QString artifacts = qEnvironmentVariable("PICTOMAT_ARTIFACTS");
    if (!artifacts.isEmpty()) {
        QDir().mkpath(artifacts);
        RunProcess(QStringLiteral("grim"), {artifacts + "/desktop-wayland-menu-window.png"},
                   {"WAYLAND_DISPLAY=" + compositor.socket()});
    }
}

} // namespace
} // namespace pictomat::test
