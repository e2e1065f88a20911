#pragma once
// The seconds per picture as OK reads them from the seconds box: accepted as the
// milliseconds the show waits, or refused with the message to show.

#include <QLocale>
#include <QString>

#include <cstdint>
#include <optional>

namespace settings {

// A box without a number of seconds, or with less than one.
inline const QString Text1Refused = QStringLiteral("Inserire un numero di secondi da 1 a 9");
// A box with more than 30 seconds.
inline const QString TooManySeconds = QStringLiteral(
    "Vuoi fare addormentare tutti quanti! 30 secondi mi sembrano il massimo per una foto.");

struct SecondsReading {
    // Empty when the seconds are accepted; otherwise the message to show.
    QString refusal;
    // When refused: the text the box holds instead, if any ("30" for too many seconds).
    std::optional<QString> boxText;
    // When accepted: the milliseconds, or empty when they do not fit in 16 bits (the
    // stored wait then stays as it was).
    std::optional<std::int16_t> ms;

    [[nodiscard]] bool accepted() const { return refusal.isEmpty(); }
};

// The range is checked on the number the text begins with ("." as the decimal separator):
// more than 30 or less than 1 is refused. Accepted seconds are then read as `locale` reads
// them, or by that leading number when the locale cannot read the text, and rounded to
// milliseconds half to even.
[[nodiscard]] SecondsReading ReadSeconds(const QString& text, const QLocale& locale);

} // namespace settings
