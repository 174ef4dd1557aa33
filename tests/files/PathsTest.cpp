#include "files/Paths.h"

#include "files/FileRef.h"

#include "TestEnv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <functional>

#include <sys/stat.h>
#include <unistd.h>

using namespace pictomat;

namespace {

// Without XDG_RUNTIME_DIR the hand-over lives in the temporary folder, which
// everyone can write to: a folder there is used only when it is ours alone.
class RuntimeFolder : public test::TestEnv {
protected:
    void SetUp() override
    {
        TestEnv::SetUp();
        m_saved = {{"XDG_RUNTIME_DIR", qgetenv("XDG_RUNTIME_DIR")},
                   {"TMPDIR", qgetenv("TMPDIR")},
                   {"XDG_CACHE_HOME", qgetenv("XDG_CACHE_HOME")}};
        qunsetenv("XDG_RUNTIME_DIR");
        qputenv("TMPDIR", QFile::encodeName(tmp()));
        qputenv("XDG_CACHE_HOME", QFile::encodeName(root() + "/cache"));
        ASSERT_TRUE(QDir().mkpath(tmp()));
    }
    void TearDown() override
    {
        for (const auto& [name, value] : m_saved)
            value.isNull() ? qunsetenv(name) : qputenv(name, value);
        TestEnv::TearDown();
    }
    QString tmp() const { return root() + "/tmp"; }
    QString shared() const { return tmp() + "/pictomat-runtime-" + QString::number(::geteuid()); }
    QString ownFallback() const { return root() + "/cache/pictomat-runtime"; }

    // What the shipped selection script reads as the handed-over selection.
    QByteArray scriptSees() const
    {
        const test::ProcessResult r =
            test::RunProcess(QStringLiteral(PICTOMAT_SOURCE_DIR "/data/selection"), {}, {"DISPLAY", "WAYLAND_DISPLAY"});
        return r.out;
    }

    QList<std::pair<const char*, QByteArray>> m_saved;
};

TEST_F(RuntimeFolder, OnlyAPrivateFolderOfOursIsUsedAndTheScriptAgrees)
{
    EXPECT_EQ(XdgRuntimeDir(), shared());
    struct stat st { };
    ASSERT_EQ(::lstat(QFile::encodeName(shared()).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    // Handed-over files that no longer exist are dropped, so these two do.
    const QByteArray ours = test::TestEnv::writeFile("ours", "o");
    const QByteArray planted = test::TestEnv::writeFile("planted", "p");
    const auto handOver = [&] {
        test::TestEnv::writeFile(XdgRuntimeDir() + "/pictomat/selection", "e '" + ours + "'\n");
    };
    handOver();
    EXPECT_EQ(scriptSees(), ours + "\n");

    // Made first by someone else, opened up, or a link: not used, and the
    // selection planted there is not read.
    const QList<std::function<bool()>> notOurs = {
        [&] { return ::chown(QFile::encodeName(shared()).constData(), 65534, 65534) == 0; },
        [&] { return QFile::setPermissions(shared(), QFileDevice::Permissions(0x7777)); },
        [&] {
            return QDir(shared()).removeRecursively() && QDir().mkpath(root() + "/elsewhere")
                   && QFile::link(root() + "/elsewhere", shared());
        },
    };
    // Only root can give a folder away.
    for (int i = ::geteuid() == 0 ? 0 : 1; i < notOurs.size(); ++i) {
        QDir(ownFallback()).removeRecursively();
        QFile::remove(shared());
        QDir(shared()).removeRecursively();
        ASSERT_TRUE(QDir().mkpath(shared() + "/pictomat")) << i;
        test::TestEnv::writeFile(shared() + "/pictomat/selection", "e '" + planted + "'\n");
        ASSERT_TRUE(
            QFile::setPermissions(shared(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
        ASSERT_TRUE(notOurs[i]()) << i;
        EXPECT_EQ(XdgRuntimeDir(), ownFallback()) << i;
        handOver();
        EXPECT_EQ(scriptSees(), ours + "\n") << i;
        EXPECT_EQ(QFileInfo(ownFallback()).permissions() & 0x0077, 0) << i;
    }
}

} // namespace
