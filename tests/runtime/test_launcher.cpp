// The command-line parser and the host launcher: what a command line runs, and real
// launches of a program that logs its arguments, with file names meant to break out.

#include "CommandLine.h"
#include "HostLauncher.h"
#include "Launcher.h"
#include "QtPrinters.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <sys/stat.h>

namespace {

struct SplitCase {
    const char* name;
    QString line;
    QStringList words;
};

class SplitCommandLine : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitCommandLine, Words) {
    EXPECT_EQ(rt::splitCommandLine(GetParam().line), GetParam().words);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SplitCommandLine,
    ::testing::Values(
        SplitCase{"empty", "", {}}, SplitCase{"blanks_only", "  \t ", {}},
        SplitCase{"words", "start mailto:a@b.example", {"start", "mailto:a@b.example"}},
        SplitCase{"runs_of_blanks_and_tabs", "  a \t  b  ", {"a", "b"}},
        SplitCase{"quoted_path_with_blanks",
                  "NOTEPAD \"C:\\Le mie cose\\TRV.txt\"",
                  {"NOTEPAD", "C:\\Le mie cose\\TRV.txt"}},
        SplitCase{"quotes_join_what_touches_them", "a\"b c\"d e", {"ab cd", "e"}},
        SplitCase{"empty_quotes_are_a_word", "x \"\" y", {"x", "", "y"}},
        SplitCase{"unclosed_quote_runs_to_the_end", "x \"a b", {"x", "a b"}},
        SplitCase{"backslashes_are_plain", "C:\\a\\\\b\\ \\\"", {"C:\\a\\\\b\\", "\\"}},
        SplitCase{"shell_characters_are_plain",
                  "p ;rm $(x) `y` 'a b' a|b&c >o",
                  {"p", ";rm", "$(x)", "`y`", "'a", "b'", "a|b&c", ">o"}}),
    [](const auto& param) { return std::string(param.param.name); });

// A scratch folder seen as C:, a bin folder first on PATH, and a logging program.
class HostLauncher : public ::testing::Test {
protected:
    HostLauncher() : files(rt::DriveTable({{'C', "/", "/"}})) {
        oldPath = qgetenv("PATH");
        t.folder("bin");
        qputenv("PATH", QFile::encodeName(t.path("bin")));
        qputenv("ARGV_LOG", QFile::encodeName(t.path("argv.log")));
        t.file("logger", "#!/bin/sh\n"
                         "printf '%s\\0' \"$0\" \"$PWD\" \"$@\" > \"$ARGV_LOG.tmp\"\n"
                         "/bin/mv \"$ARGV_LOG.tmp\" \"$ARGV_LOG\"\n");
        ::chmod(QFile::encodeName(t.path("logger")).constData(), 0755);
        EXPECT_FALSE(files.chDir(dos("")).failed());
    }
    ~HostLauncher() override {
        qputenv("PATH", oldPath);
        qunsetenv("ARGV_LOG");
    }
    QString dos(const QString& rel) const { return files.toDos(t.path(rel)).valueOr("error"); }
    // Puts the logger on PATH under a name.
    void onPath(const QString& name) const { QFile::link(t.path("logger"), t.path("bin/" + name)); }
    // The logged program path, working folder and arguments, once the program has run.
    QStringList logged() const {
        QElapsedTimer clock;
        clock.start();
        while (!QFile::exists(t.path("argv.log")) && clock.elapsed() < 10000)
            QThread::msleep(20);
        QByteArray bytes = t.read("argv.log");
        if (bytes.endsWith('\0')) bytes.chop(1);
        QStringList l;
        for (const QByteArray& a : bytes.split('\0'))
            l << QString::fromUtf8(a);
        return bytes.isNull() ? QStringList() : l;
    }
    rt::Result<rt::LaunchPlan> plan(const QString& line) const {
        return rt::planLaunch(line, files);
    }

    TempDir t;
    rt::DosFileSystem files;
    QByteArray oldPath;
};

TEST_F(HostLauncher, StartOpensDocumentsAndAddressesWithXdgOpen) {
    onPath("xdg-open");
    t.file("Le mie cose/QUADREL.htm");
    const auto doc = plan("start \"" + dos("Le mie cose") + "\\quadrel.HTM\"");
    ASSERT_TRUE(doc.ok()) << doc.error().description.toStdString();
    EXPECT_EQ(doc.value().program, t.path("bin/xdg-open"));
    EXPECT_EQ(doc.value().arguments, QStringList{t.path("Le mie cose/QUADREL.htm")});
    EXPECT_EQ(doc.value().workingFolder, t.path());
    for (const QString address : {"mailto:autore@quadrello.example",
                                  "http://www.quadrello.example/", "HTTPS://x.example/a?b=c;d"}) {
        const auto p = plan("START " + address);
        ASSERT_TRUE(p.ok());
        EXPECT_EQ(p.value().arguments, QStringList{address});
    }
    EXPECT_EQ(plan("start").error().number, rt::err::BadCall);
    EXPECT_EQ(plan("start a b").error().number, rt::err::BadCall);
    qputenv("PATH", "/nonexistent");
    EXPECT_EQ(plan("start mailto:a@b.example").error().number, rt::err::FileNotFound);
}

