// LeadingNumber, the reader of the settings file's numbers, on any text.

#include "FuzzSupport.h"
#include "SettingsFile.h"

#include <cmath>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const double number = settings::LeadingNumber(text);
    FUZZ_CHECK(!std::isnan(number));
    // Blanks, tabs and line feeds do not count, wherever they stand.
    QString bare = text;
    bare.remove(QLatin1Char(' ')).remove(QLatin1Char('\t')).remove(QLatin1Char('\n'));
    const double again = settings::LeadingNumber(bare);
    FUZZ_CHECK(again == number || (std::isnan(again) && std::isnan(number)));
    // The number form the file keeps reads back as the same number.
    if (std::isfinite(number) && std::abs(number) <= 32767 && number == std::trunc(number))
        FUZZ_CHECK(settings::LeadingNumber(settings::NumberForm(int(number))) == number);
    return 0;
}
