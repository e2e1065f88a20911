// DOS paths against the host's folders: the current folder, the case-blind lookup of a
// path, and a listing with a wildcard pattern in a small folder. The input holds up to
// three fields separated by zero bytes: a folder to make current, a DOS path and a
// pattern. Host lookups only read: stat and folder listings.

#include "DosFiles.h"
#include "FuzzSupport.h"

#include <cstddef>
#include <cstdint>

namespace {

// A small folder to list with the fuzzed patterns.
const QString& listingFolder() {
    static const QString folder = [] {
        const QString f = fuzz::scratchFolder() + QStringLiteral("/lista");
        QDir().mkpath(f + QStringLiteral("/Sotto"));
        for (const char* name : {"foto.JPG", "Foto.jpg", "a.b.c", "senza", ".nascosto", "x y.gif"})
            fuzz::writeFile(f + QLatin1Char('/') + QLatin1String(name), "", 0);
        return f;
    }();
    return folder;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto [current, path, pattern] = fuzz::textFields<3>(data, size);

    rt::DosFileSystem files;
    const rt::Result<QString> home = files.toDos(listingFolder());
    FUZZ_CHECK(home.ok());
    FUZZ_CHECK(!files.chDir(home.value()).failed());
    if (!current.isEmpty()) {
        // The new current folder is kept in its absolute form.
        const rt::Result<QString> wanted = files.absolute(current);
        if (!files.chDir(current).failed())
            FUZZ_CHECK(wanted.ok() && files.curDir(wanted.value()[0]) == wanted.value());
    }

    // A path that is valid maps to an absolute host path; one that is not, to nothing.
    const rt::Result<QString> host = files.toHost(path);
    FUZZ_CHECK(host.ok() == files.absolute(path).ok());
    if (host.ok()) {
        FUZZ_CHECK(host.value().startsWith(QLatin1Char('/')));
        (void)files.fileExists(path);
        (void)files.getAttr(path);
    }

    // A listing with the pattern in the small folder: every entry matches it.
    if (!pattern.contains(QLatin1Char('\\')) && !pattern.contains(QLatin1Char('/'))) {
        const rt::Result<QStringList> found =
            files.list(home.value() + QLatin1Char('\\') + pattern, rt::ListMode::FoldersIncluded);
        if (found.ok())
            for (const QString& entry : found.value())
                FUZZ_CHECK(entry == QLatin1String(".") || entry == QLatin1String("..") ||
                           rt::DosFileSystem::matchesPattern(
                               pattern.isEmpty() ? QStringLiteral("*.*") : pattern, entry));
    }
    return 0;
}
