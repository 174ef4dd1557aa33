#include "files/MacRoman.h"
#include "files/ResourceFork.h"
#include "TestEnv.h"
#include "WebFixtures.h"

#include <QDir>
#include <QRandomGenerator>

#include <sys/xattr.h>

using namespace pictomat;
using namespace pictomat::test;
using ResourceFork::ResourceMap;

namespace {
constexpr uint32_t kText = ResourceFork::fourCharCode("TEXT");
constexpr uint32_t kUrl = ResourceFork::kUrlType;

QByteArray SampleFork()
{
    return MakeResourceFork({{kText, "text"}, {kUrl, "http://a/"}, {kUrl, "http://b/"}, {kText, QByteArray()}});
}
} // namespace

TEST(ResourceMapTest, FindsResourcesByTypeAndIndex)
{
    const auto map = ResourceMap::open(SampleFork());
    ASSERT_TRUE(map);
    EXPECT_EQ(map->count1Resources(kUrl), 2);
    EXPECT_EQ(map->count1Resources(kText), 2);
    EXPECT_EQ(map->count1Resources(ResourceFork::fourCharCode("drag")), 0);
    EXPECT_EQ(map->get1IndResource(kUrl, 1), QByteArray("http://a/"));
    EXPECT_EQ(map->get1IndResource(kUrl, 2), QByteArray("http://b/"));
    EXPECT_FALSE(map->get1IndResource(kUrl, 0));
    EXPECT_FALSE(map->get1IndResource(kUrl, 3));
    EXPECT_EQ(map->get1IndResource(kText, 2), QByteArray());

    // A map with no types stores its count as 0xFFFF.
    const auto empty = ResourceMap::open(MakeResourceFork({}));
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->count1Resources(kUrl), 0);
}

TEST(ResourceMapTest, RefusesOffsetsOutsideTheFork)
{
    const QByteArray good = SampleFork();
    for (qsizetype n = 0; n < good.size(); ++n)
        EXPECT_FALSE(ResourceMap::open(good.left(n))) << "truncated to " << n;

    // A resource whose length runs past the data area is refused on reading.
    QByteArray longData = good;
    longData[256 + 8 + 3] = char(0x40); // the first address's length: 64 of 38 bytes
    const auto map = ResourceMap::open(longData);
    ASSERT_TRUE(map);
    EXPECT_FALSE(map->get1IndResource(kUrl, 1));

    // Random damage: whatever opens only ever yields bytes of the fork.
    QRandomGenerator random(20261208);
    for (int round = 0; round < 20000; ++round) {
        QByteArray damaged = good;
        for (int flips = random.bounded(1, 5); flips > 0; --flips)
            damaged[random.bounded(int(damaged.size()))] = char(random.bounded(256));
        if (const auto m = ResourceMap::open(damaged)) {
            for (int i = 1; i <= std::min(m->count1Resources(kUrl), 4); ++i) {
                if (const auto r = m->get1IndResource(kUrl, i); r && !r->isEmpty()) {
                    EXPECT_TRUE(damaged.contains(*r));
                }
            }
        }
    }
}

TEST(ResourceForkTest, AppleDoubleEntries)
{
    const QByteArray fork = SampleFork();
    const QByteArray file = MakeAppleDouble(fork);
    EXPECT_EQ(ResourceFork::forkFromAppleDouble(file), fork);
    EXPECT_FALSE(ResourceFork::forkFromAppleDouble(file.left(file.size() - 1))); // entry past the end
    QByteArray single = file;
    single[3] = 0x00; // AppleSingle magic is not a sidecar
    EXPECT_FALSE(ResourceFork::forkFromAppleDouble(single));
    QByteArray manyEntries = file;
    manyEntries[24] = char(0xFF); // the entry table runs past the end...
    manyEntries[41] = 7;          // ...once the fork entry is renamed
    EXPECT_FALSE(ResourceFork::forkFromAppleDouble(manyEntries));
}

class ResourceForkFileTest : public TestEnv { };

TEST_F(ResourceForkFileTest, HoldersInOrder)
{
    const QByteArray forkA = MakeResourceFork({{kUrl, "a"}});
    const QByteArray forkB = MakeResourceFork({{kUrl, "b"}});
    const QByteArray both = writeFile("both.webloc", "");
    WriteFork(both, forkA, Holder::AppleDouble);
    WriteFork(both, forkB, Holder::AppleAttribute);
    EXPECT_EQ(ResourceFork::readResourceFork(FileRef(both)), forkA);

    const QByteArray netatalk = writeFile("n.webloc", "");
    WriteFork(netatalk, forkB, Holder::NetatalkAttribute);
    EXPECT_EQ(ResourceFork::readResourceFork(FileRef(netatalk)), forkB);

    // A sidecar without a fork entry leaves the attributes to be asked.
    const QByteArray noEntry = writeFile("x.webloc", "");
    writeFile("._x.webloc", MakeAppleDouble(forkA).left(26));
    WriteFork(noEntry, forkB, Holder::NetatalkAttribute);
    EXPECT_EQ(ResourceFork::readResourceFork(FileRef(noEntry)), forkB);

    ASSERT_TRUE(QDir().mkpath(work() + "/._dir.webloc"));
    EXPECT_FALSE(ResourceFork::readResourceFork(FileRef(writeFile("dir.webloc", ""))));
    EXPECT_FALSE(ResourceFork::readResourceFork(FileRef()));
}

TEST(MacRomanTest, MatchesPythonsCodec)
{
    QByteArray all(256, 0);
    for (int i = 0; i < 256; ++i)
        all[i] = char(i);
    const ProcessResult r = RunPython(QStringLiteral(
        "import sys; sys.stdout.buffer.write(bytes(range(256)).decode('mac_roman').encode('utf-16-le'))"));
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    const QString expected(reinterpret_cast<const QChar*>(r.out.constData()), r.out.size() / 2);
    EXPECT_EQ(decodeMacRoman(all), expected);
}
