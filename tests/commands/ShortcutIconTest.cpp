#include "commands/SiteIcon.h"
#include "platform/CustomIcons.h"
#include "web/HtmlHead.h"
#include "WebFixtures.h"

#include <QDir>
#include <QSslConfiguration>
#include <QTcpServer>

#include <sys/stat.h>
#include <unistd.h>

using namespace pictomat;
using namespace pictomat::test;

namespace {

const QString kLink = QStringLiteral("log:Webloc Link = ");
const QString kFound = QStringLiteral("log:The header was found!");
const QString kAt = QStringLiteral("log:The shortcut icon is located at: ");

#define NEED_METADATA()                                                                                                \
    if (!CustomIcons::metadataAvailable())                                                                             \
    SERVICE_MISSING() << "needs the GVfs metadata service on a session bus"

using ShortcutIconTest = WebLocationTest;

QByteArray FileBytes(const QByteArray& path)
{
    QFile file(QFile::decodeName(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

TEST_F(ShortcutIconTest, FolderThenCapitalisedShortcutLinkThatStillWins)
{
    NEED_METADATA();
    // The link written the one way every browser has always read wins over a larger icon.
    writeFile(site + "/dir/page.html",
              "<html><HEAD data-x=1><title>t</title>"
              "<LINK REL=\"SHORTCUT ICON\" HREF=\"img/Fav.ico\">"
              "<link rel=\"icon\" sizes=\"64x64\" href=\"/big.png\"></HEAD></html>");
    ASSERT_TRUE(QDir().mkpath(site + "/dir/img"));
    picture("dir/img/Fav.ico");
    picture("big.png", "(0, 0, 0, 255)", 64);
    WebServer server(site);
    ASSERT_TRUE(server.started());
    ASSERT_TRUE(QDir().mkpath(work() + "/folder"));
    const QByteArray item = webloc("Site.WEBLOC", server.base() + "/dir/page.html", Holder::AppleAttribute);

    run({QFile::encodeName(work() + "/folder"), item});

    EXPECT_EQ(desktop.events,
              QStringList({"alert:This is not a web location file.", kLink + server.base() + "/dir/page.html", kFound,
                           kAt + server.base() + "/dir/img/Fav.ico"}));
    EXPECT_EQ(server.requests(), QStringList({"/dir/page.html", "/dir/img/Fav.ico"}));
    EXPECT_EQ(server.userAgents(), QStringList({"Pictomat/1.0", "Pictomat/1.0"}));
    EXPECT_EQ(customIcon(item), "PNG 32 (200, 30, 40, 255)");
}

// A link as Chromium saves it when one is dropped on a folder of the Linux
// desktop (Nemo and Caja write the same keys), and as Dolphin's "Link to
// Location" does, with KDE's URL[$e].
QByteArray ChromiumLink(const QString& address)
{
    return "[Desktop Entry]\nEncoding=UTF-8\nName=Example Domain\nType=Link\nURL=" + address.toUtf8()
           + "\nIcon=text-html\n";
}
QByteArray DolphinLink(const QString& address)
{
    return "# made by hand since\n[Desktop Entry]\nIcon=text-html\nName=Site\nType=Link\nURL[$e]=" + address.toUtf8()
           + "\n\n[X-KDE]\nIcon=keep-this\n";
}
// A shortcut as Windows Explorer saves it, with its property group and CRLF.
QByteArray WindowsShortcut(const QString& address)
{
    return "[{000214A0-0000-0000-C000-000000000046}]\r\nProp3=19,11\r\n[InternetShortcut]\r\nIDList=\r\nurl="
           + address.toUtf8() + "\r\nIconIndex=13\r\nHotKey=0\r\n";
}

TEST_F(ShortcutIconTest, ItemsWithoutAnAddressAreRefused)
{
    const QByteArray address = "http://127.0.0.1:9/";
    const QByteArray text = writeFile("notes.txt", "plain text");
    const QByteArray textOnly = writeFile("text.webloc", "");
    WriteFork(textOnly, MakeResourceFork({{0x54455854, address}}), Holder::AppleAttribute);
    const QByteArray empty = writeFile("empty.webloc", "");
    WriteFork(empty, MakeResourceFork({{0x75726C20, QByteArray()}}), Holder::AppleDouble);
    const QByteArray broken = writeFile("broken.webloc", "");
    WriteFork(broken, MakeResourceFork({{0x75726C20, address}}).left(300), Holder::NetatalkAttribute);
    const QByteArray latin1 = writeFile("latin1.webloc", "");
    WriteFork(latin1, MakeResourceFork({{0x75726C20, "http://caf\xE9/"}}), Holder::AppleDouble);
    // Property lists by plistlib without a URL, and one cut short: named as
    // web locations they name none; named otherwise they are none.
    const ProcessResult r = RunPython(
        "import plistlib, sys\n"
        "for name, fmt in (('nourl.webloc', plistlib.FMT_XML), ('Info.plist', plistlib.FMT_XML),"
        " ('cut.webloc', plistlib.FMT_BINARY)):\n"
        "    data = plistlib.dumps({'Name': 'x', 'URL1': sys.argv[2]}, fmt=fmt)\n"
        "    open(sys.argv[1] + '/' + name, 'wb').write(data[:-20] if name.startswith('cut') else data)\n",
        {work(), QString::fromLatin1(address)});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    const QByteArray launcher =
        writeFile("app.desktop", "[Desktop Entry]\nType=Application\nExec=true\nURL=" + address + "\n");
    const QByteArray linkWithout = writeFile("link.desktop", "[Desktop Entry]\nType=Link\nName=x\n");
    const QByteArray garbage = writeFile("garbage.url", QByteArray("\x00\x01\xFF junk", 8));
    const QByteArray shortcutWithout = writeFile("bare.url", "[InternetShortcut]\r\nIconIndex=1\r\n");
    const QByteArray huge = writeFile("huge.webloc", "<plist>" + QByteArray(2 * 1024 * 1024, ' '));
    const QByteArray pipe = QFile::encodeName(work() + "/pipe.webloc");
    ASSERT_EQ(::mkfifo(pipe.constData(), 0600), 0);

    run({text, QByteArray(), textOnly, empty, broken, latin1, QFile::encodeName(work() + "/nourl.webloc"),
         QFile::encodeName(work() + "/Info.plist"), QFile::encodeName(work() + "/cut.webloc"), launcher, linkWithout,
         garbage, shortcutWithout, huge, pipe});

    const QString notWeb = "This is not a web location file.", notFound = "This web location could not be found.";
    EXPECT_EQ(desktop.alertMessages(),
              QStringList({notWeb, notWeb, notFound, notFound, notFound, notFound, notFound, notWeb, notFound, notWeb,
                           notFound, notFound, notFound, notFound, notWeb}));
    EXPECT_TRUE(desktop.logLines.isEmpty());
}

TEST_F(ShortcutIconTest, WebLocationsInEveryFormRealWritersMake)
{
    NEED_METADATA();
    writeFile(site + "/page.html", "<head><link rel=icon href=/i.png></head>");
    picture("i.png", "(20, 140, 60, 255)");
    WebServer server(site);
    ASSERT_TRUE(server.started());
    const QString page = server.base() + "/page.html";
    // Data-fork property lists as plistlib writes them (XML and binary) and
    // as plistutil converts them; a text file that holds a `url ` resource.
    const ProcessResult r = RunPython(
        "import plistlib, sys\n"
        "plistlib.dump({'URL': sys.argv[2]}, open(sys.argv[1] + '/xml.webloc', 'wb'))\n"
        "plistlib.dump({'URL': sys.argv[2]}, open(sys.argv[1] + '/binary.webloc', 'wb'),"
        " fmt=plistlib.FMT_BINARY)\n",
        {work(), page});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    ASSERT_EQ(RunProcess("plistutil", {"-i", work() + "/xml.webloc", "-o", work() + "/plistutil.webloc", "-f", "bin"})
                  .exitCode,
              0);
    const QByteArray notes = writeFile("notes.txt", "");
    WriteWebLocation(notes, page.toUtf8(), Holder::AppleDouble);
    // Links of the Linux desktop and Windows, one saved without an extension.
    const QByteArray chromium = writeFile("Example Domain.desktop", ChromiumLink(page));
    const QByteArray dolphin = writeFile("Site", DolphinLink(page));
    const QByteArray windows = writeFile("Shortcut.URL", WindowsShortcut(page));

    const QVector<QByteArray> items{QFile::encodeName(work() + "/xml.webloc"),
                                    QFile::encodeName(work() + "/binary.webloc"),
                                    QFile::encodeName(work() + "/plistutil.webloc"),
                                    notes,
                                    chromium,
                                    dolphin,
                                    windows};
    run(items);

    EXPECT_TRUE(desktop.alertMessages().isEmpty()) << desktop.alertMessages().join('|').toStdString();
    for (const QByteArray& item : items)
        EXPECT_EQ(customIcon(item), "PNG 32 (20, 140, 60, 255)") << item.constData();
    // A desktop link shows its own Icon: that one line now names the
    // picture, every other byte is as it was; removing gives the old one back.
    const QByteArray icon = GioCustomIcon(chromium);
    ASSERT_FALSE(icon.isEmpty());
    EXPECT_EQ(FileBytes(chromium), QByteArray(ChromiumLink(page)).replace("Icon=text-html", "Icon=" + icon));
    EXPECT_EQ(FileBytes(dolphin), QByteArray(DolphinLink(page)).replace("Icon=text-html", "Icon=" + icon));
    EXPECT_EQ(FileBytes(windows), WindowsShortcut(page));
    for (const QByteArray& item : {chromium, dolphin})
        ASSERT_TRUE(CustomIcons::removeCustomIcon(FileRef(item)));
    EXPECT_EQ(FileBytes(chromium), ChromiumLink(page));
    EXPECT_EQ(FileBytes(dolphin), DolphinLink(page));
    EXPECT_TRUE(GioCustomIcon(chromium).isEmpty());

    // A link without an Icon gets one and loses it again; one that is a
    // symbolic link is never edited through, and nothing is set on it.
    const QByteArray bare = writeFile("bare.desktop", "[Desktop Entry]\nType=Link\nURL=" + page.toUtf8());
    const QByteArray linked = QFile::encodeName(work() + "/linked.desktop");
    ASSERT_EQ(::symlink(chromium.constData(), linked.constData()), 0);
    desktop = RecordingDesktop();
    run({bare, linked});
    EXPECT_EQ(desktop.alertMessages(), QStringList{"The shortcut icon image could not be copied to the file."});
    EXPECT_EQ(FileBytes(bare),
              "[Desktop Entry]\nType=Link\nURL=" + page.toUtf8() + "\nIcon=" + GioCustomIcon(bare) + "\n");
    ASSERT_TRUE(CustomIcons::removeCustomIcon(FileRef(bare)));
    EXPECT_EQ(FileBytes(bare), "[Desktop Entry]\nType=Link\nURL=" + page.toUtf8() + "\n");
    EXPECT_EQ(FileBytes(chromium), ChromiumLink(page));
    EXPECT_TRUE(GioCustomIcon(linked).isEmpty());
}

TEST_F(ShortcutIconTest, UndeclaredLatin1PageAndAddressEndingAtZeroByte)
{
    NEED_METADATA();
    // é is 0xE9 in Latin-1, which Mac OS Roman reads as È.
    writeFile(site + "/page.html",
              "<html><head><title>Caf\xE9</title>"
              "<link rel=\"shortcut icon\" href=\"/ic\xE9.png\"></head></html>");
    picture("ic\u00C8.png", "(10, 120, 250, 255)");
    WebServer server(site);
    ASSERT_TRUE(server.started());
    const QByteArray item = writeFile("cafe.webloc", "");
    WriteFork(item, MakeResourceFork({{0x75726C20, (server.base() + "/page.html").toUtf8() + '\0' + "junk"}}),
              Holder::NetatalkAttribute);

    run({item});

    EXPECT_EQ(desktop.events,
              QStringList({kLink + server.base() + "/page.html", kFound, kAt + server.base() + "/ic%C3%88.png"}));
    EXPECT_EQ(customIcon(item), "PNG 32 (10, 120, 250, 255)");
}

TEST_F(ShortcutIconTest, PagesWrittenLikeRealSitesGiveTheirBestIcon)
{
    NEED_METADATA();
    // A shop front reached through a redirect, in Windows-1252, its icons under
    // <base href>; the larger ones in a script, a comment and the page's
    // <header> are not the head's. The apple-touch-icon (180) is the largest.
    writeFile(site + "/shop/index.html",
              "<!DOCTYPE html>\n<html lang=fr><head>\n<meta charset=\"windows-1252\">\n<title>Caf\xE9</title>\n"
              "<base href=\"/static/\">\n<link rel=\"stylesheet\" href=\"site.css\">\n"
              "<link rel='icon' type='image/png' sizes='16x16' href='fav16.png'>\n"
              "<link href=fav32.png rel=icon sizes=32x32>\n"
              "<link rel=\"apple-touch-icon\" href=\"touch-\x80.png\">\n"
              "<link rel=\"icon shortcut\" sizes=\"96x96\" href=\"fav96.png\">\n"
              "<script>document.write('<link rel=\"icon\" sizes=\"999x999\" href=\"/script.png\">')</script>\n"
              "<!-- <link rel=\"icon\" sizes=\"512x512\" href=\"/comment.png\"> -->\n"
              "</head><body><header><link rel=\"icon\" sizes=\"512x512\" href=\"/header.png\">"
              "<h1>Caf\xE9</h1></header></body></html>");
    ASSERT_TRUE(QDir().mkpath(site + "/static"));
    picture("static/touch-\u20AC.png", "(250, 200, 0, 255)", 180);
    // An SVG that is missing, then one that is no picture, then the icon file
    // whose declared 256 beats the apple-touch-icon: it gives its largest picture.
    writeFile(site + "/svg.html",
              "<head><link rel=icon href=/missing.svg type=image/svg+xml>"
              "<link rel=icon sizes=any href=/text.svg><link rel=apple-touch-icon href=/apple.png>"
              "<link rel=icon sizes=\"48x48 256x256\" href=/multi.ico></head>");
    writeFile(site + "/text.svg", "not a picture");
    picture("apple.png");
    ASSERT_EQ(RunPython("import sys; from PIL import Image\n"
                        "Image.new('RGBA', (64, 64), (0, 90, 0, 255)).save(sys.argv[1], sizes=[(16, 16), (64, 64)])",
                        {site + "/multi.ico"})
                  .exitCode,
              0);
    // An SVG beats any size and is drawn at 1024.
    writeFile(site + "/vector.html",
              "<head><link rel=icon sizes=192x192 href=/p192.png>"
              "<link rel=icon href=/logo.svg type=\"image/svg+xml\"></head>");
    writeFile(site + "/logo.svg",
              "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 10 10\">"
              "<rect width=\"10\" height=\"10\" fill=\"#0000ff\"/></svg>");
    // No link at all: the favicon of the page's own origin, port included; the page itself comes gzip-encoded.
    writeFile(site + "/plain.html", "<html><head><title>x</title></head></html>");
    picture("favicon.ico", "(0, 200, 0, 255)");
    WebServer server(site);
    ASSERT_TRUE(server.started());
    const QString b = server.base();
    const QByteArray shop = webloc("shop.webloc", b + "/r/1/shop/index.html");
    const QByteArray svg = webloc("svg.webloc", b + "/svg.html");
    const QByteArray vector = webloc("vector.webloc", b + "/vector.html");
    const QByteArray plain = webloc("plain.webloc", b + "/gz/plain.html");

    run({shop, svg, vector, plain});

    EXPECT_EQ(desktop.events,
              QStringList({kLink + b + "/r/1/shop/index.html", kFound, kAt + b + "/static/touch-%E2%82%AC.png",
                           kLink + b + "/svg.html", kFound, kAt + b + "/missing.svg", kAt + b + "/text.svg",
                           kAt + b + "/multi.ico", kLink + b + "/vector.html", kFound, kAt + b + "/logo.svg",
                           kLink + b + "/gz/plain.html", kFound, kAt + b + "/favicon.ico"}));
    // One page fetch and one icon fetch where the first candidate works.
    EXPECT_EQ(server.requests(), QStringList({"/r/1/shop/index.html", "/shop/index.html", "/static/touch-%E2%82%AC.png",
                                              "/svg.html", "/missing.svg", "/text.svg", "/multi.ico", "/vector.html",
                                              "/logo.svg", "/gz/plain.html", "/favicon.ico"}));
    EXPECT_EQ(customIcon(shop), "PNG 180 (250, 200, 0, 255)");
    EXPECT_EQ(customIcon(svg), "PNG 64 (0, 90, 0, 255)");
    EXPECT_EQ(customIcon(vector), "PNG 1024 (0, 0, 255, 255)");
    EXPECT_EQ(customIcon(plain), "PNG 32 (0, 200, 0, 255)");
}

TEST_F(ShortcutIconTest, HttpsPageFallsBackToItsOwnOrigin)
{
    NEED_METADATA();
    const QString certificate = MakeSelfSignedCertificate(work());
    ASSERT_FALSE(certificate.isEmpty());
    // The test trusts its own certificate in this process only.
    const QSslConfiguration saved = QSslConfiguration::defaultConfiguration();
    QSslConfiguration trusting = saved;
    trusting.addCaCertificates(certificate);
    QSslConfiguration::setDefaultConfiguration(trusting);
    writeFile(site + "/page.html", "<html><head><link rel=icon href=\"http://127.0.0.1:9/x.png\"></head></html>");
    picture("favicon.ico", "(90, 0, 90, 255)");
    WebServer server(site, QStringLiteral("localhost"), certificate, work() + "/key.pem");
    ASSERT_TRUE(server.started());
    const QByteArray item = webloc("secure.webloc", server.base() + "/page.html");

    run({item});
    QSslConfiguration::setDefaultConfiguration(saved);

    EXPECT_EQ(desktop.events, QStringList({kLink + server.base() + "/page.html", kFound,
                                           kAt + "http://127.0.0.1:9/x.png", kAt + server.base() + "/favicon.ico"}));
    EXPECT_EQ(server.requests(), QStringList({"/page.html", "/favicon.ico"}));
    const QString host = "localhost:" + QString::number(server.port());
    EXPECT_EQ(server.hosts(), QStringList({host, host}));
    EXPECT_EQ(customIcon(item), "PNG 32 (90, 0, 90, 255)");
}

TEST_F(ShortcutIconTest, NoHeadFetchesNothingAndLocalPagesLeadToNoLocalFiles)
{
    writeFile(site + "/nohead.html", "<html><body><link rel=\"shortcut icon\" href=\"/favicon.ico\"></body></html>");
    picture("favicon.ico");
    // A web location may name a local page, but that page's links to local files are not read.
    const QString local =
        QUrl::fromLocalFile(
            writeFile(site + "/local.html", ("<head><title>x</title><link rel=\"shortcut icon\" href=\"favicon.ico\">"
                                             "<link rel=icon href=\""
                                             + QUrl::fromLocalFile(site + "/favicon.ico").toString() + "\"></head>")
                                                .toUtf8()))
            .toString();
    WebServer server(site);
    ASSERT_TRUE(server.started());

    run({webloc("a.webloc", server.base() + "/nohead.html"), webloc("b.webloc", local)});

    EXPECT_EQ(
        desktop.events,
        QStringList({kLink + server.base() + "/nohead.html", "alert:The web page header could not be found.",
                     "log:The header was not found.", kLink + local, kFound,
                     "alert:The shortcut icon could not be found.", "log:The shortcut icon could not be found."}));
    EXPECT_EQ(server.requests(), QStringList({"/nohead.html"}));
}

TEST_F(ShortcutIconTest, UnreachableFirstThenWorkingSecond)
{
    NEED_METADATA();
    QTcpServer closed; // a port that was just free and now refuses
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const QString dead = QStringLiteral("http://127.0.0.1:%1/").arg(closed.serverPort());
    closed.close();
    writeFile(site + "/index.html", "<head><link rel=\"shortcut icon\" href=\"i.gif\"></head>");
    picture("i.gif", "(255, 255, 0, 255)");
    WebServer server(site);
    ASSERT_TRUE(server.started());
    const QByteArray second = webloc("2.webloc", server.base() + "/index.html");

    run({webloc("1.webloc", dead), second});

    EXPECT_EQ(desktop.events,
              QStringList({kLink + dead, "alert:The web page could not be downloaded.",
                           "log:The web page could not be downloaded.", kLink + server.base() + "/index.html", kFound,
                           kAt + server.base() + "/i.gif"}));
    EXPECT_EQ(customIcon(second), "PNG 32 (255, 255, 0, 255)");
}

TEST_F(ShortcutIconTest, CapsTimeOutsRedirectsStatusesAndNonPictures)
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
    const QString toFile = QUrl::toPercentEncoding(QUrl::fromLocalFile(site + "/text.html").toString());

    run({webloc("big.webloc", base + "/big.html"), webloc("hang.webloc", base + "/hang/x"),
         webloc("bigicon.webloc", base + "/bigicon.html"), webloc("r10.webloc", base + "/r/10/text.html"),
         webloc("r11.webloc", base + "/r/11/text.html"), webloc("404.webloc", base + "/status/404/text.html"),
         webloc("file.webloc", base + "/to?" + toFile)});
    qunsetenv("PICTOMAT_HTTP_TIMEOUT_MS");

    const QString page = "The web page could not be downloaded.",
                  image = "The shortcut icon image could not be created.";
    EXPECT_EQ(desktop.alertMessages(), QStringList({page, page, image, image, page, page, page}));
    // A relative link resolves against where the redirects led; the icon that
    // is no picture is followed by the origin's favicon, missing here.
    EXPECT_TRUE(desktop.events.contains(kAt + base + "/sub.ico"));
    EXPECT_TRUE(desktop.events.contains(kAt + base + "/favicon.ico"));
    EXPECT_FALSE(server.requests().contains("/status/404/sub.ico"));
}

TEST(HtmlHeadTest, CharsetComesFromMarkThenServerThenMeta)
{
    const auto href = [](const QByteArray& page, const QByteArray& contentType = {}) {
        const HtmlHead head = ParseHtmlHead(page, contentType);
        return head.links.isEmpty() ? QString() : head.links.first().href;
    };
    const QString cyrillicA = QString(QChar(0x0430));
    EXPECT_EQ(href("<head><meta http-equiv=Content-Type content='text/html; charset=KOI8-R'><link href=\xC1>"),
              cyrillicA);
    EXPECT_EQ(href("<head><meta charset=utf-8><link href=\xE0>", "text/html;charset=\"windows-1251\""), cyrillicA);
    EXPECT_EQ(href("\xEF\xBB\xBF<head><link href=\xD0\xB0>", "text/html; charset=iso-8859-1"), cyrillicA);
    // A page that says UTF-16 but was read as ASCII is UTF-8; an unknown name falls back to the old rule.
    EXPECT_EQ(href("<head><meta charset=utf-16><link href=\xD0\xB0>"), cyrillicA);
    EXPECT_EQ(href("<head><meta charset=no-such-charset><link href=\xE9>"), QString(QChar(0x00C8))); // Mac OS Roman
}

TEST(ShortcutIconPictureTest, DecodesWhatTheImageLayerReads)
{
    const ProcessResult r = RunPython(
        "import io, sys; from PIL import Image\n"
        "b = io.BytesIO(); Image.new('RGBA', (64, 64), 'red').save(b, 'ICO', sizes=[(16, 16), (48, 48)])\n"
        "sys.stdout.buffer.write(b.getvalue())");
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(DecodeShortcutIconPicture(r.out).width(), 48);
    const QByteArray svg =
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"16\" height=\"8\"><rect width=\"16\" height=\"8\"/></svg>";
    EXPECT_EQ(DecodeShortcutIconPicture(svg).size(), QSize(1024, 512));
    const ProcessResult gz = RunPython("import gzip, sys; sys.stdout.buffer.write(gzip.compress(sys.argv[1].encode()))",
                                       {QString::fromUtf8(svg)});
    EXPECT_EQ(DecodeShortcutIconPicture(gz.out).size(), QSize(1024, 512));
    EXPECT_TRUE(DecodeShortcutIconPicture("GIF89a").isNull());
    EXPECT_TRUE(DecodeShortcutIconPicture(QByteArray()).isNull());
}

} // namespace
