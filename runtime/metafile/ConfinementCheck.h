#pragma once
// The metafile helper's self-check (`--check-confinement`): what it runs as, and a table of
// calls that the confinement must refuse, each tried for real on targets it could change
// if the call went through (a file and a process of its own). Printed one line each:
//   call NAME: refused (EPERM) | refused (ended by SIGSYS) | allowed | failed (ERRNO)

#include "Confinement.h"

#include <string>
#include <sys/types.h>

namespace helper {

// Made before the confinement, as the helper's user: a scratch folder holding a file of
// its own (left behind: the confined helper cannot remove it), that file open for reading,
// a waiting child of the same user (ended with the helper), and /proc/self/status open.
struct CheckTargets {
    std::string folder, file;
    int fd = -1, status = -1;
    pid_t other = -1;
};
CheckTargets prepareCheck();

// Before the confinement: each call that ends the process, tried in a child that confines
// itself the same way first. Printed at once.
void checkDeadlyCalls(const CheckTargets& targets, bool withLandlock);

// Once confined: prints the confinement, the process's status and the table. Returns 0.
int checkConfinement(const Unprivileged& unprivileged, const Confined& confined,
                     const CheckTargets& targets);

} // namespace helper
