#include "worker/Sandbox.h"

#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/landlock.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <vector>

namespace pictomat::worker {

namespace {

// Everything Landlock's first version can allow or deny of files.
constexpr uint64_t kAllFileAccess =
    LANDLOCK_ACCESS_FS_EXECUTE | LANDLOCK_ACCESS_FS_WRITE_FILE | LANDLOCK_ACCESS_FS_READ_FILE
    | LANDLOCK_ACCESS_FS_READ_DIR | LANDLOCK_ACCESS_FS_REMOVE_DIR | LANDLOCK_ACCESS_FS_REMOVE_FILE
    | LANDLOCK_ACCESS_FS_MAKE_CHAR | LANDLOCK_ACCESS_FS_MAKE_DIR | LANDLOCK_ACCESS_FS_MAKE_REG
    | LANDLOCK_ACCESS_FS_MAKE_SOCK | LANDLOCK_ACCESS_FS_MAKE_FIFO | LANDLOCK_ACCESS_FS_MAKE_BLOCK
    | LANDLOCK_ACCESS_FS_MAKE_SYM;
constexpr uint64_t kReadAccess = LANDLOCK_ACCESS_FS_READ_FILE | LANDLOCK_ACCESS_FS_READ_DIR;

void allowBeneath(int ruleset, const char* path, uint64_t access)
{
    const int fd = ::open(path, O_PATH | O_CLOEXEC);
    if (fd < 0)
        return; // a folder this system does not have
    landlock_path_beneath_attr rule{};
    rule.allowed_access = access;
    rule.parent_fd = fd;
    ::syscall(SYS_landlock_add_rule, ruleset, LANDLOCK_RULE_PATH_BENEATH, &rule, 0);
    ::close(fd);
}

void restrictFiles(const QByteArray& ownFolder, const QByteArray& ownModules)
{
    landlock_ruleset_attr attributes{};
    attributes.handled_access_fs = kAllFileAccess;
    const int ruleset = int(::syscall(SYS_landlock_create_ruleset, &attributes, sizeof attributes, 0));
    if (ruleset < 0)
        return;
    // The libraries opened on first use and their data (codecs, fonts,
    // fontconfig's configuration, MIME and colour data) are the system's own.
    for (const char* system : {"/usr", "/lib", "/lib64", "/etc/fonts", "/var/cache/fontconfig"})
        allowBeneath(ruleset, system, kReadAccess | LANDLOCK_ACCESS_FS_EXECUTE);
    allowBeneath(ruleset, "/etc/ld.so.cache", LANDLOCK_ACCESS_FS_READ_FILE);
    // How many processors there are, for the decoders' own threads.
    allowBeneath(ruleset, "/sys/devices/system/cpu", kReadAccess);
    allowBeneath(ruleset, "/proc/stat", LANDLOCK_ACCESS_FS_READ_FILE);
    // Where the loader is told to look first: a library found there when the
    // worker starts must still be the one a reader opens on first use.
    if (const char* searched = std::getenv("LD_LIBRARY_PATH")) {
        for (const QByteArray& folder : QByteArray(searched).split(':')) {
            if (folder.startsWith('/'))
                allowBeneath(ruleset, folder.constData(), kReadAccess | LANDLOCK_ACCESS_FS_EXECUTE);
        }
    }
    // Our own modules (the PDF one), beside the worker wherever it is installed or built.
    if (!ownModules.isEmpty())
        allowBeneath(ruleset, ownModules.constData(), kReadAccess | LANDLOCK_ACCESS_FS_EXECUTE);
    // The user's own fonts and fontconfig's cache of them, which text in a
    // drawing or a page may need.
    if (const char* home = std::getenv("HOME")) {
        for (const char* folder : {"/.fonts", "/.local/share/fonts", "/.cache/fontconfig", "/.config/fontconfig"}) {
            const QByteArray path = QByteArray(home) + folder;
            allowBeneath(ruleset, path.constData(), kReadAccess);
        }
    }
    // A drawing may link pictures in its own folder and below.
    if (!ownFolder.isEmpty())
        allowBeneath(ruleset, ownFolder.constData(), kReadAccess);
    ::syscall(SYS_landlock_restrict_self, ruleset, 0);
    ::close(ruleset);
}

// A seccomp filter over the calls no decoder needs and an attacker wants:
// no new sockets or connections (the worker talks only over the socket it
// was handed), no running programs, no reaching into other processes.
bool forbidCalls()
{
#if !defined(__x86_64__)
    // The call numbers below are this architecture's; elsewhere the other
    // limits hold alone until the filter is written for it.
    return true;
#else
    const int forbidden[] = {SYS_socket,
                             SYS_connect,
                             SYS_bind,
                             SYS_listen,
                             SYS_accept,
                             SYS_accept4,
                             SYS_execve,
                             SYS_execveat,
                             SYS_ptrace,
                             SYS_process_vm_readv,
                             SYS_process_vm_writev,
                             SYS_kill,
                             SYS_tkill};
    std::vector<sock_filter> program;
    program.push_back(BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)));
    program.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, AUDIT_ARCH_X86_64, 1, 0));
    program.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_KILL_PROCESS));
    program.push_back(BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)));
    for (int call : forbidden) {
        program.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, uint32_t(call), 0, 1));
        program.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | (EPERM & SECCOMP_RET_DATA)));
    }
    program.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW));
    const sock_fprog filter{static_cast<unsigned short>(program.size()), program.data()};
    return ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &filter, 0, 0) == 0;
#endif
}

} // namespace

bool EnterSandbox(const SandboxLimits& limits)
{
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0)
        return false;
    if (limits.addressSpaceBytes > 0) {
        const rlimit space{rlim_t(limits.addressSpaceBytes), rlim_t(limits.addressSpaceBytes)};
        if (::setrlimit(RLIMIT_AS, &space) != 0)
            return false;
    }
    if (limits.cpuSeconds > 0) {
        const rlimit cpu{rlim_t(limits.cpuSeconds), rlim_t(limits.cpuSeconds + 1)};
        if (::setrlimit(RLIMIT_CPU, &cpu) != 0)
            return false;
    }
    // No core dumps of what a hostile file did (Landlock keeps every other
    // file unwritten; the memfd of the answer is the one file it writes).
    const rlimit none{0, 0};
    ::setrlimit(RLIMIT_CORE, &none);
    restrictFiles(limits.ownFolder, limits.ownModules);
    return forbidCalls();
}

} // namespace pictomat::worker
