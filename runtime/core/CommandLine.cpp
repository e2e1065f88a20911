// Splitting a command line into its words: blanks separate, double quotes group.

#include "CommandLine.h"

namespace rt {

QStringList splitCommandLine(const QString& commandLine) {
    QStringList words;
    QString word;
    bool inWord = false; // a word has begun (it may still be empty: "")
    bool inQuotes = false;
    for (const QChar c : commandLine) {
        if (c == QLatin1Char('"')) {
            inQuotes = !inQuotes;
            inWord = true;
        } else if (!inQuotes && (c == QLatin1Char(' ') || c == QLatin1Char('\t'))) {
            if (inWord) words << word;
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) words << word; // an unclosed quote runs to the end of the line
    return words;
}

} // namespace rt
