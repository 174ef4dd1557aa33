#include "image/MediaIcons.h"

#include "ImageTestSupport.h"
#include "files/FileIO.h"
#include "TestEnv.h"

#include <QFile>

#include <gtest/gtest.h>

namespace pictomat {
namespace {

using test::Range;
using test::RowsWithAlpha;

class MoviePosterTest : public test::TestEnv {
protected:
    void SetUp() override
    {
        TestEnv::SetUp();
        if (!test::HaveFfmpeg())
            SERVICE_MISSING() << "ffmpeg is not installed";
    }

    QByteArray movie(const QString& name, const QStringList& arguments)
    {
        EXPECT_TRUE(test::RunFfmpeg(arguments, work() + "/" + name));
        return QFile::encodeName(work() + "/" + name);
    }

    // Rewrites bytes after the first box of a type, independently of the reader under test.
    void patch(const QByteArray& path, const char* box, const QString& python)
    {
        const test::ProcessResult r = test::RunPython(
            "import struct, sys\ndata = bytearray(open(sys.argv[1], 'rb').read())\ni = "
            "data.index(sys.argv[2].encode()) + 4\n"
                + python + "\nopen(sys.argv[1], 'wb').write(data)\n",
            {QFile::decodeName(path), box});
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    }
    void setPosterTime(const QByteArray& path, double seconds)
    {
        patch(path, "mvhd",
              QString(R"(
scale_at, poster_at = (i + 20, i + 92) if data[i] == 1 else (i + 12, i + 80)
timescale = struct.unpack('>I', data[scale_at:scale_at + 4])[0]
data[poster_at:poster_at + 4] = struct.pack('>I', round(%1 * timescale)))")
                  .arg(seconds));
    }
};

TEST_F(MoviePosterTest, FourByThreeMovieIsFittedByWidthInEveryRow)
{
    const QByteArray path = movie("test.mp4", {"-f", "lavfi", "-i", "testsrc=size=640x480:rate=10:duration=1", "-c:v",
                                               "mpeg4", "-pix_fmt", "yuv420p"});
    const std::optional<MoviePoster> poster = ReadMoviePoster(path);
    ASSERT_TRUE(poster);
    EXPECT_EQ(poster->displaySize, QSize(640, 480));
    EXPECT_EQ(poster->frame.size(), QSize(640, 480)); // converted at no more than twice the largest row

    const std::optional<icns::IconFamily> family = IconFamilyFromMoviePoster(path);
    ASSERT_TRUE(family);
    const QByteArray icns = QFile::encodeName(work() + "/test.icns");
    ASSERT_TRUE(WriteFileAtomically(FileRef(icns), family->toIcns()));
    const std::optional<QImage> row = test::PillowIcnsImage(icns, 16);
    ASSERT_TRUE(row);
    EXPECT_EQ(RowsWithAlpha(*row, 255), Range(2, 13));
    EXPECT_EQ(RowsWithAlpha(*row, 0), Range(0, 1) + Range(14, 15));
}

TEST_F(MoviePosterTest, PosterTimeRecordedInTheMovieChoosesTheFrame)
{
    // Red for a second, then blue, then green; keyframes only every 25 frames,
    // so a later frame is reached by decoding forward from an earlier keyframe.
    QStringList args;
    for (const char* colour : {"red", "blue", "lime"})
        args << "-f"
             << "lavfi"
             << "-i" << QString("color=c=%1:s=160x120:r=10:d=1").arg(colour);
    args << "-filter_complex"
         << "[0][1][2]concat=n=3:v=1:a=0"
         << "-c:v"
         << "mpeg4"
         << "-g"
         << "25"
         << "-q:v"
         << "2";
    const QByteArray path = movie("colours.mov", args);

    EXPECT_EQ(ReadQuickTimePosterTime(path), std::optional<double>(0.0)); // none recorded: the first frame
    std::optional<MoviePoster> poster = ReadMoviePoster(path);
    ASSERT_TRUE(poster);
    EXPECT_TRUE(test::Near(poster->frame.pixel(80, 60), Qt::red, 12));

    const struct {
        double seconds;
        QColor colour;
    } cases[] = {{1.5, Qt::blue}, {2.5, Qt::green}, {1.0, Qt::blue}, {0.95, Qt::red}, {60, Qt::green}};
    for (const auto& c : cases) { // past the end: the last frame
        setPosterTime(path, c.seconds);
        const std::optional<double> recorded = ReadQuickTimePosterTime(path);
        ASSERT_TRUE(recorded);
        EXPECT_NEAR(*recorded, c.seconds, 0.001);
        poster = ReadMoviePoster(path);
        ASSERT_TRUE(poster) << c.seconds;
        EXPECT_TRUE(test::Near(poster->frame.pixel(80, 60), c.colour, 12)) << c.seconds << " s";
    }
}

TEST_F(MoviePosterTest, DisplaySizeAppliesAspectRatioAndRotation)
{
    const QByteArray wide = movie("wide.mp4", {"-f", "lavfi", "-i", "testsrc=size=320x240:rate=5:duration=1", "-vf",
                                               "setsar=2", "-c:v", "mpeg4"});
    std::optional<MoviePoster> poster = ReadMoviePoster(wide);
    ASSERT_TRUE(poster);
    EXPECT_EQ(poster->displaySize, QSize(640, 240));
    EXPECT_EQ(RowsWithAlpha(RenderIconRows(poster->frame, poster->displaySize).value(16), 255), Range(5, 10));

    // A phone held upright: the track matrix turns 640 x 480 frames, blue on
    // the left, a quarter clockwise, so blue comes to the top.
    const QByteArray turned =
        movie("turned.mp4", {"-f", "lavfi", "-i", "color=c=red:s=640x480:r=5:d=1,drawbox=w=320:h=480:color=blue:t=fill",
                             "-c:v", "mpeg4", "-q:v", "2"});
    patch(turned, "tkhd", "data[i + 40:i + 76] = struct.pack('>9i', 0, 65536, 0, -65536, 0, 0, 0, 0, 1 << 30)");
    poster = ReadMoviePoster(turned);
    ASSERT_TRUE(poster);
    EXPECT_EQ(poster->displaySize, QSize(480, 640));
    EXPECT_EQ(poster->frame.size(), QSize(480, 640));
    EXPECT_TRUE(test::Near(poster->frame.pixel(240, 75), Qt::blue, 16));
    EXPECT_TRUE(test::Near(poster->frame.pixel(240, 560), Qt::red, 16));
    const QImage columns =
        RenderIconRows(poster->frame, poster->displaySize).value(16).transformed(QTransform().rotate(90));
    EXPECT_EQ(RowsWithAlpha(columns, 255), Range(2, 13));
}

TEST_F(MoviePosterTest, DamagedAndForeignFilesGiveNothingAndNeverCrash)
{
    const QByteArray whole = movie("whole.mp4", {"-f", "lavfi", "-i", "testsrc=size=320x240:rate=10:duration=2", "-c:v",
                                                 "mpeg4", "-movflags", "+faststart"});
    QFile file(QFile::decodeName(whole));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QByteArray bytes = file.readAll();
    for (qsizetype cut : {qsizetype(0), qsizetype(8), qsizetype(100), bytes.size() / 3, bytes.size() - 10}) {
        const QByteArray path = writeFile("cut.mp4", bytes.left(cut));
        (void)ReadQuickTimePosterTime(path);
        (void)IconFamilyFromMoviePoster(path);
    }
    for (qsizetype i = 64; i < bytes.size(); i += 31)
        bytes[i] = char(bytes[i] ^ 0xa5);
    (void)IconFamilyFromMoviePoster(writeFile("scrambled.mp4", bytes));

    // Boxes that claim more than the file holds, less than their header, or a short movie header.
    for (const QByteArray& box : {QByteArray("\x7f\xff\xff\xffmoov", 8), QByteArray("\x00\x00\x00\x04moov", 8),
                                  QByteArray("\x00\x00\x00\x18moov\x00\x00\x00\x10mvhd", 16)})
        EXPECT_FALSE(ReadQuickTimePosterTime(writeFile("box.mov", box + QByteArray(16, 0))));

    EXPECT_FALSE(IconFamilyFromMoviePoster(writeFile("notes.txt", "hello world\nthis is text\n")));
    EXPECT_FALSE(IconFamilyFromMoviePoster(writeFile("empty.mov", "")));
    EXPECT_FALSE(IconFamilyFromMoviePoster(
        movie("tone.m4a", {"-f", "lavfi", "-i", "sine=frequency=440:duration=1", "-c:a", "aac"})));
}

} // namespace
} // namespace pictomat
