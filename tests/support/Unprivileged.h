#pragma once
// Runs a check in a child process as an ordinary user, so that file permissions hold
// even when the tests run as root. The check returns 0 on success; the child's exit
// code comes back (or 128 + the signal that ended it).

#include <functional>
#include <sys/wait.h>
#include <unistd.h>

inline int runUnprivileged(const std::function<int()>& check) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::getuid() == 0) {
            constexpr uid_t nobody = 65534;
            if (::setgid(nobody) != 0 || ::setuid(nobody) != 0) ::_exit(125);
        }
        ::_exit(check());
    }
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid) return 126;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
