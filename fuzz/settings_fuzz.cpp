// The settings reader: the input is the settings file in a program folder of its own,
// read through the DOS file system as the dialog reads it at start. (LeadingNumber alone
// has a target of its own: number.)

#include "FuzzSupport.h"
#include "SettingsFile.h"

#include <cstddef>
#include <cstdint>

namespace {

struct Folder {
    QString host;
    QString dos;
};

const Folder& programFolder() {
    static const Folder folder = [] {
        Folder f;
        f.host = fuzz::scratchFolder() + QStringLiteral("/programma");
        QDir().mkpath(f.host);
        f.dos = rt::DosFileSystem().toDos(f.host).valueOr(QString());
        if (f.dos.isEmpty()) fuzz::broken("the scratch folder has no DOS path");
        return f;
    }();
    return folder;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const char* chars = reinterpret_cast<const char*>(data);

    const Folder& folder = programFolder();
    if (!fuzz::writeFile(folder.host + QStringLiteral("/QUADRO.INI"), chars, size))
        fuzz::broken("cannot write the settings file");
    rt::DosFileSystem files;
    settings::Modulo1 s;
    const settings::CheckValues checks = settings::LoadSettings(s, files, folder.dos);
    FUZZ_CHECK(!s.FolderPath.isEmpty());
    for (const std::int16_t v : {s.MusicaFM, s.SuonoWAV, s.Effetti})
        FUZZ_CHECK(v >= 0 && v <= 2);
    for (const auto& c : {checks.check1, checks.check2, checks.check3})
        FUZZ_CHECK(!c || (*c >= 0 && *c <= 2));
    FUZZ_CHECK(files.curDir() == folder.dos);

    // Of a file longer than the limit, the start is read as if the file ended there.
    const qint64 limit = qint64(size) / 2;
    const rt::Result<QStringList> cut =
        files.readLines(folder.dos + QStringLiteral("\\QUADRO.INI"), limit);
    if (!fuzz::writeFile(folder.host + QStringLiteral("/START.INI"), chars, std::size_t(limit)))
        fuzz::broken("cannot write the start of the settings file");
    const rt::Result<QStringList> start =
        files.readLines(folder.dos + QStringLiteral("\\START.INI"), qint64(size));
    FUZZ_CHECK(cut.ok() && start.ok() && cut.value() == start.value());
    return 0;
}
