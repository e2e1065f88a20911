// The settings file: reading, writing and the leading number of a text.

#include "SettingsFile.h"

#include "QtPrinters.h"
#include "TempDir.h"
#include "Unprivileged.h"

#include <QFile>
#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using settings::CheckValues;
using settings::LeadingNumber;
using settings::Modulo1;

namespace {

struct NumberCase {
    const char* text;
    double value;
};

class LeadingNumberTable : public testing::TestWithParam<NumberCase> {};

TEST_P(LeadingNumberTable, Reads) {
    EXPECT_DOUBLE_EQ(LeadingNumber(QString::fromUtf8(GetParam().text)), GetParam().value)
        << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LeadingNumberTable,
    testing::Values(NumberCase{"5", 5}, NumberCase{" 1 ", 1}, NumberCase{"05", 5},
                    NumberCase{"-5", -5}, NumberCase{"+7", 7}, NumberCase{"2.5", 2.5},
                    NumberCase{".5", 0.5}, NumberCase{"5.", 5}, NumberCase{"1 2 3", 123},
                    NumberCase{"\t4\n2", 42}, NumberCase{"- 5", -5}, NumberCase{"3abc", 3},
                    NumberCase{"abc", 0}, NumberCase{"", 0}, NumberCase{"   ", 0},
                    NumberCase{"--5", 0}, NumberCase{".", 0}, NumberCase{"-", 0},
                    NumberCase{"1e3", 1000}, NumberCase{"1E+2", 100}, NumberCase{"25e-1", 2.5},
                    NumberCase{"1e", 1}, NumberCase{"1e+", 1}, NumberCase{"2d2", 200},
                    NumberCase{"3,5", 3}, NumberCase{"1.2.3", 1.2}, NumberCase{"7 secondi", 7},
                    NumberCase{"0x10", 0}, NumberCase{"1e-999", 0}, NumberCase{"€5", 0}));

TEST(LeadingNumber, HugeExponentIsInfinite) {
    EXPECT_TRUE(std::isinf(LeadingNumber(QStringLiteral("1e999"))));
    EXPECT_LT(LeadingNumber(QStringLiteral("-1e999")), 0);
}

TEST(NumberForm, BlankForTheSignAndOneAfter) {
    EXPECT_EQ(settings::NumberForm(1), QStringLiteral(" 1 "));
    EXPECT_EQ(settings::NumberForm(0), QStringLiteral(" 0 "));
    EXPECT_EQ(settings::NumberForm(-3), QStringLiteral("-3 "));
    EXPECT_EQ(settings::NumberForm(-32768), QStringLiteral("-32768 "));
}

// A program folder in a temporary folder, seen through the DOS view.
class SettingsFileTest : public testing::Test {
protected:
    TempDir tmp;
    rt::DosFileSystem files;
    QString programFolder = files.toDos(tmp.path()).value();
    Modulo1 s;

