// The launcher's command-line splitter on any text.

#include "CommandLine.h"
#include "FuzzSupport.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString line = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const QStringList words = rt::splitCommandLine(line);
    qsizetype letters = 0;
    for (const QString& w : words) {
        // Quotes only group: they never reach a word.
        FUZZ_CHECK(!w.contains(QLatin1Char('"')));
        letters += w.size();
    }
    FUZZ_CHECK(letters <= line.size());
    // A line without quotes or blanks at its ends is one word per blank-separated run.
    if (!line.contains(QLatin1Char('"')) && !line.contains(QLatin1Char('\t')))
        FUZZ_CHECK(words == line.split(QLatin1Char(' '), Qt::SkipEmptyParts));
    return 0;
}
