// The settings file QUADRO.INI: five lines read and written, and the leading number of a
// text.

#include "SettingsFile.h"

#include "Numbers.h"
#include "Platform.h"

#include <QStringList>

#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace settings {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Length of the longest numeric beginning of `s` (already free of blanks).
std::size_t numericPrefix(const std::string& s) {
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    std::size_t digits = 0;
    while (i < s.size() && isDigit(s[i]))
        ++i, ++digits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && isDigit(s[i]))
            ++i, ++digits;
    }
    if (digits == 0) return 0;
    // The exponent counts only when it is complete: "1e" and "1e+" read as 1.
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D')) {
        std::size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
        const std::size_t expStart = j;
        while (j < s.size() && isDigit(s[j]))
            ++j;
        if (j > expStart) i = j;
    }
    return i;
}

// The file keeps five lines: of a longer one only this much is read, as if it ended there.
constexpr qint64 MaxSettingsBytes = 256 * 1024;

enum class Key { Path, TempoAttesa, MusicaFM, SuonoWAV, Effetti };

struct KeyName {
    Key key;
    QLatin1StringView name;
};

// The order in which a line is tested: the first key that occurs decides.
constexpr std::array<KeyName, 5> Keys{{
    {Key::Path, QLatin1StringView("PATH=")},
    {Key::TempoAttesa, QLatin1StringView("TempoAttesa=")},
    {Key::MusicaFM, QLatin1StringView("MusicaFM=")},
    {Key::SuonoWAV, QLatin1StringView("SuonoWAV=")},
    {Key::Effetti, QLatin1StringView("Effetti=")},
}};

QString withoutLeadingBlanks(const QString& s) {
    qsizetype i = 0;
    while (i < s.size() && s[i] == QLatin1Char(' '))
        ++i;
    return s.mid(i);
}

// A switch value the check boxes can hold: 0 clear, 1 ticked, 2 greyed.
std::optional<std::int16_t> switchValue(double v) {
    const auto n = rt::toInt16(v);
    if (n && *n >= 0 && *n <= 2) return n;
    return std::nullopt;
}

void applyDefaults(Modulo1& s, const QString& programFolder) {
    s.FolderPath = programFolder;
    s.TempoAttesa = 5;
    s.SuonoWAV = 1;
    s.MusicaFM = 1;
    s.Effetti = 1;
}

// The reader and the writer make the program folder current before they touch the file.
void makeProgramFolderCurrent(rt::DosFileSystem& files, const QString& programFolder) {
    // The program folder was found when the program started; should it be gone since,
    // the current drive and folder stay as they were, and the file's own path says where
    // it is.
    (void)files.chDrive(programFolder);
    (void)files.chDir(programFolder);
}
} // namespace

double LeadingNumber(const QString& text) {
    std::string s;
    s.reserve(std::size_t(text.size()));
    for (const QChar c : text) {
        if (c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n')) continue;
        // Anything outside ASCII ends the number anyway.
        s.push_back(c.unicode() < 128 ? char(c.unicode()) : '\x7f');
    }
    std::size_t n = numericPrefix(s);
    if (n == 0) return 0.0;
    std::string number = s.substr(0, n);
    for (char& c : number)
        if (c == 'd' || c == 'D') c = 'e';
    const char* first = number.c_str();
    if (*first == '+') ++first; // from_chars takes no plus sign
    double value = 0.0;
    const auto [ptr, ec] = std::from_chars(first, number.c_str() + number.size(), value);
    (void)ptr;
    if (ec == std::errc::result_out_of_range) {
        // Too large: an infinity of the right sign; too small: zero.
        const bool negative = number.front() == '-';
        const auto expAt = number.find('e');
        const bool tiny =
            expAt != std::string::npos && number.find('-', expAt) != std::string::npos;
        if (tiny) return 0.0;
        return negative ? -std::numeric_limits<double>::infinity()
                        : std::numeric_limits<double>::infinity();
    }
    return value;
}

QString NumberForm(int value) {
    const QString digits = QString::number(value < 0 ? -qint64(value) : qint64(value));
    return (value < 0 ? QStringLiteral("-") : QStringLiteral(" ")) + digits + QLatin1Char(' ');
}

CheckValues LoadSettings(Modulo1& s, rt::DosFileSystem& files, const QString& programFolder) {
    makeProgramFolderCurrent(files, programFolder);
    const QString path = rt::withBackslash(programFolder) + SettingsFileName;

    CheckValues checks;
    const rt::Result<QStringList> lines =
        files.fileExists(path) ? files.readLines(path, MaxSettingsBytes)
                               : rt::Result<QStringList>(rt::Error{rt::err::FileNotFound, {}});
    if (!lines.ok()) {
        applyDefaults(s, programFolder);
        return checks;
    }

    for (const QString& line : lines.value()) {
        const KeyName* found = nullptr;
        for (const KeyName& k : Keys) {
            if (line.contains(k.name, Qt::CaseSensitive)) {
                found = &k;
                break;
            }
        }
        if (!found) continue;
        const QString value = withoutLeadingBlanks(line.mid(line.indexOf(QLatin1Char('=')) + 1));
        if (found->key == Key::Path) {
            s.FolderPath = value;
            continue;
        }
        const double number = LeadingNumber(value);
        switch (found->key) {
        case Key::TempoAttesa:
            if (const auto n = rt::toInt16(number)) s.TempoAttesa = *n;
            break;
        case Key::MusicaFM:
            if (const auto n = switchValue(number)) s.MusicaFM = *n, checks.check1 = *n;
            break;
        case Key::SuonoWAV:
            if (const auto n = switchValue(number)) s.SuonoWAV = *n, checks.check2 = *n;
            break;
        case Key::Effetti:
            if (const auto n = switchValue(number)) s.Effetti = *n, checks.check3 = *n;
            break;
        case Key::Path:
            break;
        }
    }
    if (s.FolderPath.isEmpty()) s.FolderPath = programFolder;
    return checks;
}

rt::Error SaveSettings(const Modulo1& s, rt::DosFileSystem& files, const QString& programFolder,
                       const QString& folder, const QString& secondsText) {
    makeProgramFolderCurrent(files, programFolder);
    const QStringList lines{
        QStringLiteral("PATH=") + folder,
        QStringLiteral("TempoAttesa=") + secondsText,
        QStringLiteral("MusicaFM=") + NumberForm(s.MusicaFM),
        QStringLiteral("SuonoWAV=") + NumberForm(s.SuonoWAV),
        QStringLiteral("Effetti=") + NumberForm(s.Effetti),
    };
    return files.writeLines(rt::withBackslash(programFolder) + SettingsFileName, lines);
}

} // namespace settings
