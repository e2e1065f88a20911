#pragma once
// The media command strings the program sends to its MIDI sequencer, read into a
// plain value. Only three commands exist:
//
//   open "<path>" type sequencer alias <name>    (an unquoted path without blanks too)
//   play <name>                                   (a trailing blank is fine)
//   close <name>
//
// Verbs and keywords are matched without regard to case; names are kept in lower
// case, so "CAN" and "can" are one device. Words are separated by blanks or tabs.
// Anything else is an error carrying the classic media error number.

#include "Result.h"

#include <QString>

namespace rt {

// Classic media error numbers.
namespace mcierr {
inline constexpr int UnrecognizedKeyword = 259;
inline constexpr int UnrecognizedCommand = 261;
inline constexpr int Hardware = 262;          // no sound device could be opened
inline constexpr int InvalidDeviceName = 263; // no device open under that name, or an unknown type
inline constexpr int MissingCommandString = 267;
inline constexpr int MissingStringArgument = 269;
inline constexpr int MissingParameter = 273;
inline constexpr int FileNotFound = 275;
inline constexpr int Internal = 277;
inline constexpr int DuplicateAlias = 289;
inline constexpr int MissingDeviceName = 292;
inline constexpr int NoClosingQuote = 294;
inline constexpr int InvalidFile = 296; // the file is there but is not one the device plays
} // namespace mcierr

enum class MciVerb { Open, Play, Close };

struct MciCommand {
    MciVerb verb = MciVerb::Close;
    QString path;  // open only: the DOS path as written, without its quotes
    QString alias; // lower case, never empty

    friend bool operator==(const MciCommand&, const MciCommand&) = default;
};

// Reads one command string. Pure: no device or file is touched.
[[nodiscard]] Result<MciCommand> parseMciCommand(const QString& command);

} // namespace rt
