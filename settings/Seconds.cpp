// The seconds box's reading: the range check, the locale's reading and the milliseconds.

#include "Seconds.h"

#include "Numbers.h"
#include "SettingsFile.h"

namespace settings {

SecondsReading ReadSeconds(const QString& text, const QLocale& locale) {
    const double number = LeadingNumber(text);
    if (number > 30) return {TooManySeconds, QStringLiteral("30"), std::nullopt};
    // Also a box without any number: its leading number is 0.
    if (number < 1) return {Text1Refused, std::nullopt, std::nullopt};

    // A decimal comma counts where the locale has one: "2,5" is 2.5 seconds in Italian,
    // though its range was checked as 2.
    bool ok = false;
    double seconds = locale.toDouble(text, &ok);
    if (!ok) seconds = number;
    return {QString(), std::nullopt, rt::toInt16(seconds * 1000)};
}

} // namespace settings
