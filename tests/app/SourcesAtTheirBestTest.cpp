// Pictures read at their best whatever draws them: a Windows icon's largest
// picture, a drawing of a fractional size placed where its edges fall, and
// drawings held to their own processor time, not the clock's; through the
// built program, as a build script runs it.

#include "TestEnv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QThread>

#include <csignal>

namespace pictomat::test {
namespace {

class SourcesAtTheirBest : public TestEnv {
protected:
    QString at(const QString& name) const { return work() + "/" + name; }
    QString write(const QString& name, const QByteArray& bytes)
    {
        QDir().mkpath(work());
        QFile file(at(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return at(name);
    }
};

// A Windows icon as a source: its largest, deepest picture, wherever it
// stands in the file; Qt's reader would give the first, 16 pixels.
TEST_F(SourcesAtTheirBest, AWindowsIconGivesItsLargestPictureAndAFractionalDrawingFillsItsSquare)
{
    QDir().mkpath(work());
    ProcessResult r = RunPython(R"(
import io, struct, sys
from PIL import Image
def png(size, colour):
    b = io.BytesIO()
    Image.new('RGBA', (size, size), colour).save(b, 'PNG')
    return b.getvalue()
pictures = [png(16, (0, 0, 255, 255)), png(256, (255, 0, 0, 255)), png(32, (0, 255, 0, 255))]
head = struct.pack('<HHH', 0, 1, len(pictures))
offset = 6 + 16 * len(pictures)
entries = b''
for data, size in zip(pictures, (16, 256, 32)):
    entries += struct.pack('<BBBBHHII', size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
    offset += len(data)
open(sys.argv[1], 'wb').write(head + entries + b''.join(pictures))
)",
                                {at("app.ico")});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    r = RunPictomat({"iconset", "create", at("ico-set"), at("app.ico")});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    const QImage largest(at("ico-set/icon_512x512@2x.png"));
    EXPECT_EQ(largest.pixelColor(512, 512), QColor(255, 0, 0));
    EXPECT_EQ(largest.pixelColor(384, 384), QColor(255, 0, 0));
    EXPECT_EQ(largest.pixelColor(380, 512).alpha(), 0);

    // A drawing 512.4 x 512 fills every square: no clear row under it, no
    // soft columns beside it.
    write("wide.svg", R"(<svg xmlns="http://www.w3.org/2000/svg" width="512.4" height="512" viewBox="0 0 512.4 512">
<rect width="512.4" height="512" fill="#2050c0"/></svg>)");
    r = RunPictomat({"hicolor", "create", at("theme"), at("wide.svg")});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    for (int m : {16, 22, 24, 32, 48, 64, 96, 128, 256, 512}) {
        const QImage icon(at(QStringLiteral("theme/%1x%1/apps/wide.png").arg(m)));
        ASSERT_EQ(icon.size(), QSize(m, m));
        int sides = 255, rows = 255;
        for (int i = 0; i < m; ++i) {
            if (i > 0 && i < m - 1)
                sides = std::min({sides, icon.pixelColor(0, i).alpha(), icon.pixelColor(m - 1, i).alpha()});
            rows = std::min({rows, icon.pixelColor(i, 0).alpha(), icon.pixelColor(i, m - 1).alpha()});
        }
        EXPECT_GE(sides, 254) << m;
        // The drawing is 0.08 % wider than tall: its top and bottom edges
        // fall a little inside the square, more of a pixel the larger it is.
        EXPECT_GE(rows, m <= 24 ? 250 : 150) << m;
    }
}

// The drawing budget is the drawing's own processor time: a drawing that a
// stopped (or busy) machine keeps waiting is still drawn.
TEST_F(SourcesAtTheirBest, DrawingsWaitingForTheProcessorAreNotRefused)
{
    QByteArray svg = R"(<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256">
<filter id="b"><feGaussianBlur stdDeviation="6"/></filter>)";
    for (int i = 0; i < 120; ++i)
        svg +=
            QStringLiteral("<circle cx=\"%1\" cy=\"%2\" r=\"40\" fill=\"#%3\" filter=\"url(#b)\" opacity=\"0.5\"/>\n")
                .arg(20 + i * 37 % 216)
                .arg(20 + i * 53 % 216)
                .arg((0x102030 + i * 0x050301) & 0xffffff, 6, 16, QLatin1Char('0'))
                .toLatin1();
    svg += "</svg>\n";
    write("busy.svg", svg);
    QProcess process;
    process.start(PICTOMAT_BINARY, {"hicolor", "create", at("theme"), at("busy.svg")});
    ASSERT_TRUE(process.waitForStarted());
    // Stopped in mid-drawing for longer than the whole budget.
    QThread::msleep(300);
    ::kill(pid_t(process.processId()), SIGSTOP);
    QThread::sleep(6);
    ::kill(pid_t(process.processId()), SIGCONT);
    ASSERT_TRUE(process.waitForFinished(120000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << "signal " << process.exitCode();
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().constData();
    EXPECT_TRUE(QFileInfo::exists(at("theme/512x512/apps/busy.png")));
}

} // namespace
} // namespace pictomat::test