    void writeIni(const QByteArray& bytes) { tmp.file(QStringLiteral("QUADRO.INI"), bytes); }
    QByteArray ini() const { return tmp.read(QStringLiteral("QUADRO.INI")); }
    CheckValues load() { return settings::LoadSettings(s, files, programFolder); }
};

TEST_F(SettingsFileTest, MissingFileGivesDefaultsAndLeavesBoxesAlone) {
    const CheckValues c = load();
    EXPECT_EQ(s.FolderPath, programFolder);
    EXPECT_EQ(s.TempoAttesa, 5);
    EXPECT_EQ(s.MusicaFM, 1);
    EXPECT_EQ(s.SuonoWAV, 1);
    EXPECT_EQ(s.Effetti, 1);
    EXPECT_FALSE(c.check1 || c.check2 || c.check3);
    // The program folder became current.
    EXPECT_EQ(files.curDir(), programFolder);
}

TEST_F(SettingsFileTest, AFolderOrHiddenFileNamedLikeTheFileDoesNotCount) {
    tmp.folder(QStringLiteral("QUADRO.INI"));
    load();
    EXPECT_EQ(s.TempoAttesa, 5);
}

TEST_F(SettingsFileTest, WritesFiveLinesByteForByte) {
    s.MusicaFM = 1;
    s.SuonoWAV = 0;
    s.Effetti = 1;
    EXPECT_FALSE(settings::SaveSettings(s, files, programFolder, QStringLiteral("C:\\foto"),
                                        QStringLiteral("05"))
                     .failed());
    EXPECT_EQ(ini(), QByteArray("PATH=C:\\foto\r\n"
                                "TempoAttesa=05\r\n"
                                "MusicaFM= 1 \r\n"
                                "SuonoWAV= 0 \r\n"
                                "Effetti= 1 \r\n"));
}

TEST_F(SettingsFileTest, RoundTripKeepsFolderSecondsAndSwitches) {
    s.MusicaFM = 0;
    s.SuonoWAV = 1;
    s.Effetti = 2;
    ASSERT_FALSE(settings::SaveSettings(s, files, programFolder,
                                        QStringLiteral("C:\\Foto di Anna\\mare"),
                                        QStringLiteral("12"))
                     .failed());
    Modulo1 back;
    const CheckValues c = settings::LoadSettings(back, files, programFolder);
    EXPECT_EQ(back.FolderPath, QStringLiteral("C:\\Foto di Anna\\mare"));
    EXPECT_EQ(back.TempoAttesa, 12);
    EXPECT_EQ(back.MusicaFM, 0);
    EXPECT_EQ(back.SuonoWAV, 1);
    EXPECT_EQ(back.Effetti, 2);
    EXPECT_EQ(c.check1, 0);
    EXPECT_EQ(c.check2, 1);
    EXPECT_EQ(c.check3, 2);
}

TEST_F(SettingsFileTest, RootFolderKeepsItsBackslash) {
    ASSERT_FALSE(
        settings::SaveSettings(s, files, programFolder, QStringLiteral("D:\\"), QStringLiteral("5"))
            .failed());
    EXPECT_TRUE(ini().startsWith("PATH=D:\\\r\n"));
}

TEST_F(SettingsFileTest, KeysAnywhereInALineAndTheFirstEqualsSignSplits) {
    writeIni("xPATH=C:\\a=b \r\n"     // key inside the line, "=" kept in the value
             "note=TempoAttesa=7\r\n" // another "=" first: the value is what follows it
             "path=C:\\ignored\r\n"   // keys are case-sensitive
             "Effetti=   0 \r\n"      // leading blanks removed
             "MusicaFM=PATH= 1\r\n"); // PATH= comes first in the order: a folder line
    s.TempoAttesa = 3;
    const CheckValues c = load();
    EXPECT_EQ(s.FolderPath, QStringLiteral("PATH= 1"));
    EXPECT_EQ(s.TempoAttesa, 0); // "TempoAttesa=7" reads as 0: not a number
    EXPECT_EQ(s.Effetti, 0);
    EXPECT_EQ(c.check3, 0);
    EXPECT_FALSE(c.check1.has_value());
}

TEST_F(SettingsFileTest, ValueKeepsTrailingBlanksAndEqualsSigns) {
    writeIni("aPATH=C:\\x=y  \r\n");
    load();
    EXPECT_EQ(s.FolderPath, QStringLiteral("C:\\x=y  "));
}

TEST_F(SettingsFileTest, NumbersRoundHalvesToEven) {
    for (const auto& [text, expected] : std::initializer_list<std::pair<const char*, int>>{
             {"2.5", 2}, {"3.5", 4}, {"7.5", 8}, {"parole", 0}, {" 7 ", 7}, {"-5", -5}}) {
        writeIni(QByteArray("TempoAttesa=") + text + "\r\n");
        load();
        EXPECT_EQ(s.TempoAttesa, expected) << text;
    }
}

TEST_F(SettingsFileTest, LastLineWinsAndMissingKeysLeaveFields) {
    s.TempoAttesa = 0;
    writeIni("PATH=C:\\uno\r\nPATH=C:\\due\r\nMusicaFM= 0 \r\n");
    const CheckValues c = load();
    EXPECT_EQ(s.FolderPath, QStringLiteral("C:\\due"));
    EXPECT_EQ(s.TempoAttesa, 0); // no line: left as it was
    EXPECT_EQ(s.MusicaFM, 0);
    EXPECT_EQ(c.check1, 0);
    EXPECT_FALSE(c.check2.has_value()); // no line: the box keeps its designed tick
}

TEST_F(SettingsFileTest, EmptyOrBlankFolderGivesTheProgramFolder) {
    for (const char* file : {"PATH=\r\n", "PATH=   \r\n"}) {
        s.FolderPath.clear();
        writeIni(file);
        load();
        EXPECT_EQ(s.FolderPath, programFolder) << file;
    }
}

TEST_F(SettingsFileTest, LineEndsAtCrLfCrOrLfAndLastLineNeedsNoEnd) {
    // Mixed, then as a Linux text editor saves it (LF only), then with lone CRs.
    for (const QByteArray& end : {QByteArray("mixed"), QByteArray("\n"), QByteArray("\r")}) {
        const QByteArray text =
            end == "mixed" ? QByteArray("PATH=C:\\a\rTempoAttesa=9\r\n\nMusicaFM= 0 \nEffetti=0")
                           : "PATH=C:\\a" + end + "TempoAttesa=9" + end + "MusicaFM= 0 " + end +
                                 "SuonoWAV= 1 " + end + "Effetti=0" + end;
        writeIni(text);
        Modulo1 fresh;
        const CheckValues c = settings::LoadSettings(fresh, files, programFolder);
        EXPECT_EQ(fresh.FolderPath, QStringLiteral("C:\\a")) << text.toStdString();
        EXPECT_EQ(fresh.TempoAttesa, 9) << text.toStdString();
        EXPECT_EQ(fresh.MusicaFM, 0) << text.toStdString();
        EXPECT_EQ(fresh.Effetti, 0) << text.toStdString();
        EXPECT_EQ(c.check3, 0) << text.toStdString();
    }
}

TEST_F(SettingsFileTest, ValuesThatDoNotFitAreIgnored) {
    s.TempoAttesa = 4;
    writeIni("TempoAttesa=40000\r\nMusicaFM= 3 \r\nSuonoWAV=-1\r\nEffetti=1e9\r\n");
    s.MusicaFM = s.SuonoWAV = s.Effetti = 1;
    const CheckValues c = load();
    EXPECT_EQ(s.TempoAttesa, 4);
    EXPECT_EQ(s.MusicaFM, 1);
    EXPECT_EQ(s.SuonoWAV, 1);
    EXPECT_EQ(s.Effetti, 1);
    EXPECT_FALSE(c.check1 || c.check2 || c.check3);
}

TEST_F(SettingsFileTest, FolderTextIsUtf8) {
    writeIni("PATH=C:\\Città\\però\r\n");
    load();
    EXPECT_EQ(s.FolderPath, QStringLiteral("C:\\Città\\però"));
}

// Saves in a child process whose file size limit stops the write after a few bytes.
// With `dieOnLimit` the child is killed in the middle of the write, as by a crash;
// otherwise the write fails and the child reports what SaveSettings returned.
// Returns the child's wait status.
int saveWithSizeLimit(Modulo1 s, rt::DosFileSystem& files, const QString& programFolder,
                      bool dieOnLimit) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        const rlimit noCore{0, 0};
        ::setrlimit(RLIMIT_CORE, &noCore);
        const rlimit tiny{8, 8};
        ::setrlimit(RLIMIT_FSIZE, &tiny);
        if (!dieOnLimit) ::signal(SIGXFSZ, SIG_IGN);
        const rt::Error e = settings::SaveSettings(
            s, files, programFolder, QStringLiteral("C:\\nuovo"), QStringLiteral("5"));
        ::_exit(e.failed() ? 1 : 0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return status;
}

TEST_F(SettingsFileTest, FailedOrInterruptedWriteLeavesTheOldFileWhole) {
    const QByteArray old = "PATH=C:\\vecchio\r\nTempoAttesa=7\r\n";
    writeIni(old);

    const int failed = saveWithSizeLimit(s, files, programFolder, false);
    ASSERT_TRUE(WIFEXITED(failed));
    EXPECT_EQ(WEXITSTATUS(failed), 1) << "the failed write must be reported";
    EXPECT_EQ(ini(), old);

    const int killed = saveWithSizeLimit(s, files, programFolder, true);
    ASSERT_TRUE(WIFSIGNALED(killed));
    EXPECT_EQ(ini(), old);

    // And a write that can finish replaces the file.
    EXPECT_FALSE(settings::SaveSettings(s, files, programFolder, QStringLiteral("C:\\nuovo"),
                                        QStringLiteral("5"))
                     .failed());
    EXPECT_TRUE(ini().startsWith("PATH=C:\\nuovo\r\n"));
}

TEST_F(SettingsFileTest, WriteIntoAMissingFolderFailsWithoutAFile) {
    const QString gone = programFolder + QStringLiteral("\\non-esiste");
    EXPECT_TRUE(settings::SaveSettings(s, files, gone, QStringLiteral("C:\\"), QStringLiteral("5"))
                    .failed());
    EXPECT_FALSE(QFile::exists(tmp.path(QStringLiteral("non-esiste/QUADRO.INI"))));
}

} // namespace

