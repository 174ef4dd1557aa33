#include "platform/CustomIcons.h"
#include "RecordingDesktop.h"
#include "commands/ShortcutIconCommand.h"
#include "TestEnv.h"
#include "WebFixtures.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTcpServer>

#include <cstdlib>
#include <glib.h>

using namespace pictomat;
using namespace pictomat::test;

namespace {

const QString kLink = QStringLiteral("log:Webloc Link = ");
const QString kFound = QStringLiteral("log:The header was found!");
const QString kAt = QStringLiteral("log:The shortcut icon is located at: ");

#define NEED_METADATA()                                                                            \
    if (!CustomIcons::metadataAvailable())                                                         \
    SERVICE_MISSING() << "needs the GVfs metadata service on a session bus"

class ShortcutIconTest : public TestEnv {
protected:
    void SetUp() override
    {
        TestEnv::SetUp();
        site = work() + "/site";
        ASSERT_TRUE(QDir().mkpath(site));
    }

    QByteArray webloc(const QString& name, const QString& address, Holder holder = Holder::AppleDouble)
    {
        const QByteArray path = writeFile(name, "");
        WriteWebLocation(path, address.toUtf8(), holder);
        return path;
    }

    // A plain picture written by Pillow, filled with one colour.
    void picture(const QString& name, const QString& colour = QStringLiteral("(200, 30, 40, 255)"))
    {
        const ProcessResult r = RunPython(
            "import sys; from PIL import Image; Image.new('RGBA', (32, 32), " + colour + ").save(sys.argv[1])",
            {site + "/" + name});
        ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    }

    void run(const QVector<QByteArray>& paths)
    {
        CommandContext context(desktop);
        SelectedItems selection;
        selection.items.emplace();
        for (const QByteArray& p : paths)
            selection.items->append(p.isEmpty() ? FileRef() : FileRef(p));
        selection.count = qint32(paths.size());
        AddShortcutIcons(context, selection);
    }

    // What the file manager will show: the custom icon's format and centre pixel, read by Pillow.
    static QString customIcon(const QByteArray& path)
    {
        const QByteArray icon = GioCustomIcon(path);
        const ProcessResult r = RunPython("import sys; from PIL import Image\n"
                                          "im = Image.open(sys.argv[1])\n"
                                          "print(im.format, im.convert('RGBA').getpixel((im.width // 2, im.height // 2)))",
                                          {QFile::decodeName(icon)});
        return QString::fromUtf8(r.out).trimmed();
    }

