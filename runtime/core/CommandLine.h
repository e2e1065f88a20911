#pragma once
// Splitting a command line into its words, as the classic program launcher does: blanks
// (spaces and tabs) separate words, double quotes group (a quoted run may hold blanks and
// is joined to whatever touches it: a"b c"d is the one word ab cd), and the quotes
// themselves are dropped. "" is an empty word. Nothing else is special: backslashes,
// single quotes, ; & | $ ( ) and backquotes are ordinary characters.

#include <QString>
#include <QStringList>

namespace rt {

[[nodiscard]] QStringList splitCommandLine(const QString& commandLine);

} // namespace rt
