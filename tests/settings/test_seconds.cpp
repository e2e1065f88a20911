// The seconds box as OK reads it: the range on the leading number, the locale's reading of
// accepted seconds, and milliseconds that do not fit.

#include "Seconds.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

#include <optional>

using settings::ReadSeconds;
using settings::SecondsReading;

namespace {

struct SecondsCase {
    const char* text;
    QLocale::Language language;
    int ms;              // when accepted; -1: does not fit, the stored wait is kept
    const char* refusal; // "" when accepted, "few" or "many"
};

void PrintTo(const SecondsCase& c, std::ostream* os) {
    *os << '"' << c.text << "\" in " << QLocale::languageToCode(c.language).toStdString();
}

class SecondsTable : public testing::TestWithParam<SecondsCase> {};

TEST_P(SecondsTable, Reads) {
    const SecondsCase& c = GetParam();
    const SecondsReading r = ReadSeconds(QString::fromUtf8(c.text), QLocale(c.language));
    const std::string refusal = c.refusal;
    if (refusal.empty()) {
        EXPECT_TRUE(r.accepted());
        EXPECT_EQ(r.refusal, QString());
        EXPECT_FALSE(r.boxText);
        EXPECT_EQ(r.ms, c.ms < 0 ? std::nullopt : std::optional<std::int16_t>(c.ms));
    } else if (refusal == "many") {
        EXPECT_EQ(r.refusal, settings::TooManySeconds);
        EXPECT_EQ(r.boxText, std::optional<QString>(QStringLiteral("30")));
        EXPECT_FALSE(r.ms);
    } else {
        EXPECT_EQ(r.refusal, settings::Text1Refused);
        EXPECT_FALSE(r.boxText); // the box keeps what the user typed
        EXPECT_FALSE(r.ms);
    }
}

constexpr auto C = QLocale::C;
constexpr auto It = QLocale::Italian;

INSTANTIATE_TEST_SUITE_P(Cases, SecondsTable,
                         testing::Values(
                             // The range, on the number the text begins with.
                             SecondsCase{"1", C, 1000, ""}, SecondsCase{"30", C, 30000, ""},
                             SecondsCase{"05", It, 5000, ""}, SecondsCase{"31", C, 0, "many"},
                             SecondsCase{"30.5", C, 0, "many"}, SecondsCase{"1e999", C, 0, "many"},
                             SecondsCase{"3e1", C, 30000, ""}, SecondsCase{"0", C, 0, "few"},
                             SecondsCase{"0.9", C, 0, "few"}, SecondsCase{"-5", C, 0, "few"},
                             SecondsCase{"", C, 0, "few"}, SecondsCase{"ab", C, 0, "few"},
                             // "0,5" is half a second in Italian, but its leading number is 0.
                             SecondsCase{"0,5", It, 0, "few"},
                             // Text the locale cannot read counts by its leading number.
                             SecondsCase{"7x", C, 7000, ""}, SecondsCase{"1 2", C, 12000, ""},
                             SecondsCase{"1.5", It, 1500, ""}, SecondsCase{"1,5", C, 1000, ""},
                             // The locale's decimal comma, checked as the whole seconds before it.
                             SecondsCase{"1,5", It, 1500, ""}, SecondsCase{"30,5", It, 30500, ""},
                             // Half milliseconds round to even.
                             SecondsCase{"1,0005", It, 1000, ""},
                             SecondsCase{"1,0015", It, 1002, ""},
                             // A thousands separator passes the range as the number before it, then
                             // makes milliseconds past 16 bits: the stored wait stays as it was.
                             SecondsCase{"1.000", It, -1, ""}, SecondsCase{"30,000", C, -1, ""}));

} // namespace