namespace {

// --- Files the program did not write ----------------------------------------------

TEST_F(SettingsFileTest, UnreadableFileGivesTheDefaults) {
    writeIni("PATH=C:\\altrove\r\nTempoAttesa=9\r\n");
    ASSERT_EQ(::chmod(QFile::encodeName(tmp.path()).constData(), 0755), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(tmp.path("QUADRO.INI")).constData(), 0), 0);
    const int result = runUnprivileged([&] {
        Modulo1 fresh;
        settings::LoadSettings(fresh, files, programFolder);
        return fresh.TempoAttesa == 5 && fresh.FolderPath == programFolder ? 0 : 1;
    });
    EXPECT_EQ(result, 0);
}

TEST_F(SettingsFileTest, BinaryFileReadsWhatItCanAndNeverFails) {
    QByteArray noise;
    quint32 x = 12345;
    for (int i = 0; i < 64 * 1024; ++i) {
        x = x * 1103515245u + 12345u;
        noise.append(char(x >> 16));
    }
    writeIni(noise + "\r\nTempoAttesa=7\r\n" + noise);
    load();
    EXPECT_EQ(s.TempoAttesa, 7);
}

// The file keeps five lines: of a longer one the first 256 KB are read, as if it ended
// there (a 50 MB file costs no more than that).
TEST_F(SettingsFileTest, FiftyMegabyteFileIsReadAsIfItEndedAfterItsFirst256KB) {
    QByteArray big = "Effetti= 0 \r\n";
    big.reserve(50 * 1024 * 1024 + 64);
    const QByteArray filler(98, 'x');
    while (big.size() < 256 * 1024 - 200)
        big += filler + "\r\n";
    big += QByteArray(256 * 1024 - 14 - 2 - big.size(), 'x') + "\r\n";
    big += "TempoAttesa=1234"; // cut after "TempoAttesa=12"
    while (big.size() < 50 * 1024 * 1024)
        big += filler + "\r\n";
    big += "SuonoWAV= 0 \r\n";
    ASSERT_EQ(big.indexOf("TempoAttesa=12") + 14, 256 * 1024)
        << "the cut is not where it should be";
    writeIni(big);
    s.Effetti = 1;
    s.SuonoWAV = 1;
    const CheckValues c = load();
    EXPECT_EQ(s.Effetti, 0);
    EXPECT_EQ(c.check3, 0);
    EXPECT_EQ(s.TempoAttesa, 12);
    EXPECT_EQ(s.SuonoWAV, 1); // past the end that was read
}

