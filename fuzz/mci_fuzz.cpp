// The media command parser on any text.

#include "FuzzSupport.h"
#include "MciCommand.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString command = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const rt::Result<rt::MciCommand> parsed = rt::parseMciCommand(command);
    if (!parsed.ok()) {
        // Every refusal carries one of the media error numbers.
        const int number = parsed.error().number;
        FUZZ_CHECK(number >= 259 && number <= 296);
        return 0;
    }
    const rt::MciCommand& c = parsed.value();
    FUZZ_CHECK(!c.alias.isEmpty());
    FUZZ_CHECK(c.alias == c.alias.toLower());
    FUZZ_CHECK(c.verb == rt::MciVerb::Open ? !c.path.isEmpty() : c.path.isEmpty());
    // What the program would send for the same command reads back the same.
    QString again;
    switch (c.verb) {
    case rt::MciVerb::Open:
        if (c.path.contains(QLatin1Char('"'))) return 0;
        again = QStringLiteral("open \"") + c.path + QStringLiteral("\" type sequencer alias ") +
                c.alias;
        break;
    case rt::MciVerb::Play:
        again = QStringLiteral("play ") + c.alias;
        break;
    case rt::MciVerb::Close:
        again = QStringLiteral("close ") + c.alias;
        break;
    }
    const rt::Result<rt::MciCommand> reread = rt::parseMciCommand(again);
    FUZZ_CHECK(reread.ok() && reread.value() == c);
    return 0;
}
