// The metafile helper's confinement: resource and CPU limits, Landlock, the system-call filter.

#include "Confinement.h"

#include "MetafileProtocol.h"

#include <seccomp.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <linux/landlock.h>
#include <linux/sched.h>
#include <string>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

namespace helper {

namespace {

// Address space: the largest picture (256 MB) twice over, the file, and Qt's own.
constexpr rlim_t MaxAddressSpace = rlim_t(2) << 30;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool SanitizedBuild = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool SanitizedBuild = true;
#else
constexpr bool SanitizedBuild = false;
#endif
#else
constexpr bool SanitizedBuild = false;
#endif

// The Landlock ruleset as the newest kernels take it; older ones read a prefix.
struct RulesetAttr {
    std::uint64_t handledFs = 0;
    std::uint64_t handledNet = 0;
    std::uint64_t scoped = 0;
};

constexpr std::uint64_t FsAbi1 = (1ULL << 13) - 1;  // execute ... make symlink
constexpr std::uint64_t FsRefer = 1ULL << 13;       // ABI 2
constexpr std::uint64_t FsTruncate = 1ULL << 14;    // ABI 3
constexpr std::uint64_t FsIoctlDev = 1ULL << 15;    // ABI 5
constexpr std::uint64_t NetTcp = (1ULL << 2) - 1;   // ABI 4: bind and connect
constexpr std::uint64_t ScopeAll = (1ULL << 2) - 1; // ABI 6: abstract sockets, signals
constexpr std::uint64_t ReadFile = 1ULL << 2, ReadDir = 1ULL << 3;

std::string envOr(const char* name, const std::string& fallback) {
    const char* v = std::getenv(name);
    return v && *v ? std::string(v) : fallback;
}

// Where fonts, their configuration and caches, and libraries are read from.
std::vector<std::string> readableFolders() {
    const std::string home = envOr("HOME", "/nonexistent");
    return {"/usr/lib",
            "/usr/lib64",
            "/lib",
            "/lib64",
            "/usr/local/lib",
            "/usr/share/fonts",
            "/usr/local/share/fonts",
            "/usr/share/fontconfig",
            "/etc/fonts",
            "/var/cache/fontconfig",
            home + "/.fonts",
            envOr("XDG_DATA_HOME", home + "/.local/share") + "/fonts",
            envOr("XDG_CONFIG_HOME", home + "/.config") + "/fontconfig",
            envOr("XDG_CACHE_HOME", home + "/.cache") + "/fontconfig"};
}

int landlock() {
    const long abi =
        ::syscall(SYS_landlock_create_ruleset, nullptr, 0, LANDLOCK_CREATE_RULESET_VERSION);
    if (abi < 1) return 0;
    RulesetAttr attr;
    attr.handledFs = FsAbi1 | (abi >= 2 ? FsRefer : 0) | (abi >= 3 ? FsTruncate : 0) |
                     (abi >= 5 ? FsIoctlDev : 0);
    std::size_t size = sizeof attr.handledFs;
    if (abi >= 4) {
        attr.handledNet = NetTcp;
        size += sizeof attr.handledNet;
    }
    if (abi >= 6) {
        attr.scoped = ScopeAll;
        size += sizeof attr.scoped;
    }
    const int ruleset = int(::syscall(SYS_landlock_create_ruleset, &attr, size, 0));
    if (ruleset < 0) return 0;
    for (const std::string& folder : readableFolders()) {
        const int fd = ::open(folder.c_str(), O_PATH | O_CLOEXEC);
        if (fd < 0) continue; // not on this machine
        landlock_path_beneath_attr rule{};
        rule.allowed_access = ReadFile | ReadDir;
        rule.parent_fd = fd;
        ::syscall(SYS_landlock_add_rule, ruleset, LANDLOCK_RULE_PATH_BENEATH, &rule, 0);
        ::close(fd);
    }
    const bool done = ::syscall(SYS_landlock_restrict_self, ruleset, 0) == 0;
    ::close(ruleset);
    return done ? int(abi) : 0;
}

// A rule's test of the call's argument `arg`: its bits in `mask` equal to `value`. (The
// library's SCMP_A0... macros write C compound literals, which C++ does not have.)
scmp_arg_cmp maskedEqual(unsigned arg, scmp_datum_t mask, scmp_datum_t value) {
    return scmp_arg_cmp{arg, SCMP_CMP_MASKED_EQ, mask, value};
}

// Everything is allowed but what makes, changes or runs anything outside the process, or
// reaches out of it. Refused calls fail with EPERM, as a library expects of a call it may
// not make.
bool syscallFilter() {
    scmp_filter_ctx ctx = seccomp_init(SCMP_ACT_ALLOW);
    if (!ctx) return false;
    const std::uint32_t deny = SCMP_ACT_ERRNO(EPERM);
    bool ok = true;
    const auto rule = [&](int call, auto... args) {
        if (call < 0) return; // not a call of this architecture
        ok = ok && seccomp_rule_add(ctx, deny, call, sizeof...(args), args...) == 0;
    };
    for (const int call : {SCMP_SYS(execve),
                           SCMP_SYS(execveat),
                           SCMP_SYS(fork),
                           SCMP_SYS(vfork),
                           SCMP_SYS(creat),
                           SCMP_SYS(mkdir),
                           SCMP_SYS(mkdirat),
                           SCMP_SYS(mknod),
                           SCMP_SYS(mknodat),
                           SCMP_SYS(unlink),
                           SCMP_SYS(unlinkat),
                           SCMP_SYS(rmdir),
                           SCMP_SYS(rename),
                           SCMP_SYS(renameat),
                           SCMP_SYS(renameat2),
                           SCMP_SYS(link),
                           SCMP_SYS(linkat),
                           SCMP_SYS(symlink),
                           SCMP_SYS(symlinkat),
                           SCMP_SYS(chmod),
                           SCMP_SYS(fchmod),
                           SCMP_SYS(fchmodat),
                           SCMP_SYS(chown),
                           SCMP_SYS(fchown),
                           SCMP_SYS(lchown),
                           SCMP_SYS(fchownat),
                           SCMP_SYS(truncate),
                           SCMP_SYS(utimensat),
                           SCMP_SYS(utimes),
                           SCMP_SYS(setxattr),
                           SCMP_SYS(lsetxattr),
                           SCMP_SYS(fsetxattr),
                           SCMP_SYS(removexattr),
                           SCMP_SYS(socket),
                           SCMP_SYS(socketpair),
                           SCMP_SYS(connect),
                           SCMP_SYS(bind),
                           SCMP_SYS(listen),
                           SCMP_SYS(accept),
                           SCMP_SYS(accept4),
                           SCMP_SYS(ptrace),
                           SCMP_SYS(process_vm_writev),
                           SCMP_SYS(process_vm_readv),
                           SCMP_SYS(mount),
                           SCMP_SYS(umount2),
                           SCMP_SYS(pivot_root),
                           SCMP_SYS(chroot),
                           SCMP_SYS(unshare),
                           SCMP_SYS(setns),
                           SCMP_SYS(memfd_create),
                           SCMP_SYS(io_uring_setup)})
        rule(call);
    // Opening for writing or creating.
    for (const std::uint32_t bit : {std::uint32_t(O_WRONLY), std::uint32_t(O_RDWR),
                                    std::uint32_t(O_CREAT), std::uint32_t(O_TRUNC)}) {
        rule(SCMP_SYS(open), maskedEqual(1, bit, bit));
        rule(SCMP_SYS(openat), maskedEqual(2, bit, bit));
    }
    // Threads, but no new processes; the newer call hides its flags, and the C library
    // falls back to the older one when it is missing.
    rule(SCMP_SYS(clone), maskedEqual(0, CLONE_THREAD, 0));
    if (ok) ok = seccomp_rule_add(ctx, SCMP_ACT_ERRNO(ENOSYS), SCMP_SYS(clone3), 0) == 0;
    if (ok) ok = seccomp_rule_add(ctx, SCMP_ACT_ERRNO(ENOSYS), SCMP_SYS(openat2), 0) == 0;
    ok = ok && seccomp_load(ctx) == 0;
    seccomp_release(ctx);
    return ok;
}

} // namespace

void limitResources() {
    ::close_range(rt::metafile::HelperSocket + 1, ~0U, 0);
    // (Not under AddressSanitizer, which reserves terabytes of address space for itself.)
    if (!SanitizedBuild) {
        const rlimit memory{MaxAddressSpace, MaxAddressSpace};
        ::setrlimit(RLIMIT_AS, &memory);
    }
    const rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);
}

void limitCpuFor(int seconds) {
    rusage used{};
    ::getrusage(RUSAGE_SELF, &used);
    const rlim_t now = rlim_t(used.ru_utime.tv_sec + used.ru_stime.tv_sec) + 1;
    rlimit cpu{};
    ::getrlimit(RLIMIT_CPU, &cpu);
    cpu.rlim_cur = now + rlim_t(seconds);
    if (cpu.rlim_max != RLIM_INFINITY && cpu.rlim_cur > cpu.rlim_max) cpu.rlim_cur = cpu.rlim_max;
    ::setrlimit(RLIMIT_CPU, &cpu);
}

Confined confine() {
    Confined c;
    ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0);
    c.landlockAbi = landlock();
    c.syscallFilter = syscallFilter();
    return c;
}

} // namespace helper
