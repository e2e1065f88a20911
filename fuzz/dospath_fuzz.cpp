// DOS path mapping and wildcard matching, without the file system. The input holds up
// to four fields separated by zero bytes: a mount table, a path (read both as a DOS path
// and as a host path), a wildcard pattern and a name.

#include "DosFiles.h"
#include "FuzzSupport.h"

#include <cstddef>
#include <cstdint>

namespace {

// "X:\" or "X:\a\b": no empty, "." or ".." component, no "/".
bool isAbsoluteForm(const QString& p) {
    if (p.size() < 3 || p[1] != QLatin1Char(':') || p[2] != QLatin1Char('\\')) return false;
    if (p.size() == 3) return true;
    for (const QString& part : p.mid(3).split(QLatin1Char('\\')))
        if (part.isEmpty() || part == QLatin1String(".") || part == QLatin1String(".."))
            return false;
    return !p.contains(QLatin1Char('/'));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto [mounts, path, pattern, name] = fuzz::textFields<4>(data, size);

    const rt::DriveTable table = rt::DriveTable::fromMountTable(mounts);
    FUZZ_CHECK(!table.drives().empty() && table.drives().size() <= 24);
    FUZZ_CHECK(table.drives().front().hostRoot == QLatin1String("/"));
    const rt::DosFileSystem files(table);

    // The absolute form is absolute, on a known drive, and stays as it is.
    const rt::Result<QString> abs = files.absolute(path);
    if (abs.ok()) {
        FUZZ_CHECK(isAbsoluteForm(abs.value()));
        FUZZ_CHECK(table.find(abs.value()[0]) != nullptr);
        const rt::Result<QString> again = files.absolute(abs.value());
        FUZZ_CHECK(again.ok() && again.value() == abs.value());
    }

    // A host path read as DOS comes out absolute, and stays as it is.
    const rt::Result<QString> dos = files.toDos(path);
    if (dos.ok()) {
        FUZZ_CHECK(isAbsoluteForm(dos.value()));
        const rt::Result<QString> back = files.absolute(dos.value());
        FUZZ_CHECK(back.ok() && back.value() == dos.value());
    }

    // Wildcards: a pattern without any matches itself, "*" matches every name.
    (void)rt::DosFileSystem::matchesPattern(pattern, name);
    if (rt::DosFileSystem::isListableName(name))
        FUZZ_CHECK(rt::DosFileSystem::matchesPattern(QStringLiteral("*"), name) &&
                   rt::DosFileSystem::matchesPattern(QStringLiteral("*.*"), name));
    if (!pattern.contains(QLatin1Char('*')) && !pattern.contains(QLatin1Char('?')))
        FUZZ_CHECK(rt::DosFileSystem::matchesPattern(pattern, pattern));
    return 0;
}
