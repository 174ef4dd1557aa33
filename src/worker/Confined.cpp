#include "files/FileIO.h"
#include "files/UniqueFd.h"
#include "worker/Log.h"
#include "worker/Sandbox.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <new>

namespace pictomat::worker {

namespace {

// What the child's exit code says beside a clean answer.
constexpr int kNoSandbox = 2;
constexpr int kOutOfMemory = 3;
constexpr int kNoAnswer = 4;

[[noreturn]] void outOfMemory()
{
    ::_exit(kOutOfMemory);
}

// Waits for the child until the deadline; false when it had to be killed.
bool awaitChild(pid_t child, std::chrono::milliseconds deadline, int* status)
{
    const UniqueFd pidfd(int(::syscall(SYS_pidfd_open, child, 0)));
    bool inTime = true;
    if (pidfd.valid()) {
        pollfd ended{pidfd.get(), POLLIN, 0};
        int ready = 0;
        do {
            ready = ::poll(&ended, 1, int(deadline.count()));
        } while (ready < 0 && errno == EINTR);
        if (ready == 0) {
            ::kill(child, SIGKILL);
            inTime = false;
        }
    }
    while (::waitpid(child, status, 0) < 0 && errno == EINTR) {
    }
    return inTime;
}

} // namespace

std::optional<QByteArray> RunConfined(const std::function<QByteArray()>& work, PictureStatus* why,
                                      std::chrono::milliseconds deadline)
{
    auto fail = [why](PictureStatus status) -> std::optional<QByteArray> {
        if (why)
            *why = status;
        return std::nullopt;
    };
    const UniqueFd answer(::memfd_create("pictomat-confined", MFD_CLOEXEC));
    if (!answer.valid())
        return fail(PictureStatus::Damaged);
    // What is buffered would otherwise be written twice, once by each.
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child < 0)
        return fail(PictureStatus::Damaged);
    if (child == 0) {
        std::set_new_handler(outOfMemory);
        SandboxLimits limits;
        limits.addressSpaceBytes = kReadingAddressSpace;
        limits.cpuSeconds = kReadingCpuSeconds;
        if (!EnterSandbox(limits))
            ::_exit(kNoSandbox);
        ::_exit(WriteAll(answer.get(), work()) ? 0 : kNoAnswer);
    }
    int status = 0;
    const bool inTime = awaitChild(child, deadline, &status);
    if (!inTime || (WIFSIGNALED(status) && WTERMSIG(status) == SIGXCPU)) {
        qCWarning(lcWorker).noquote() << QStringLiteral("Pictomat: the confined reader was stopped after %1 s")
                                             .arg(double(deadline.count()) / 1000.0);
        return fail(PictureStatus::TooCostly);
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == kOutOfMemory) {
        qCWarning(lcWorker).noquote() << QStringLiteral("Pictomat: the confined reader ran out of memory");
        return fail(PictureStatus::TooLarge);
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        qCWarning(lcWorker).noquote()
            << (WIFSIGNALED(status)
                    ? QStringLiteral("Pictomat: the confined reader crashed (signal %1)").arg(WTERMSIG(status))
                    : QStringLiteral("Pictomat: the confined reader ended without an answer"));
        return fail(PictureStatus::Damaged);
    }
    struct stat st { };
    if (::fstat(answer.get(), &st) != 0 || st.st_size < 0)
        return fail(PictureStatus::Damaged);
    QByteArray bytes(qsizetype(st.st_size), Qt::Uninitialized);
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = ::pread(answer.get(), bytes.data() + done, size_t(bytes.size() - done), done);
        if (n <= 0)
            return fail(PictureStatus::Damaged);
        done += n;
    }
    if (why)
        *why = PictureStatus::Decoded;
    return bytes;
}

} // namespace pictomat::worker
