// The metafile helper's confinement: resource and CPU limits, no privileges, Landlock, the
// system-call filter.

#include "Confinement.h"

#include "MetafileProtocol.h"

#include <seccomp.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <linux/capability.h>
#include <linux/landlock.h>
#include <linux/sched.h>
#include <pwd.h>
#include <sched.h>
#include <string>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <utility>
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

// --- No privileges ------------------------------------------------------------------------

// The user a helper started by root becomes when "nobody" is missing: the kernel's own
// overflow user and group, which own nothing.
constexpr uid_t OverflowId = 65534;

bool writeText(const char* path, const std::string& text) {
    const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool done = ::write(fd, text.data(), text.size()) == ssize_t(text.size());
    ::close(fd);
    return done;
}

// Empty network and IPC namespaces: nothing to connect to, no shared memory of others.
// Root makes them directly; another user needs a user namespace of its own, where the
// kernel lets users have one, mapped to itself so that files keep their owners.
bool ownNamespaces(bool root) {
    if (root) return ::unshare(CLONE_NEWNET | CLONE_NEWIPC) == 0;
    const uid_t uid = ::getuid();
    const gid_t gid = ::getgid();
    if (::unshare(CLONE_NEWUSER | CLONE_NEWNET | CLONE_NEWIPC) != 0) return false;
    writeText("/proc/self/setgroups", "deny");
    writeText("/proc/self/uid_map", std::to_string(uid) + ' ' + std::to_string(uid) + " 1");
    writeText("/proc/self/gid_map", std::to_string(gid) + ' ' + std::to_string(gid) + " 1");
    return true;
}

int lastCapability() {
    int last = 63;
    if (std::FILE* f = std::fopen("/proc/sys/kernel/cap_last_cap", "re")) {
        if (std::fscanf(f, "%d", &last) != 1) last = 63;
        std::fclose(f);
    }
    return last;
}

bool setCapabilities(const __user_cap_data_struct (&data)[2]) {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    return ::syscall(SYS_capset, &header, data) == 0;
}

bool noCapabilities() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    if (::syscall(SYS_capget, &header, data) != 0) return false;
    for (const auto& d : data)
        if (d.effective || d.permitted || d.inheritable) return false;
    for (int cap = 0; cap <= lastCapability(); ++cap)
        if (::prctl(PR_CAPBSET_READ, cap, 0, 0, 0) != 0) return false;
    return true;
}

// Groups, group, then user: each step needs the privilege the next one takes away.
void becomeNobody() {
    uid_t uid = OverflowId;
    gid_t gid = OverflowId;
    if (const passwd* nobody = ::getpwnam("nobody")) {
        uid = nobody->pw_uid;
        gid = nobody->pw_gid;
    }
    if (uid == 0) return; // a "nobody" that is root is no change
    if (::setgroups(1, &gid) != 0 || ::setresgid(gid, gid, gid) != 0) return;
    // Root's groups are gone by now: a helper still root after this draws nothing.
    if (::setresuid(uid, uid, uid) != 0) ::_exit(EXIT_FAILURE);
}

// --- Landlock -----------------------------------------------------------------------------

// How long the warm-up's threads are waited for.
constexpr int ThreadsEndMs = 500;

int threads() {
    int n = 0;
    if (DIR* tasks = ::opendir("/proc/self/task")) {
        while (const dirent* e = ::readdir(tasks))
            if (e->d_name[0] != '.') ++n;
        ::closedir(tasks);
    }
    return n;
}

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

// --- The system-call filter ---------------------------------------------------------------

// A rule's test of the call's argument `arg`. (The library's SCMP_A0... macros write C
// compound literals, which C++ does not have.)
scmp_arg_cmp maskedEqual(unsigned arg, scmp_datum_t mask, scmp_datum_t value) {
    return scmp_arg_cmp{arg, SCMP_CMP_MASKED_EQ, mask, value};
}
scmp_arg_cmp equal(unsigned arg, scmp_datum_t value) {
    return scmp_arg_cmp{arg, SCMP_CMP_EQ, value, 0};
}

