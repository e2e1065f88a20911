// The registry file parser on any text, then looked up the way the program reads it.

#include "FuzzSupport.h"
#include "RegistryHive.h"

#include <QRegularExpression>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const rt::Hive hive = rt::Hive::parse(text);

    // Every key a section line names, and its parents, answer; so do its values.
    static const QRegularExpression section(QStringLiteral(R"(^\s*\[([^\]\r\n]*)\]\s*$)"),
                                            QRegularExpression::MultilineOption);
    int looked = 0;
    auto sections = section.globalMatch(text);
    while (sections.hasNext() && looked++ < 64) {
        const QString key = sections.next().captured(1);
        (void)hive.hasKey(key);
        (void)hive.value(key, QString());
        (void)hive.value(key, QStringLiteral("PATH"));
        const qsizetype slash = key.lastIndexOf(QLatin1Char('\\'));
        if (slash > 0) (void)hive.hasKey(key.left(slash));
    }
    const QString tools =
        QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
    if (hive.value(tools, QStringLiteral("PATH"))) FUZZ_CHECK(hive.hasKey(tools));

    // The same text as the hive file, read through the bounded reader: the same answer.
    static const QString file = fuzz::scratchFolder() + QStringLiteral("/registry.reg");
    if (!fuzz::writeFile(file, reinterpret_cast<const char*>(data), size))
        fuzz::broken("cannot write the hive file");
    rt::HiveRegistry registry(file);
    rt::HKEY key = 0;
    const bool opened =
        registry.RegOpenKeyEx(rt::reg::LocalMachine, tools.mid(int(sizeof "HKEY_LOCAL_MACHINE")), 0,
                              rt::reg::KeyRead, key) == rt::reg::Success;
    FUZZ_CHECK(opened == hive.hasKey(tools));
    if (opened) registry.RegCloseKey(key);
    return 0;
}