    RecordingDesktop desktop;
    QString site;
};

TEST_F(ShortcutIconTest, FolderThenCapitalisedRelativeLink)
{
    NEED_METADATA();
    writeFile(site + "/dir/page.html", "<html><HEAD data-x=1><title>t</title>"
                                       "<LINK REL=\"SHORTCUT ICON\" HREF=\"img/Fav.ico\"></HEAD></html>");
    ASSERT_TRUE(QDir().mkpath(site + "/dir/img"));
    picture("dir/img/Fav.ico");
    WebServer server(site);
    ASSERT_TRUE(server.started());
    ASSERT_TRUE(QDir().mkpath(work() + "/folder"));
    const QByteArray item = webloc("Site.WEBLOC", server.base() + "/dir/page.html", Holder::AppleAttribute);

    run({QFile::encodeName(work() + "/folder"), item});

    EXPECT_EQ(desktop.events, QStringList({"alert:This is not a web location file.",
                                           kLink + server.base() + "/dir/page.html", kFound,
                                           kAt + server.base() + "/dir/img/Fav.ico"}));
    EXPECT_EQ(server.requests(), QStringList({"/dir/page.html", "/dir/img/Fav.ico"}));
    EXPECT_EQ(server.userAgents(), QStringList({"Pictomat/1.0", "Pictomat/1.0"}));
    EXPECT_EQ(customIcon(item), "PNG (200, 30, 40, 255)");
}

TEST_F(ShortcutIconTest, ItemsWithoutAnAddressAreRefused)
{
    const QByteArray address = "http://127.0.0.1:9/";
    const QByteArray text = writeFile("notes.txt", "");
    WriteWebLocation(text, address, Holder::AppleDouble);
    const QByteArray dataFork = writeFile("data.webloc", "<plist><dict><key>URL</key><string>" + address
                                                              + "</string></dict></plist>");
    const QByteArray textOnly = writeFile("text.webloc", "");
    WriteFork(textOnly, MakeResourceFork({{0x54455854, address}}), Holder::AppleAttribute);
    const QByteArray empty = writeFile("empty.webloc", "");
    WriteFork(empty, MakeResourceFork({{0x75726C20, QByteArray()}}), Holder::AppleDouble);
    const QByteArray broken = writeFile("broken.webloc", "");
    WriteFork(broken, MakeResourceFork({{0x75726C20, address}}).left(300), Holder::NetatalkAttribute);
    const QByteArray latin1 = writeFile("latin1.webloc", "");
    WriteFork(latin1, MakeResourceFork({{0x75726C20, "http://caf\xE9/"}}), Holder::AppleDouble);

    run({text, QByteArray(), dataFork, textOnly, empty, broken, latin1});

    const QString notWeb = "This is not a web location file.", notFound = "This web location could not be found.";
    EXPECT_EQ(desktop.alertMessages(), QStringList({notWeb, notWeb, notFound, notFound, notFound, notFound, notFound}));
    EXPECT_TRUE(desktop.logLines.isEmpty());
}

TEST_F(ShortcutIconTest, Latin1PageAndAddressEndingAtZeroByte)
{
    NEED_METADATA();
    // é is 0xE9 in Latin-1, which Mac OS Roman reads as È.
    writeFile(site + "/page.html", "<html><head><title>Caf\xE9</title>"
                                   "<link rel=\"shortcut icon\" href=\"/ic\xE9.png\"></head></html>");
    picture("ic\u00C8.png", "(10, 120, 250, 255)");
    WebServer server(site);
    ASSERT_TRUE(server.started());
    const QByteArray item = writeFile("cafe.webloc", "");
    WriteFork(item, MakeResourceFork({{0x75726C20, (server.base() + "/page.html").toUtf8() + '\0' + "junk"}}),
              Holder::NetatalkAttribute);

    run({item});

    EXPECT_EQ(desktop.events, QStringList({kLink + server.base() + "/page.html", kFound,
                                           kAt + server.base() + "/ic%C3%88.png"}));
    EXPECT_EQ(customIcon(item), "PNG (10, 120, 250, 255)");
}

TEST_F(ShortcutIconTest, FallbackDropsThePortAndOtherHostsAreUsedAsGiven)
{
    NEED_METADATA();
    writeFile(site + "/a.html", "<head><link rel=\"icon\" href=\"/wrong.png\"></head>");
    picture("favicon.ico", "(0, 200, 0, 255)");
    WebServer first(site, "127.0.0.2");
    WebServer other(site);
    // The fallback always goes to port 80; where it cannot be served only the address is checked.
    WebServer port80(site, "127.0.0.2", 80);
    ASSERT_TRUE(first.started() && other.started());
    writeFile(site + "/b.html", ("<head><link rel=\"shortcut icon\" href=\"" + other.base() + "/favicon.ico\"></head>").toUtf8());
    const QByteArray a = webloc("a.webloc", first.base() + "/a.html");
    const QByteArray b = webloc("b.webloc", first.base() + "/b.html");

    run({a, b});

    QStringList expected{kLink + first.base() + "/a.html", kFound, kAt + "http://127.0.0.2/favicon.ico"};
    if (!port80.started())
        expected << "alert:The shortcut icon image could not be created."
                 << "log:The shortcut icon image could not be created.";
    expected << kLink + first.base() + "/b.html" << kFound << kAt + other.base() + "/favicon.ico";
    EXPECT_EQ(desktop.events, expected);
    EXPECT_EQ(first.requests(), QStringList({"/a.html", "/b.html"}));
    EXPECT_EQ(other.requests(), QStringList({"/favicon.ico"}));
    EXPECT_EQ(customIcon(b), "PNG (0, 200, 0, 255)");
    if (port80.started()) {
        EXPECT_EQ(customIcon(a), "PNG (0, 200, 0, 255)");
    }
}

TEST_F(ShortcutIconTest, NoHeadFetchesNothingAndHostlessAddressHasNoFallback)
{
    writeFile(site + "/nohead.html", "<html><body><link rel=\"shortcut icon\" href=\"/favicon.ico\"></body></html>");
    picture("favicon.ico");
    const QString local = QUrl::fromLocalFile(writeFile(site + "/local.html", "<head><title>x</title></head>")).toString();
    WebServer server(site);
    ASSERT_TRUE(server.started());

    run({webloc("a.webloc", server.base() + "/nohead.html"), webloc("b.webloc", local)});

    EXPECT_EQ(desktop.events,
              QStringList({kLink + server.base() + "/nohead.html", "alert:The web page header could not be found.",
                           "log:The header was not found.", kLink + local, kFound,
                           "alert:The shortcut icon could not be found.", "log:The shortcut icon could not be found."}));
    EXPECT_EQ(server.requests(), QStringList({"/nohead.html"}));
}

TEST_F(ShortcutIconTest, UnreachableFirstThenWorkingSecond)
{
    NEED_METADATA();
    QTcpServer closed;  // a port that was just free and now refuses
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const QString dead = QStringLiteral("http://127.0.0.1:%1/").arg(closed.serverPort());
    closed.close();
    writeFile(site + "/index.html", "<head><link rel=\"shortcut icon\" href=\"i.gif\"></head>");
    picture("i.gif", "(255, 255, 0, 255)");
    WebServer server(site);
    ASSERT_TRUE(server.started());
    const QByteArray second = webloc("2.webloc", server.base() + "/index.html");

    run({webloc("1.webloc", dead), second});

    EXPECT_EQ(desktop.events, QStringList({kLink + dead, "alert:The web page could not be downloaded.",
                                           "log:The web page could not be downloaded.",
                                           kLink + server.base() + "/index.html", kFound,
                                           kAt + server.base() + "/i.gif"}));
    EXPECT_EQ(customIcon(second), "PNG (255, 255, 0, 255)");
}

TEST_F(ShortcutIconTest, CapsTimeOutsRedirectsAndNonPictures)
{
    writeFile(site + "/big.html", "<head></head>" + QByteArray(4 * 1024 * 1024, ' '));
    writeFile(site + "/text.html", "<head><link rel=\"shortcut icon\" href=\"sub.ico\"></head>");
    writeFile(site + "/bigicon.html", "<head><link rel=\"shortcut icon\" href=\"/bigicon.png\"></head>");
    writeFile(site + "/sub.ico", "this is not a picture");
    writeFile(site + "/bigicon.png", QByteArray(1024 * 1024 + 1, 'x'));
    WebServer server(site);
    ASSERT_TRUE(server.started());
    qputenv("PICTOMAT_HTTP_TIMEOUT_MS", "1500");
    const QString base = server.base();
    QElapsedTimer clock;
    clock.start();

    run({webloc("big.webloc", base + "/big.html"), webloc("hang.webloc", base + "/hang/x"),
         webloc("bigicon.webloc", base + "/bigicon.html"), webloc("r10.webloc", base + "/r/10/text.html"),
         webloc("r11.webloc", base + "/r/11/text.html")});
    qunsetenv("PICTOMAT_HTTP_TIMEOUT_MS");

    const QString page = "The web page could not be downloaded.", image = "The shortcut icon image could not be created.";
    EXPECT_EQ(desktop.alertMessages(), QStringList({page, page, image, image, page}));
    // The silent server ends at the time-out, not at once and not later.
    EXPECT_GE(clock.elapsed(), 1500);
    EXPECT_LT(clock.elapsed(), 10000);
    // A relative link resolves against the web location's address, not where its redirects led.
    EXPECT_TRUE(desktop.events.contains(kAt + base + "/r/10/sub.ico"));
}

TEST(ShortcutIconPictureTest, DecodesWhatTheImageLayerReads)
{
    const ProcessResult r = RunPython("import io, sys; from PIL import Image\n"
                                      "b = io.BytesIO(); Image.new('RGBA', (64, 64), 'red').save(b, 'ICO', sizes=[(16, 16), (48, 48)])\n"
                                      "sys.stdout.buffer.write(b.getvalue())");
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(DecodeShortcutIconPicture(r.out).width(), 48);
    const QImage svg = DecodeShortcutIconPicture(
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"16\" height=\"8\"><rect width=\"16\" height=\"8\"/></svg>");
    EXPECT_EQ(svg.size(), QSize(256, 128));
    EXPECT_TRUE(DecodeShortcutIconPicture("GIF89a").isNull());
    EXPECT_TRUE(DecodeShortcutIconPicture(QByteArray()).isNull());
}

} // namespace