TEST_F(HostLauncher, NotepadTakesTheFirstEditorOnPathElseXdgOpen) {
    const QString file = "NOTEPAD \"" + dos("") + "\\TRV.txt\"";
    EXPECT_EQ(plan(file).error().number, rt::err::FileNotFound); // neither
    onPath("xdg-open");
    EXPECT_EQ(plan(file).value().program, t.path("bin/xdg-open"));
    onPath("leafpad");
    onPath("mousepad");
    EXPECT_EQ(plan(file).value().program, t.path("bin/mousepad"));
    onPath("gedit");
    const auto p = plan("notepad.exe " + dos("") + "\\TRV.txt");
    EXPECT_EQ(p.value().program, t.path("bin/gedit"));
    EXPECT_EQ(p.value().arguments, QStringList{t.path("TRV.txt")});
    EXPECT_TRUE(plan("NOTEPAD").value().arguments.isEmpty());
}

TEST_F(HostLauncher, OtherProgramsByDosPathOrOnPath) {
    t.file("tools/Info Tool");
    ::chmod(QFile::encodeName(t.path("tools/Info Tool")).constData(), 0755);
    t.file("tools/plain.txt");
    const auto byPath = plan("\"" + dos("TOOLS") + "\\info tool\" -v " + dos("tools") + " x:\\y");
    ASSERT_TRUE(byPath.ok());
    EXPECT_EQ(byPath.value().program, t.path("tools/Info Tool"));
    EXPECT_EQ(byPath.value().arguments, (QStringList{"-v", t.path("tools"), "x:\\y"}));
    EXPECT_EQ(plan(dos("tools") + "\\plain.txt").error().number, rt::err::PermissionDenied);
    EXPECT_EQ(plan(dos("tools") + "\\missing").error().number, rt::err::FileNotFound);
    EXPECT_EQ(plan(dos("tools")).error().number, rt::err::FileNotFound); // a folder

    onPath("hardinfo");
    EXPECT_EQ(plan("hardinfo").value().program, t.path("bin/hardinfo"));
    EXPECT_EQ(plan("HARDINFO").value().program, t.path("bin/hardinfo"));
    EXPECT_EQ(plan("MSINFO32.EXE").error().number, rt::err::FileNotFound);
    EXPECT_EQ(plan("").error().number, rt::err::BadCall);
    EXPECT_EQ(plan("  ").error().number, rt::err::BadCall);
    EXPECT_EQ(plan("\"\" x").error().number, rt::err::BadCall);
}

TEST_F(HostLauncher, ArgumentsReachTheProgramAsParsedAndNothingElseRuns) {
    const QStringList hostile{
        "a;b",   "$(touch made-by-dollar)", "`touch made-by-tick`", "it's",
        "a|b&c", ">made-by-redirect",       "; touch made",         "\"quoted\" stays"};
    QString line = "\"" + dos("logger") + "\"";
    for (const QString& a : hostile) {
        QString quoted = a;
        quoted.replace("\"", ""); // the line cannot carry a double quote inside a word
        line += " \"" + quoted + "\"";
    }
    const std::unique_ptr<rt::Launcher> launcher = rt::makeHostLauncher(files);
    const auto started = launcher->shell(line, rt::MinimizedFocus);
    ASSERT_TRUE(started.ok()) << started.error().description.toStdString();
    EXPECT_GT(started.value(), 0);
    QStringList expected{t.path("logger"), t.path()};
    for (QString a : hostile)
        expected << a.replace("\"", "");
    EXPECT_EQ(logged(), expected);
    for (const QString& made : QDir(t.path()).entryList(QDir::Files))
        EXPECT_FALSE(made.startsWith("made") || made.startsWith("touch")) << made.toStdString();
}

TEST_F(HostLauncher, HostileFileNamesReachTheEditorAndTheBrowserWhole) {
    const QString name = "we$(touch made-1);`touch made-2`&& rm -rf x'.txt";
    t.file(name);
    onPath("gedit");
    const std::unique_ptr<rt::Launcher> launcher = rt::makeHostLauncher(files);
    ASSERT_TRUE(launcher->shell("NOTEPAD \"" + dos("") + "\\" + name + "\"", rt::NormalFocus).ok());
    EXPECT_EQ(logged(), (QStringList{t.path("bin/gedit"), t.path(), t.path(name)}));

    QFile::remove(t.path("argv.log"));
    onPath("xdg-open");
    QFile::remove(t.path("bin/gedit"));
    ASSERT_TRUE(
        launcher->shell("start \"" + dos("") + "\\" + name + "\"", rt::MinimizedFocus).ok());
    EXPECT_EQ(logged(), (QStringList{t.path("bin/xdg-open"), t.path(), t.path(name)}));

    // A program name that is itself a command line for a shell is just a missing file.
    const auto hostileProgram = launcher->shell("\"" + dos("logger") + "; touch made-3\"", 1);
    EXPECT_EQ(hostileProgram.error().number, rt::err::FileNotFound);
    QThread::msleep(200);
    for (const QString& made : QDir(t.path()).entryList(QDir::Files))
        EXPECT_FALSE(made.startsWith("made")) << made.toStdString();
}

TEST_F(HostLauncher, AProgramThatCannotStartIsAnError) {
    const std::unique_ptr<rt::Launcher> launcher = rt::makeHostLauncher(files);
    EXPECT_EQ(launcher->shell("", rt::NormalFocus).error().number, rt::err::BadCall);
    EXPECT_EQ(launcher->shell("no-such-program-here", 1).error().number, rt::err::FileNotFound);
    t.file("broken", "not a program\n");
    ::chmod(QFile::encodeName(t.path("broken")).constData(), 0755);
    EXPECT_TRUE(launcher->shell(dos("broken"), 1).error().failed());
}

} // namespace
