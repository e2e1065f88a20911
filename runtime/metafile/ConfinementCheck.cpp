// The metafile helper's self-check: the calls an attacker inside the helper would try,
// each made with raw system calls (no C library translation) on targets of its own.

#include "ConfinementCheck.h"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <functional>
#include <linux/mount.h>
#include <linux/sched.h>
#include <sched.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/personality.h>
#include <sys/prctl.h>
#include <sys/ptrace.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace helper {

namespace {

// Calls newer than the C library's headers, by their number (the same on every
// architecture but alpha).
constexpr long NrFchmodat2 = 452;
constexpr long NrSetxattrat = 463;
constexpr long NrRemovexattrat = 466;

struct XattrArgs {
    std::uint64_t value;
    std::uint32_t size, flags;
};

struct Call {
    const char* name;
    std::function<long()> make;
    bool enosys = false; // the filter answers "no such call" (the C library falls back)
};

const char* const Attribute = "user.quadrello";

// What the check tries, grouped as the attacks they stand for.
std::vector<Call> calls(const CheckTargets& t) {
    const char* file = t.file.c_str();
    const std::string made = t.folder + "/made";
    const pid_t other = t.other;
    return {
        // A file's mode, owner, extended attributes and times.
        {"chmod", [=] { return ::syscall(SYS_chmod, file, 0666); }},
        {"fchmod", [=] { return ::syscall(SYS_fchmod, t.fd, 0666); }},
        {"fchmodat", [=] { return ::syscall(SYS_fchmodat, AT_FDCWD, file, 0666); }},
        {"fchmodat2", [=] { return ::syscall(NrFchmodat2, AT_FDCWD, file, 0666, 0); }},
        {"chown", [=] { return ::syscall(SYS_chown, file, ::getuid(), ::getgid()); }},
        {"fchown", [=] { return ::syscall(SYS_fchown, t.fd, ::getuid(), ::getgid()); }},
        {"lchown", [=] { return ::syscall(SYS_lchown, file, ::getuid(), ::getgid()); }},
        {"fchownat",
         [=] { return ::syscall(SYS_fchownat, AT_FDCWD, file, ::getuid(), ::getgid(), 0); }},
        {"setxattr", [=] { return ::syscall(SYS_setxattr, file, Attribute, "1", 1, 0); }},
        {"lsetxattr", [=] { return ::syscall(SYS_lsetxattr, file, Attribute, "1", 1, 0); }},
        {"fsetxattr", [=] { return ::syscall(SYS_fsetxattr, t.fd, Attribute, "1", 1, 0); }},
        {"setxattrat",
         [=] {
             XattrArgs args{std::uint64_t(reinterpret_cast<std::uintptr_t>("1")), 1, 0};
             return ::syscall(NrSetxattrat, AT_FDCWD, file, 0, Attribute, &args, sizeof args);
         }},
        {"removexattr", [=] { return ::syscall(SYS_removexattr, file, Attribute); }},
        {"lremovexattr", [=] { return ::syscall(SYS_lremovexattr, file, Attribute); }},
        {"fremovexattr", [=] { return ::syscall(SYS_fremovexattr, t.fd, Attribute); }},
        {"removexattrat", [=] { return ::syscall(NrRemovexattrat, AT_FDCWD, file, 0, Attribute); }},
        {"utime", [=] { return ::syscall(SYS_utime, file, nullptr); }},
        {"utimes", [=] { return ::syscall(SYS_utimes, file, nullptr); }},
        {"futimesat", [=] { return ::syscall(SYS_futimesat, AT_FDCWD, file, nullptr); }},
        {"utimensat", [=] { return ::syscall(SYS_utimensat, AT_FDCWD, file, nullptr, 0); }},
        // Another process of the same user: its limits, priority, signals.
        {"prlimit64 other",
         [=] {
             rlimit old{};
             return ::syscall(SYS_prlimit64, other, RLIMIT_CPU, nullptr, &old);
         }},
        {"setpriority other", [=] { return ::syscall(SYS_setpriority, PRIO_PROCESS, other, 0); }},
        {"sched_setaffinity other",
         [=] {
             cpu_set_t all;
             CPU_ZERO(&all);
             CPU_SET(0, &all);
             return ::syscall(SYS_sched_setaffinity, other, sizeof all, &all);
         }},
        {"kill other", [=] { return ::syscall(SYS_kill, other, 0); }},
        {"kill group", [=] { return ::syscall(SYS_kill, 0, 0); }},
        {"kill all", [=] { return ::syscall(SYS_kill, -1, 0); }},
        {"tgkill other", [=] { return ::syscall(SYS_tgkill, other, other, 0); }},
        {"pidfd_open other", [=] { return ::syscall(SYS_pidfd_open, other, 0); }},
        // New processes and programs.
        {"fork",
         [] {
             const long r = ::syscall(SYS_fork);
             if (r == 0) ::_exit(0);
             return r;
         }},
        {"clone process",
         [] {
             const long r = ::syscall(SYS_clone, SIGCHLD, 0, 0, 0, 0);
             if (r == 0) ::_exit(0);
             return r;
         }},
        {"clone3",
         [] {
             clone_args args{};
             args.exit_signal = SIGCHLD;
             const long r = ::syscall(SYS_clone3, &args, sizeof args);
             if (r == 0) ::_exit(0);
             return r;
         },
         true},
        {"execve",
         [] {
             char* const argv[] = {const_cast<char*>("/bin/true"), nullptr};
             return ::syscall(SYS_execve, "/bin/true", argv, environ);
         }},
        {"execveat",
         [] {
             char* const argv[] = {const_cast<char*>("/bin/true"), nullptr};
             return ::syscall(SYS_execveat, AT_FDCWD, "/bin/true", argv, environ, 0);
         }},
        // Writing, creating, removing.
        {"open for writing", [] { return ::syscall(SYS_open, "/dev/null", O_WRONLY); }},
        {"openat for writing", [] { return ::syscall(SYS_openat, AT_FDCWD, "/dev/null", O_RDWR); }},
        {"openat appending", [=] { return ::syscall(SYS_openat, AT_FDCWD, file, O_APPEND); }},
        {"openat truncating", [=] { return ::syscall(SYS_openat, AT_FDCWD, file, O_TRUNC); }},
        {"openat creating",
         [=] { return ::syscall(SYS_openat, AT_FDCWD, made.c_str(), O_RDONLY | O_CREAT, 0600); }},
        {"openat2",
         [] {
             struct {
                 std::uint64_t flags, mode, resolve;
             } how{O_WRONLY, 0, 0};
             return ::syscall(SYS_openat2, AT_FDCWD, "/dev/null", &how, sizeof how);
         },
         true},
        {"creat", [=] { return ::syscall(SYS_creat, made.c_str(), 0600); }},
        {"memfd_create", [] { return ::syscall(SYS_memfd_create, "quadrello", 0); }},
        {"mkdir", [=] { return ::syscall(SYS_mkdir, made.c_str(), 0700); }},
        {"mknod", [=] { return ::syscall(SYS_mknod, made.c_str(), S_IFIFO | 0600, 0); }},
        {"symlink", [=] { return ::syscall(SYS_symlink, file, made.c_str()); }},
        {"link", [=] { return ::syscall(SYS_link, file, made.c_str()); }},
        {"truncate", [=] { return ::syscall(SYS_truncate, file, 0); }},
        {"rename", [=] { return ::syscall(SYS_rename, file, made.c_str()); }},
        {"unlink", [=] { return ::syscall(SYS_unlink, file); }},
        // Mounts, namespaces, the machine's names and clock.
        {"mount",
         [=] { return ::syscall(SYS_mount, "none", t.folder.c_str(), "tmpfs", 0, nullptr); }},
        {"umount2", [=] { return ::syscall(SYS_umount2, t.folder.c_str(), 2 /* detach */); }},
        {"fsopen", [] { return ::syscall(SYS_fsopen, "tmpfs", FSOPEN_CLOEXEC); }},
        {"fspick", [] { return ::syscall(SYS_fspick, AT_FDCWD, "/", 0); }},
        {"open_tree", [] { return ::syscall(SYS_open_tree, AT_FDCWD, "/", OPEN_TREE_CLONE); }},
        {"move_mount",
         [=] { return ::syscall(SYS_move_mount, AT_FDCWD, t.folder.c_str(), AT_FDCWD, "/", 0); }},
        {"pivot_root", [=] { return ::syscall(SYS_pivot_root, t.folder.c_str(), "/"); }},
        {"chroot", [=] { return ::syscall(SYS_chroot, t.folder.c_str()); }},
        {"sethostname",
         [] {
             utsname u{};
             ::uname(&u);
             return ::syscall(SYS_sethostname, u.nodename, std::strlen(u.nodename));
         }},
        {"setdomainname",
         [] {
             utsname u{};
             ::uname(&u);
             return ::syscall(SYS_setdomainname, u.domainname, std::strlen(u.domainname));
         }},
        {"clock_settime",
         [] {
             timespec now{};
             ::clock_gettime(CLOCK_REALTIME, &now);
             return ::syscall(SYS_clock_settime, CLOCK_REALTIME, &now);
         }},
        {"setuid root", [] { return ::syscall(SYS_setuid, 0); }},
        // The kernel's keys, rings, log; the network.
        {"keyctl", [] { return ::syscall(SYS_keyctl, 0 /* get keyring id */, -3, 0); }},
        {"add_key",
         [] { return ::syscall(SYS_add_key, "user", "quadrello", "x", 1, -2 /* process */); }},
        {"io_uring_setup",
         [] {
             char params[120] = {};
             return ::syscall(SYS_io_uring_setup, 1, params);
         }},
        {"syslog", [] { return ::syscall(SYS_syslog, 10 /* buffer size */, nullptr, 0); }},
        {"socket unix", [] { return ::syscall(SYS_socket, AF_UNIX, SOCK_STREAM, 0); }},
        {"socket inet", [] { return ::syscall(SYS_socket, AF_INET, SOCK_DGRAM, 0); }},
        {"socketpair",
         [] {
             int pair[2];
             return ::syscall(SYS_socketpair, AF_UNIX, SOCK_STREAM, 0, pair);
         }},
        // Signals and locks through a descriptor: another process made its owner, the
        // signal it is sent, input that sends it; a lease or a lock that holds others up.
        {"fcntl F_SETOWN other", [=] { return ::syscall(SYS_fcntl, t.fd, F_SETOWN, other); }},
        {"fcntl F_SETOWN_EX other",
         [=] {
             f_owner_ex owner{F_OWNER_PID, other};
             return ::syscall(SYS_fcntl, t.fd, F_SETOWN_EX, &owner);
         }},
        {"fcntl F_SETSIG", [=] { return ::syscall(SYS_fcntl, t.fd, F_SETSIG, SIGKILL); }},
        {"fcntl O_ASYNC", [=] { return ::syscall(SYS_fcntl, t.fd, F_SETFL, O_ASYNC); }},
        {"fcntl F_SETLEASE", [=] { return ::syscall(SYS_fcntl, t.fd, F_SETLEASE, F_RDLCK); }},
        {"fcntl F_SETLK",
         [=] {
             struct flock lock {};
             lock.l_type = F_RDLCK;
             return ::syscall(SYS_fcntl, t.fd, F_SETLK, &lock);
         }},
        {"fcntl F_OFD_SETLK",
         [=] {
             struct flock lock {};
             lock.l_type = F_RDLCK;
             return ::syscall(SYS_fcntl, t.fd, F_OFD_SETLK, &lock);
         }},
        {"flock", [=] { return ::syscall(SYS_flock, t.fd, LOCK_SH); }},
        // Code of its own: executable memory, terminal input, tracing allowed.
        {"mmap executable",
         [] {
             return ::syscall(SYS_mmap, nullptr, 4096, PROT_READ | PROT_EXEC,
                              MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
         }},
        {"mprotect executable",
         [] {
             void* page = ::mmap(nullptr, 4096, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
             return page == MAP_FAILED ? -1
                                       : ::syscall(SYS_mprotect, page, 4096, PROT_READ | PROT_EXEC);
         }},
        {"pkey_mprotect",
         [] {
             void* page = ::mmap(nullptr, 4096, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
             return page == MAP_FAILED ? -1
                                       : ::syscall(SYS_pkey_mprotect, page, 4096, PROT_READ, -1);
         }},
        {"personality", [] { return ::syscall(SYS_personality, READ_IMPLIES_EXEC); }},
        {"ioctl TIOCSTI", [] { return ::syscall(SYS_ioctl, 0, TIOCSTI, "x"); }},
        {"prctl PR_SET_PTRACER", [] { return ::syscall(SYS_prctl, PR_SET_PTRACER, -1, 0, 0, 0); }},
        {"prctl PR_SET_DUMPABLE", [] { return ::syscall(SYS_prctl, PR_SET_DUMPABLE, 1, 0, 0, 0); }},
        // Namespaces last: one that went through would change what the rows after it see.
        {"unshare", [] { return ::syscall(SYS_unshare, CLONE_NEWUSER); }},
        {"setns", [=] { return ::syscall(SYS_setns, t.fd, 0); }},
    };
}

// The calls that end the process, tried in children.
std::vector<Call> deadlyCalls(const CheckTargets& t) {
    const pid_t other = t.other;
    return {
        {"ptrace", [=] { return ::syscall(SYS_ptrace, PTRACE_ATTACH, other, 0, 0); }},
        {"process_vm_readv",
         [=] {
             char byte = 0;
             iovec local{&byte, 1}, remote{&byte, 1};
             return ::syscall(SYS_process_vm_readv, other, &local, 1, &remote, 1, 0);
         }},
        {"process_vm_writev",
         [=] { return ::syscall(SYS_process_vm_writev, other, nullptr, 0, nullptr, 0, 0); }},
        {"bpf",
         [] {
             char attr[128] = {};
             return ::syscall(SYS_bpf, 0 /* map create */, attr, sizeof attr);
         }},
        {"perf_event_open",
         [] {
             char attr[128] = {};
             return ::syscall(SYS_perf_event_open, attr, 0, -1, -1, 0);
         }},
        {"userfaultfd", [] { return ::syscall(SYS_userfaultfd, O_CLOEXEC); }},
        {"kexec_load", [] { return ::syscall(SYS_kexec_load, 0, 0, nullptr, 0xDEAD0000UL); }},
        {"kexec_file_load", [] { return ::syscall(SYS_kexec_file_load, -1, -1, 0, "", 0); }},
        {"init_module", [] { return ::syscall(SYS_init_module, nullptr, 0, ""); }},
        {"finit_module", [] { return ::syscall(SYS_finit_module, -1, "", 0); }},
        {"delete_module",
         [] { return ::syscall(SYS_delete_module, "quadrello-none", O_NONBLOCK); }},
    };
}

void report(const char* name, long result, int error, bool enosys) {
    if (result >= 0)
        std::printf("call %s: allowed\n", name);
    else if (error == EPERM || error == EACCES || (enosys && error == ENOSYS))
        std::printf("call %s: refused (%s)\n", name, strerrorname_np(error));
    else
        std::printf("call %s: failed (%s)\n", name, strerrorname_np(error));
}

} // namespace

CheckTargets prepareCheck() {
    CheckTargets t;
    char folder[] = "/tmp/quadrello-check-XXXXXX";
    if (::mkdtemp(folder)) {
        t.folder = folder;
        t.file = t.folder + "/file";
        const int fd = ::open(t.file.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        if (fd >= 0) ::close(fd);
        t.fd = ::open(t.file.c_str(), O_RDONLY | O_CLOEXEC);
    }
    t.status = ::open("/proc/self/status", O_RDONLY | O_CLOEXEC);
    // The other process waits for the end of a pipe whose writing end only the helper keeps:
    // it ends when the helper does, however that ends.
    int pipe[2] = {-1, -1};
    if (::pipe2(pipe, O_CLOEXEC) != 0) return t;
    std::fflush(stdout);
    t.other = ::fork();
    if (t.other == 0) {
        ::close(pipe[1]);
        for (int fd = 0; fd < 3; ++fd) // nor the helper's streams: a reader waits for them
            ::close(fd);
        char byte;
        while (::read(pipe[0], &byte, 1) < 0 && errno == EINTR) {
        }
        ::_exit(0);
    }
    ::close(pipe[0]);
    return t;
}

void checkDeadlyCalls(const CheckTargets& targets, bool withLandlock) {
    for (const Call& c : deadlyCalls(targets)) {
        std::fflush(stdout);
        const pid_t child = ::fork();
        if (child == 0) {
            confine(withLandlock);
            errno = 0;
            const long r = c.make();
            ::_exit(r >= 0 ? 0 : (errno & 0xFF) ? (errno & 0xFF) : 255);
        }
        int status = 0;
        while (child > 0 && ::waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
        if (child < 0)
            std::printf("call %s: failed (no child)\n", c.name);
        else if (WIFSIGNALED(status) && WTERMSIG(status) == SIGSYS)
            std::printf("call %s: refused (ended by SIGSYS)\n", c.name);
        else if (WIFEXITED(status))
            report(c.name, WEXITSTATUS(status) == 0 ? 0 : -1, WEXITSTATUS(status), false);
        else
            std::printf("call %s: failed (signal %d)\n", c.name, WTERMSIG(status));
    }
}

int checkConfinement(const Unprivileged& unprivileged, const Confined& confined,
                     const CheckTargets& targets) {
    std::printf("landlock %d\nfilter %d\nthreads %d\ncapabilities %s\nnamespaces %d\nuid %u\n",
                confined.landlockAbi, confined.syscallFilter ? 1 : 0, confined.threads,
                unprivileged.capabilities ? "none" : "some", unprivileged.namespaces ? 1 : 0,
                unsigned(unprivileged.uid));
    std::printf("scratch %s\n", targets.folder.c_str());
    // The process's own account of itself, read after the confinement.
    char status[8192];
    const ssize_t n =
        targets.status >= 0 ? ::pread(targets.status, status, sizeof status - 1, 0) : -1;
    status[n > 0 ? n : 0] = '\0';
    for (char* line = std::strtok(status, "\n"); line; line = std::strtok(nullptr, "\n")) {
        for (const char* key : {"Uid:", "Gid:", "Groups:", "CapInh:", "CapPrm:", "CapEff:",
                                "CapBnd:", "CapAmb:", "NoNewPrivs:", "Seccomp:"})
            if (std::strncmp(line, key, std::strlen(key)) == 0) std::printf("status %s\n", line);
    }
    const auto tryOpen = [](const char* what, const char* path) {
        const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
        std::printf("%s: %s\n", what, fd >= 0 ? "allowed" : "refused");
        if (fd >= 0) ::close(fd);
    };
    tryOpen("read outside", "/etc/passwd");
    tryOpen("read fonts", "/etc/fonts/fonts.conf");
    for (const Call& c : calls(targets)) {
        errno = 0;
        const long r = c.make();
        report(c.name, r, errno, c.enosys);
        if (r >= 0 && std::strncmp(c.name, "open", 4) == 0) ::close(int(r));
    }
    std::fflush(stdout);
    return 0;
}

} // namespace helper
