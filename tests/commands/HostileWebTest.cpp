#include "platform/CustomIcons.h"
#include "web/HttpClient.h"
#include "WebFixtures.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>

#include <csignal>
#include <cstdio>

using namespace pictomat;
using namespace pictomat::test;

namespace {

#define NEED_METADATA()                                                                                                \
    if (!CustomIcons::metadataAvailable())                                                                             \
    SERVICE_MISSING() << "needs the GVfs metadata service on a session bus"

class HostileWebTest : public WebLocationTest {
protected:
    // Runs "Add Shortcut Icon" in a pictomat process of its own; its peak
    // resident memory in KiB and what it wrote to standard error.
    std::pair<long, QString> runMeasured(const QByteArray& item)
    {
        const ProcessResult r = RunPython(
            "import resource, subprocess, sys\n"
            "p = subprocess.run(sys.argv[1:], capture_output=True, timeout=100)\n"
            "print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)\n"
            "sys.stdout.write(p.stderr.decode(errors='replace'))",
            {PICTOMAT_BINARY, "run", "add-shortcut-icon", QFile::decodeName(item)}, 110000);
        const QString out = QString::fromUtf8(r.out);
        return {out.section('\n', 0, 0).toLong(), out.section('\n', 1).trimmed()};
    }
};

TEST_F(HostileWebTest, EndlessAndInflatingPagesStayWithinTheCap)
{
    writeFile(site + "/small.html", "<html><head><title>x</title></head></html>");
    WebServer server(site);
    ASSERT_TRUE(server.started());
    qputenv("PICTOMAT_HTTP_TIMEOUT_MS", "20000");
    const auto [small, smallErr] = runMeasured(webloc("small.webloc", server.base() + "/small.html"));
    const auto [endless, endlessErr] = runMeasured(webloc("endless.webloc", server.base() + "/endless/page.html"));
    const auto [bomb, bombErr] = runMeasured(webloc("bomb.webloc", server.base() + "/bomb/page.html"));
    const auto [huge, hugeErr] = runMeasured(webloc("huge.webloc", server.base() + "/endless/huge.html"));
    qunsetenv("PICTOMAT_HTTP_TIMEOUT_MS");
    std::printf("peak RSS KiB: small page %ld, endless chunked page %ld, one endless chunk %ld, gzip bomb %ld\n", small,
                endless, huge, bomb);
    for (const QString& err : {endlessErr, hugeErr, bombErr})
        EXPECT_TRUE(err.startsWith("pictomat: " + work())
                    && err.endsWith(": The web page could not be downloaded. (larger than 4194304 bytes)"))
            << err.toStdString();
    // The page cap is 4 MiB; with the buffers it costs, the growth stays under 12 MiB.
    EXPECT_LT(endless - small, 12 * 1024);
    EXPECT_LT(huge - small, 12 * 1024);
    EXPECT_LT(bomb - small, 12 * 1024);
}

TEST_F(HostileWebTest, PublicPagesLeadNeitherToLocalFilesNorToLocalPorts)
{
    NEED_METADATA();
    // The "public" site is served from 127.0.0.2, which this process counts as public.
    TreatAsPublicAddressesForTesting({QStringLiteral("127.0.0.2")});
    const QString secret = site + "/local/secret.png";
    ASSERT_TRUE(QDir().mkpath(site + "/local"));
    picture("local/secret.png", "(255, 0, 0, 255)", 64);
    picture("local/icon.png", "(255, 0, 0, 255)");
    writeFile(site + "/local/page.html", "<head><link rel=icon href=icon.png></head>");
    WebServer inside(site + "/local");
    WebServer outside(site, QStringLiteral("127.0.0.2"));
    ASSERT_TRUE(inside.started() && outside.started());
    const QString port = QString::number(inside.port());
    const QString toInside = QUrl::toPercentEncoding("http://127.0.0.1:" + port + "/icon.png");
    writeFile(site + "/page.html", ("<head><link rel=icon sizes=any href=\"" + QUrl::fromLocalFile(secret).toString()
                                    + "\">"
                                      "<link rel=icon sizes=1024x1024 href=http://127.0.0.1:"
                                    + port
                                    + "/icon.png>"
                                      "<link rel=icon sizes=512x512 href=http://localhost:"
                                    + port
                                    + "/icon.png>"
                                      "<link rel=icon sizes=300x300 href=\"http://[::ffff:127.0.0.1]:"
                                    + port
                                    + "/icon.png\">"
                                      "<link rel=icon sizes=200x200 href=\"/to?"
                                    + toInside
                                    + "\">"
                                      "<link rel=icon sizes=16x16 href=/trap.svg></head>")
                                       .toUtf8());
    // Blue where the local picture would be drawn, if its reference were followed.
    writeFile(site + "/trap.svg",
              ("<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" width=\"64\" "
               "height=\"64\"><rect width=\"64\" height=\"64\" fill=\"#0000ff\"/>"
               "<image width=\"64\" height=\"64\" xlink:href=\""
               + secret
               + "\"/>"
                 "<image width=\"64\" height=\"64\" href=\""
               + QUrl::fromLocalFile(secret).toString() + "\"/></svg>")
                  .toUtf8());
    // A head whose one tag is too long to be worth parsing: the link before it still counts.
    QByteArray giant = "<head><link rel=icon href=/first.png><meta";
    for (int i = 0; giant.size() < 3 * 1024 * 1024; ++i)
        giant += " a" + QByteArray::number(i) + "=1";
    writeFile(site + "/giant.html", giant + "><link rel=icon sizes=999x999 href=/late.png></head>");
    picture("first.png", "(0, 80, 80, 255)");
    const QByteArray page = webloc("page.webloc", outside.base() + "/page.html");
    const QByteArray localPage = webloc("local.webloc", inside.base() + "/page.html");
    const QByteArray giantPage = webloc("giant.webloc", outside.base() + "/giant.html");

    run({page,
         webloc("tofile.webloc",
                outside.base() + "/to?" + QUrl::toPercentEncoding(QUrl::fromLocalFile(secret).toString())),
         localPage, giantPage});
    TreatAsPublicAddressesForTesting({});

    // Nothing reached the local server but the web location that names it itself.
    EXPECT_EQ(inside.requests(), QStringList({"/page.html", "/icon.png"}));
    EXPECT_EQ(outside.requests(), QStringList({"/page.html", "/to?" + toInside, "/trap.svg",
                                               "/to?" + QUrl::toPercentEncoding(QUrl::fromLocalFile(secret).toString()),
                                               "/giant.html", "/first.png"}));
    EXPECT_EQ(desktop.alertMessages(), QStringList({"The web page could not be downloaded."}));
    EXPECT_EQ(customIcon(page), "PNG 1024 (0, 0, 255, 255)");
    EXPECT_EQ(customIcon(localPage), "PNG 32 (255, 0, 0, 255)");
    EXPECT_EQ(customIcon(giantPage), "PNG 32 (0, 80, 80, 255)");
}

// A site that never answers its icon links once held the command queue for
// a minute and a half: every link had a time-out of its own. One deadline
// covers the web location now, and the next one still gets its icon.
TEST_F(HostileWebTest, ASlowSiteHoldsItsWebLocationNoLongerThanTheDeadline)
{
    NEED_METADATA();
    QByteArray links;
    for (int i = 0; i < 6; ++i)
        links +=
            "<link rel=icon sizes=" + QByteArray::number(64 - i) + "x64 href=/hang/" + QByteArray::number(i) + ".png>";
    writeFile(site + "/slow.html", "<head>" + links + "</head>");
    writeFile(site + "/fine.html", "<head><link rel=icon href=/i.png></head>");
    picture("i.png", "(0, 0, 200, 255)");
    WebServer server(site);
    ASSERT_TRUE(server.started());
    const QByteArray fine = webloc("fine.webloc", server.base() + "/fine.html");
    qputenv("PICTOMAT_HTTP_TIMEOUT_MS", "2000");
    QElapsedTimer clock;
    clock.start();
    run({webloc("slow.webloc", server.base() + "/slow.html"), fine});
    const qint64 took = clock.elapsed();
    qunsetenv("PICTOMAT_HTTP_TIMEOUT_MS");
    // Six links of 2 s each would be 12 s; the budget is the one deadline and some slack.
    EXPECT_LT(took, 6000);
    EXPECT_EQ(desktop.alertMessages(), QStringList{"The shortcut icon image could not be created."});
    EXPECT_EQ(customIcon(fine), "PNG 32 (0, 0, 200, 255)");
}

// Ctrl-C in a terminal ends the download in hand at once, not at the deadline.
TEST_F(HostileWebTest, CtrlCEndsADownloadAtOnce)
{
    WebServer server(site);
    ASSERT_TRUE(server.started());
    const QByteArray item = webloc("hang.webloc", server.base() + "/hang/page.html");
    QProcess run;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("PICTOMAT_HTTP_TIMEOUT_MS", "60000");
    run.setProcessEnvironment(environment);
    run.start(PICTOMAT_BINARY, {"run", "add-shortcut-icon", QFile::decodeName(item)});
    ASSERT_TRUE(run.waitForStarted());
    for (int i = 0; i < 200 && server.requests().isEmpty(); ++i)
        QThread::msleep(50);
    ASSERT_EQ(server.requests(), QStringList{"/hang/page.html"});
    QElapsedTimer clock;
    clock.start();
    ::kill(pid_t(run.processId()), SIGINT);
    ASSERT_TRUE(run.waitForFinished(10000));
    EXPECT_LT(clock.elapsed(), 3000);
    EXPECT_EQ(run.exitCode(), 130);
    EXPECT_FALSE(run.readAllStandardError().contains("could not be downloaded"));
}

} // namespace
