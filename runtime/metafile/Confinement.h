#pragma once
// The metafile helper's confinement: resource limits from the start, then, once it has
// loaded what it needs, no writing, creating or executing anything and no reading outside
// the font, fontconfig and library folders (Landlock where the kernel has it, and a
// system-call filter through libseccomp).

namespace helper {

// Memory, core dumps, and no descriptor but the standard streams and the socket.
void limitResources();

// Draw time of the coming request: the CPU the helper has used so far and `seconds` more.
void limitCpuFor(int seconds);

struct Confined {
    int landlockAbi = 0;        // 0: the kernel has no Landlock, files are not confined
    bool syscallFilter = false; // false: the filter could not be installed
};
// Irreversible. What could not be put in place is reported, not fatal.
Confined confine();

} // namespace helper
