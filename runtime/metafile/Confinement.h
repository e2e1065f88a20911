#pragma once
// The metafile helper's confinement: resource limits and no privileges from the start,
// then, once it has loaded what it needs, no writing, creating or executing anything and
// no reading outside the font, fontconfig and library folders (Landlock where the kernel
// has it), and only the system calls its renderers make (a libseccomp allow-list).

#include <sys/types.h>

namespace helper {

// Memory, core dumps, and no descriptor but the standard streams and the socket.
void limitResources();

struct Unprivileged {
    bool capabilities = false; // true: none left, the bounding set included
    bool namespaces = false;   // true: in network and IPC namespaces of its own (empty)
    uid_t uid = 0;             // the user it runs as from here on
};
// Before anything else runs, while the process has a single thread. Started by root, the
// helper becomes "nobody" (or 65534 where that user is missing); any other user stays
// who they are. Every capability goes, and no call can give any back (no new privileges).
// What could not be done is reported, not fatal.
Unprivileged dropPrivileges();

// Draw time of the coming request: the CPU the helper has used so far and `seconds` more.
void limitCpuFor(int seconds);

struct Confined {
    int landlockAbi = 0;        // 0: no Landlock (the kernel has none, or it was left out)
    bool syscallFilter = false; // false: the filter could not be installed
    int threads = 0;            // of the process when confined
};
// Irreversible. The filter holds for every thread; Landlock for the calling one and the
// threads it starts (those of the warm-up have ended by then: `threads` is 1). Without
// `withLandlock`, for the self-check of the filter alone. What could not be put in place
// is reported, not fatal.
Confined confine(bool withLandlock = true);

} // namespace helper
