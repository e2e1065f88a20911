// Parsing the sequencer command strings ("open", "play", "close") into commands.

#include "MciCommand.h"

#include <vector>

namespace rt {

namespace {

struct Word {
    QString text;
    bool quoted = false;
};

bool isBlank(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

Error fail(int number, const char* what) {
    return {number, QString::fromLatin1(what)};
}

// Splits a command into words. A word that begins with a double quote runs to the next
// double quote and must be followed by a blank or the end; a double quote anywhere else
// leaves the quotes unbalanced.
Result<std::vector<Word>> splitWords(const QString& command) {
    const QChar quote = QLatin1Char('"');
    std::vector<Word> words;
    qsizetype i = 0;
    const qsizetype n = command.size();
    while (i < n) {
        if (isBlank(command[i])) {
            ++i;
            continue;
        }
        Word w;
        if (command[i] == quote) {
            const qsizetype close = command.indexOf(quote, i + 1);
            if (close < 0) return fail(mcierr::NoClosingQuote, "no closing quote");
            if (close + 1 < n && !isBlank(command[close + 1]))
                return fail(mcierr::NoClosingQuote, "text right after a closing quote");
            w.text = command.mid(i + 1, close - i - 1);
            w.quoted = true;
            i = close + 1;
        } else {
            const qsizetype start = i;
            while (i < n && !isBlank(command[i])) {
                if (command[i] == quote) return fail(mcierr::NoClosingQuote, "quote inside a word");
                ++i;
            }
            w.text = command.mid(start, i - start);
        }
        words.push_back(std::move(w));
    }
    return words;
}

bool isKeyword(const Word& w, const char* keyword) {
    return !w.quoted && w.text.compare(QLatin1String(keyword), Qt::CaseInsensitive) == 0;
}

// The device name of a command: a plain word, kept in lower case.
Result<QString> deviceName(const Word& w) {
    if (w.text.isEmpty()) return fail(mcierr::MissingStringArgument, "empty device name");
    if (w.quoted) return fail(mcierr::InvalidDeviceName, "quoted device name");
    return w.text.toLower();
}

Result<MciCommand> parseOpen(const std::vector<Word>& w) {
    // open <path> type sequencer alias <name>
    if (w.size() < 2) return fail(mcierr::MissingDeviceName, "open without a file");
    if (w[1].text.isEmpty()) return fail(mcierr::MissingStringArgument, "empty file name");
    if (w.size() < 3) return fail(mcierr::MissingParameter, "open without a device type");
    if (!isKeyword(w[2], "type")) return fail(mcierr::UnrecognizedKeyword, "expected 'type'");
    if (w.size() < 4) return fail(mcierr::MissingStringArgument, "open without a device type");
    if (!isKeyword(w[3], "sequencer"))
        return fail(mcierr::InvalidDeviceName, "unknown device type");
    if (w.size() < 5) return fail(mcierr::MissingParameter, "open without an alias");
    if (!isKeyword(w[4], "alias")) return fail(mcierr::UnrecognizedKeyword, "expected 'alias'");
    if (w.size() < 6) return fail(mcierr::MissingStringArgument, "open without an alias");
    if (w.size() > 6) return fail(mcierr::UnrecognizedKeyword, "extra words after the alias");
    Result<QString> alias = deviceName(w[5]);
    if (!alias.ok()) return alias.error();
    return MciCommand{MciVerb::Open, w[1].text, std::move(alias).value()};
}

Result<MciCommand> parseNamed(MciVerb verb, const std::vector<Word>& w) {
    // play <name> | close <name>
    if (w.size() < 2) return fail(mcierr::MissingDeviceName, "no device name");
    if (w.size() > 2) return fail(mcierr::UnrecognizedKeyword, "extra words after the device name");
    Result<QString> alias = deviceName(w[1]);
    if (!alias.ok()) return alias.error();
    return MciCommand{verb, QString(), std::move(alias).value()};
}

} // namespace

Result<MciCommand> parseMciCommand(const QString& command) {
    Result<std::vector<Word>> split = splitWords(command);
    if (!split.ok()) return split.error();
    const std::vector<Word>& w = split.value();
    if (w.empty()) return fail(mcierr::MissingCommandString, "empty command");
    if (isKeyword(w[0], "open")) return parseOpen(w);
    if (isKeyword(w[0], "play")) return parseNamed(MciVerb::Play, w);
    if (isKeyword(w[0], "close")) return parseNamed(MciVerb::Close, w);
    return fail(mcierr::UnrecognizedCommand, "unknown command");
}

} // namespace rt