constexpr scmp_datum_t NewNamespaces = CLONE_NEWNS | CLONE_NEWCGROUP | CLONE_NEWUTS | CLONE_NEWIPC |
                                       CLONE_NEWUSER | CLONE_NEWPID | CLONE_NEWNET;
constexpr scmp_datum_t OpenForWriting = O_WRONLY | O_RDWR | O_CREAT | O_TRUNC | O_APPEND;

struct Allowed {
    Allowed(int c, std::vector<scmp_arg_cmp> w = {}) : call(c), when(std::move(w)) {}
    int call;
    std::vector<scmp_arg_cmp> when; // all must hold; none: any arguments
};

// The only calls the helper may make once confined: those its renderers, Qt, GLib and the
// C library were seen to make after start-up (strace -f over every sample, the fuzz corpora,
// metafiles of another program and the test suite's), with the arguments that could reach
// past the process narrowed, and the few a crash or a signal needs. A call may appear more
// than once: any of its rows allows it.
// Without Landlock nothing limits what an open reaches: the helper opens nothing once
// confined, and the fonts are those the warm-up opened.
std::vector<Allowed> allowList(pid_t self, bool opens) {
    const auto pid = scmp_datum_t(self);
    std::vector<Allowed> allowed{
        // The socket and the standard streams: requests in, answers out.
        {SCMP_SYS(read)},
        {SCMP_SYS(write)},
        {SCMP_SYS(close)},
        // A descriptor's own flags only, as the libraries use them: no owner to signal, no
        // signal, no input that signals (O_ASYNC), no lease, no lock that holds others up.
        {SCMP_SYS(fcntl), {equal(1, F_GETFD)}},
        {SCMP_SYS(fcntl), {equal(1, F_SETFD)}},
        {SCMP_SYS(fcntl), {equal(1, F_GETFL)}},
        {SCMP_SYS(fcntl), {equal(1, F_SETFL), maskedEqual(2, O_ASYNC, 0)}},
        {SCMP_SYS(fcntl), {equal(1, F_DUPFD_CLOEXEC)}},
        // Fonts and fontconfig's files, looked up and mapped.
        {SCMP_SYS(newfstatat)},
        {SCMP_SYS(access)},
        // Memory, never executable.
        {SCMP_SYS(brk)},
        {SCMP_SYS(mmap), {maskedEqual(2, PROT_EXEC, 0)}},
        {SCMP_SYS(mprotect), {maskedEqual(2, PROT_EXEC, 0)}},
        {SCMP_SYS(munmap)},
        {SCMP_SYS(mremap)}, // keeps the mapping's protection
        {SCMP_SYS(madvise)},
        // Threads of its own (the SVG renderer's and GLib's pools), named, woken and ended;
        // a process (no CLONE_THREAD) or a namespace is refused.
        {SCMP_SYS(clone), {maskedEqual(0, CLONE_THREAD | NewNamespaces, CLONE_THREAD)}},
        {SCMP_SYS(set_robust_list)},
        {SCMP_SYS(rseq)},
        {SCMP_SYS(futex)},
        {SCMP_SYS(eventfd2)},
        {SCMP_SYS(rt_sigprocmask)},
        {SCMP_SYS(sigaltstack)},       // each new thread's signal stack (the sanitizer build's)
        {SCMP_SYS(sched_getaffinity)}, // a thread's attributes (the sanitizer build's); reads only
        {SCMP_SYS(prctl), {equal(0, PR_SET_NAME)}},
        {SCMP_SYS(exit)},
        {SCMP_SYS(exit_group)},
        // The draw-time limit and the CPU used, of itself only.
        {SCMP_SYS(getrusage)},
        {SCMP_SYS(prlimit64), {equal(0, 0)}},
        {SCMP_SYS(prlimit64), {equal(0, pid)}},
        // An abort or a signal to itself, and the return from its handler.
        {SCMP_SYS(getpid)},
        {SCMP_SYS(gettid)},
        {SCMP_SYS(kill), {equal(0, pid)}},
        {SCMP_SYS(tgkill), {equal(0, pid)}},
        {SCMP_SYS(rt_sigreturn)},
        {SCMP_SYS(restart_syscall)},
        // The self-check's reading of its own status, opened before the confinement.
        {SCMP_SYS(pread64)},
    };
    // Where Landlock holds the reading to the font and library folders: opening for
    // reading only.
    if (opens) allowed.push_back({SCMP_SYS(openat), {maskedEqual(2, OpenForWriting, 0)}});
    return allowed;
}

