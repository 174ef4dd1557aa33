#include "platform/ScriptRunner.h"

#include "files/UniqueFd.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <vector>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace pictomat {

namespace {

// More than any selection could need; a script that floods us is failing.
constexpr qsizetype kLargestOutput = 64 * 1024 * 1024;

qint64 nowMs()
{
    struct timespec ts;
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// The script runs as the leader of its own process group, so that at the time
// limit it goes together with everything it started. Owning the child means
// the group is killed and the leader reaped on every way out. It is started
// with posix_spawn, which does not copy this (large) process's page tables
// as fork does, and watched through a pidfd, so that its end wakes us at
// once instead of at the next nap.
class ScriptProcess {
public:
    ScriptProcess() = default;
    ScriptProcess(const ScriptProcess&) = delete;
    ScriptProcess& operator=(const ScriptProcess&) = delete;
    ~ScriptProcess()
    {
        if (m_pid <= 0)
            return;
        // The leader is not reaped yet, so the group id cannot have been reused.
        ::kill(-m_pid, SIGKILL);
        int status = 0;
        while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
        }
    }

    bool start(const QByteArray& program, const QList<QByteArray>& environment, int* outputFd)
    {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0)
            return false;
        UniqueFd readEnd(fds[0]);
        UniqueFd writeEnd(fds[1]);
        char* const argv[] = {const_cast<char*>(program.constData()), nullptr};
        std::vector<char*> envp;
        for (const QByteArray& entry : environment)
            envp.push_back(const_cast<char*>(entry.constData()));
        for (char** e = environ; *e; ++e) {
            const char* eq = std::strchr(*e, '=');
            const QByteArray name(*e, eq ? eq - *e + 1 : qsizetype(std::strlen(*e)));
            const bool overridden = std::any_of(environment.begin(), environment.end(),
                                                [&](const QByteArray& entry) { return entry.startsWith(name); });
            if (!overridden)
                envp.push_back(*e);
        }
        envp.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawnattr_t attributes;
        ::posix_spawn_file_actions_init(&actions);
        ::posix_spawnattr_init(&attributes);
        ::posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        ::posix_spawn_file_actions_adddup2(&actions, writeEnd.get(), STDOUT_FILENO);
        // Its own process group, no signal blocked, and SIGPIPE as a
        // program expects it (we ignore it ourselves).
        sigset_t none;
        sigset_t defaults;
        sigemptyset(&none);
        sigemptyset(&defaults);
        sigaddset(&defaults, SIGPIPE);
        ::posix_spawnattr_setpgroup(&attributes, 0);
        ::posix_spawnattr_setsigmask(&attributes, &none);
        ::posix_spawnattr_setsigdefault(&attributes, &defaults);
        ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
        pid_t pid = -1;
        const int spawned = ::posix_spawn(&pid, program.constData(), &actions, &attributes, argv, envp.data());
        ::posix_spawn_file_actions_destroy(&actions);
        ::posix_spawnattr_destroy(&attributes);
        if (spawned != 0)
            return false;
        m_pid = pid;
        m_exitFd = UniqueFd(int(::syscall(SYS_pidfd_open, pid, 0)));
        writeEnd.close();
        ::fcntl(readEnd.get(), F_SETFL, ::fcntl(readEnd.get(), F_GETFL) | O_NONBLOCK);
        *outputFd = readEnd.release();
        return true;
    }

    // Whether the script has ended, without reaping it (WNOWAIT).
    std::optional<int> exitStatus() const
    {
        siginfo_t info = {};
        if (::waitid(P_PID, m_pid, &info, WEXITED | WNOHANG | WNOWAIT) != 0) {
            // Someone ignores SIGCHLD, so the system reaped it: ended, status unknown.
            return errno == ECHILD ? std::optional<int>(0) : std::nullopt;
        }
        if (info.si_pid != m_pid)
            return std::nullopt;
        return info.si_code == CLD_EXITED ? info.si_status : -1;
    }
    // Readable once the script has ended; invalid where the kernel has no pidfd.
    int exitFd() const { return m_exitFd.get(); }

private:
    pid_t m_pid = -1;
    UniqueFd m_exitFd;
};

enum class ReadState { More, End, Failed };

ReadState drain(int fd, QByteArray& output)
{
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n > 0) {
            output.append(buf, n);
            if (output.size() > kLargestOutput)
                return ReadState::Failed;
            continue;
        }
        if (n == 0)
            return ReadState::End;
        if (errno == EINTR)
            continue;
        return errno == EAGAIN || errno == EWOULDBLOCK ? ReadState::More : ReadState::Failed;
    }
}

// Runs the script and gives its output, or nothing when it failed, exited
// with a non-zero status or outlived the time limit.
} // namespace

std::optional<QByteArray> RunScriptWithTimeLimit(const QByteArray& program, int timeLimitMs,
                                                 const QList<QByteArray>& environment)
{
    if (::access(program.constData(), X_OK) != 0)
        return std::nullopt;
    struct stat st;
    if (::stat(program.constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    ScriptProcess process;
    int rawFd = -1;
    if (!process.start(program, environment, &rawFd))
        return std::nullopt;
    UniqueFd output(rawFd);
    const qint64 deadline = nowMs() + timeLimitMs;
    QByteArray text;
    bool open = true;
    for (;;) {
        if (open) {
            const ReadState state = drain(output.get(), text);
            if (state == ReadState::Failed)
                return std::nullopt;
            open = state == ReadState::More;
        }
        // The script's own end decides, not the pipe: a child it left behind
        // may hold the pipe open for ever.
        if (const std::optional<int> status = process.exitStatus()) {
            if (open && drain(output.get(), text) == ReadState::Failed)
                return std::nullopt;
            if (*status != 0)
                return std::nullopt;
            return text;
        }
        const qint64 left = deadline - nowMs();
        if (left <= 0)
            return std::nullopt;
        // The pipe, and the script's end where a pidfd tells of it; else short
        // naps while the pipe is open too, since the script's exit is not a
        // pipe event when a child of it still holds the pipe.
        struct pollfd pfd[2] = {{output.get(), POLLIN, 0}, {process.exitFd(), POLLIN, 0}};
        struct pollfd* first = open ? &pfd[0] : &pfd[1];
        const int count = (open ? 1 : 0) + (process.exitFd() >= 0 ? 1 : 0);
        const int nap = process.exitFd() >= 0 ? int(left) : int(qMin<qint64>(left, open ? 20 : 5));
        ::poll(count ? first : nullptr, nfds_t(count), nap);
    }
}

} // namespace pictomat
