// Work run confined (the icon tools decode an icon file's elements so) is
// held by the kernel: it reads no file of the user's, writes none, opens no
// connection and runs no program; one that crashes, spins or allocates
// without end costs its answer alone, with its cause, and this process goes
// on to confine the next.
#include "worker/Sandbox.h"

#include "TestEnv.h"

#include <QFile>

#include <sys/socket.h>
#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

namespace pictomat::worker {
namespace {

using namespace std::chrono_literals;

class Confined : public test::TestEnv { };

TEST_F(Confined, WorkIsHeldByTheKernelAndItsFailuresCostItsAnswerAlone)
{
    const QByteArray secret = writeFile("secret.txt", "not for the reader\n");
    const QByteArray made = QFile::encodeName(work() + "/made.txt");
    PictureStatus why = PictureStatus::Decoded;
    const std::optional<QByteArray> tries = RunConfined(
        [&] {
            QByteArray said;
            const int read = ::open(secret.constData(), O_RDONLY);
            said += read < 0 ? "read refused;" : "read;";
            const int wrote = ::open(made.constData(), O_WRONLY | O_CREAT, 0600);
            said += wrote < 0 ? "write refused;" : "write;";
            said += ::socket(AF_INET, SOCK_STREAM, 0) < 0 ? "socket refused;" : "socket;";
            char* const argv[] = {const_cast<char*>("/bin/true"), nullptr};
            ::execv("/bin/true", argv);
            said += "exec refused";
            return said;
        },
        &why);
    ASSERT_TRUE(tries.has_value());
    EXPECT_EQ(*tries, "read refused;write refused;socket refused;exec refused");
    EXPECT_EQ(why, PictureStatus::Decoded);
    EXPECT_FALSE(QFile::exists(QFile::decodeName(made)));

    const std::optional<QByteArray> crashes = RunConfined(
        [] {
            std::raise(SIGSEGV);
            return QByteArray("after the crash");
        },
        &why);
    EXPECT_FALSE(crashes.has_value());
    EXPECT_EQ(why, PictureStatus::Damaged);

    const std::optional<QByteArray> spins = RunConfined(
        [] {
            volatile unsigned long turns = 0;
            for (;;)
                turns = turns + 1;
            return QByteArray();
        },
        &why, 1500ms);
    EXPECT_FALSE(spins.has_value());
    EXPECT_EQ(why, PictureStatus::TooCostly);

    const std::optional<QByteArray> allocates = RunConfined(
        [] {
            std::vector<std::unique_ptr<char[]>> held;
            for (;;) {
                held.emplace_back(new char[64 * 1024 * 1024]);
                std::memset(held.back().get(), 'x', 64 * 1024 * 1024);
            }
            return QByteArray();
        },
        &why);
    EXPECT_FALSE(allocates.has_value());
    EXPECT_EQ(why, PictureStatus::TooLarge);

    // A large answer comes back whole.
    const std::optional<QByteArray> large = RunConfined([] { return QByteArray(3 * 1024 * 1024, 'p'); }, &why);
    ASSERT_TRUE(large.has_value());
    EXPECT_EQ(large->size(), 3 * 1024 * 1024);
    EXPECT_EQ(why, PictureStatus::Decoded);
}

} // namespace
} // namespace pictomat::worker