// Calls no renderer makes and only an attack would: the process ends at once.
constexpr int Deadly[] = {
    SCMP_SYS(ptrace),       SCMP_SYS(process_vm_readv), SCMP_SYS(process_vm_writev),
    SCMP_SYS(bpf),          SCMP_SYS(perf_event_open),  SCMP_SYS(userfaultfd),
    SCMP_SYS(kexec_load),   SCMP_SYS(kexec_file_load),  SCMP_SYS(init_module),
    SCMP_SYS(finit_module), SCMP_SYS(delete_module),
};

// Everything not allowed fails with EPERM, as a library expects of a call it may not make;
// the newer clone and open calls with ENOSYS, so that the C library falls back to the
// older ones whose flags the filter can see.
bool syscallFilter(bool opens) {
    scmp_filter_ctx ctx = seccomp_init(SCMP_ACT_ERRNO(EPERM));
    if (!ctx) return false;
    // For every thread, those the libraries started during the warm-up too.
    bool ok = seccomp_attr_set(ctx, SCMP_FLTATR_CTL_TSYNC, 1) == 0;
    const auto add = [&](std::uint32_t action, int call, const std::vector<scmp_arg_cmp>& when) {
        if (call < 0) return; // not a call of this architecture
        ok = ok && seccomp_rule_add_array(ctx, action, call, unsigned(when.size()),
                                          when.empty() ? nullptr : when.data()) == 0;
    };
    for (const Allowed& a : allowList(::getpid(), opens))
        add(SCMP_ACT_ALLOW, a.call, a.when);
    for (const int call : Deadly)
        add(SCMP_ACT_KILL_PROCESS, call, {});
    add(SCMP_ACT_ERRNO(ENOSYS), SCMP_SYS(clone3), {});
    add(SCMP_ACT_ERRNO(ENOSYS), SCMP_SYS(openat2), {});
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

Unprivileged dropPrivileges() {
    Unprivileged u;
    const bool root = ::getuid() == 0 || ::geteuid() == 0;
    u.namespaces = ownNamespaces(root);
    // The bounding set first: dropping from it takes a capability the user change ends.
    for (int cap = 0; cap <= lastCapability(); ++cap)
        ::prctl(PR_CAPBSET_DROP, cap, 0, 0, 0);
    if (root) becomeNobody();
    ::prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_CLEAR_ALL, 0, 0, 0);
    const __user_cap_data_struct none[2]{};
    setCapabilities(none);
    ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0);
    u.capabilities = noCapabilities();
    u.uid = ::getuid();
    return u;
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

Confined confine(bool withLandlock) {
    Confined c;
    // Landlock binds the calling thread and those it starts later: the threads the
    // libraries started during the warm-up are given a moment to end.
    for (int waited = 0; (c.threads = threads()) > 1 && waited < ThreadsEndMs; ++waited)
        ::usleep(1000);
    ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0);
    c.landlockAbi = withLandlock ? landlock() : 0;
    c.syscallFilter = syscallFilter(c.landlockAbi > 0);
    return c;
}

} // namespace helper