TEST_F(SettingsFileTest, ReadOnlyProgramFolderKeepsTheOldFile) {
    const QByteArray old = "PATH=C:\\vecchio\r\nTempoAttesa=7\r\n";
    writeIni(old);
    ASSERT_EQ(::chmod(QFile::encodeName(tmp.path()).constData(), 0555), 0);
    const int result = runUnprivileged([&] {
        return settings::SaveSettings(s, files, programFolder, QStringLiteral("C:\\nuovo"),
                                      QStringLiteral("5"))
                       .failed()
                   ? 0
                   : 1;
    });
    ::chmod(QFile::encodeName(tmp.path()).constData(), 0755);
    EXPECT_EQ(result, 0) << "the failed write must be reported";
    EXPECT_EQ(ini(), old);
}

TEST_F(SettingsFileTest, KilledAtRandomWhileSavingLeavesTheOldOrTheNewFile) {
    // Two settings that differ in length; a child saves them in turn until it is killed.
    Modulo1 a, b;
    a.MusicaFM = 1;
    b.MusicaFM = 0;
    const QString folderA = QStringLiteral("C:\\uno");
    const QString folderB = QStringLiteral("C:\\una cartella dal nome molto piu' lungo");
    ASSERT_FALSE(
        settings::SaveSettings(a, files, programFolder, folderA, QStringLiteral("5")).failed());
    const QByteArray fileA = ini();
    ASSERT_FALSE(
        settings::SaveSettings(b, files, programFolder, folderB, QStringLiteral("12")).failed());
    const QByteArray fileB = ini();

    std::uint32_t seed = 2024;
    int saves = 0;
    // Rounds until a thousand saves were made: a loaded machine needs more of them.
    for (int round = 0; round < 5000 && saves < 1000; ++round) {
        int pipeFds[2];
        ASSERT_EQ(::pipe(pipeFds), 0);
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::close(pipeFds[0]);
            // The child is killed in the middle of some save: what it returns is never
            // looked at, only what the file holds afterwards.
            for (int n = 0;; ++n) {
                if (n % 2)
                    (void)settings::SaveSettings(a, files, programFolder, folderA,
                                                 QStringLiteral("5"));
                else
                    (void)settings::SaveSettings(b, files, programFolder, folderB,
                                                 QStringLiteral("12"));
                (void)!::write(pipeFds[1], "s", 1);
            }
        }
        ::close(pipeFds[1]);
        seed = seed * 1664525u + 1013904223u;
        ::usleep(200 + seed % 30000);
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        char buffer[4096];
        for (ssize_t got; (got = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;)
            saves += int(got);
        ::close(pipeFds[0]);
        const QByteArray now = ini();
        ASSERT_TRUE(now == fileA || now == fileB) << "a mixed file after round " << round;
    }
    EXPECT_GE(saves, 1000);
    // No half-written file was left beside it for later runs to trip on.
    Modulo1 back;
    settings::LoadSettings(back, files, programFolder);
    EXPECT_TRUE(back.FolderPath == folderA || back.FolderPath == folderB);
}

} // namespace
