#pragma once
// The settings file "QUADRO.INI" in the program folder: five lines, each a key ending
// in "=" and its value, CR LF after each.
//
//   PATH=C:\home\anna\foto
//   TempoAttesa=5
//   MusicaFM= 1
//   SuonoWAV= 1
//   Effetti= 0

#include "DosFiles.h"
#include "Modulo1.h"

#include <QString>

#include <cstdint>
#include <optional>

namespace settings {

inline const QString SettingsFileName = QStringLiteral("QUADRO.INI");

// The value of the longest numeric beginning of a text: blanks, tabs and line feeds are
// skipped wherever they stand; an optional sign, digits, an optional "." with more
// digits and an optional exponent; "." is the decimal separator whatever the locale.
// 0 when the text has no such beginning.
[[nodiscard]] double LeadingNumber(const QString& text);

// A number as the file keeps it: a blank (or "-") where the sign goes, the digits, and
// one trailing blank: 1 -> " 1 ", -3 -> "-3 ".
[[nodiscard]] QString NumberForm(int value);

// The values the file gave for the three check boxes (Check1 music, Check2 comments,
// Check3 transitions); empty where the file said nothing usable, so the box keeps its
// designed value.
struct CheckValues {
    std::optional<std::int16_t> check1;
    std::optional<std::int16_t> check2;
    std::optional<std::int16_t> check3;
};

// Makes the program folder the current drive and directory, then fills the shared
// settings from the file, or with the defaults when there is no file (folder = program
// folder, 5 seconds, all switches 1). A number that does not fit its 16-bit field, or a
// switch other than 0, 1 or 2, is ignored. Reports nothing.
CheckValues LoadSettings(Modulo1& s, rt::DosFileSystem& files, const QString& programFolder);

// Makes the program folder the current drive and directory, then writes the five lines:
// the folder as the folder list gives it, the seconds text as typed, and the three
// switches of `s` in number form. The old file stays whole when anything fails. The
// dialog passes a failure over in silence; the error is returned for those who care.
rt::Error SaveSettings(const Modulo1& s, rt::DosFileSystem& files, const QString& programFolder,
                       const QString& folder, const QString& secondsText);

} // namespace settings
