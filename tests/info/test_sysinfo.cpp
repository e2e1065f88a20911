// The system information launcher over hive files made here: the lookup order, the
// existence test, the buffer cut and the number digits.

#include "FakePlatform.h"
#include "Launcher.h"
#include "QtPrinters.h"
#include "SysInfo.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QThread>

#include <memory>
#include <sys/stat.h>

namespace {

const QString NoSysInfo =
    QStringLiteral("Le informazioni sul sistema non sono disponibili in questa fase");
const QByteArray Location1 = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools\\MSINFO]\r\n";
const QByteArray Location2 = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools Location]\r\n";

// A program folder holding the hive, and a platform reading it.
class SysInfo : public ::testing::Test {
protected:
    SysInfo() : fp(rt::DosFileSystem().toDos(t.path()).value()) {}
    void hive(const QByteArray& body) {
        t.file("registry.reg", "REGEDIT4\r\n\r\n" + body);
        fp.registry.useHive(t.path("registry.reg"));
    }
    // A REGEDIT4 string: backslashes doubled.
    static QByteArray str(const QString& s) {
        return '"' + QString(s).replace("\\", "\\\\").toUtf8() + '"';
    }
    QString dos(const QString& rel) const { return fp.files.toDos(t.path(rel)).value(); }
    QStringList openedKeys() const {
        QStringList l;
        for (const RegistryOpen& o : fp.registry.opens)
            l << o.subKey;
        return l;
    }

    TempDir t;
    FakePlatform fp;
};

TEST_F(SysInfo, Location1IsRunAsItStandsAndLocation2IsNeverRead) {
    t.file("tools/MSINFO32.EXE");
    hive(Location1 + "\"PATH\"=\"C:\\\\no such\\\\tool.exe\"\r\n" + Location2 +
         "\"MSINFO\"=" + str(dos("tools")) + "\r\n");
    info::StartSysInfo(fp.platform);
    ASSERT_EQ(fp.launcher.calls.size(), 1u);
    EXPECT_EQ(fp.launcher.calls[0].commandLine, "C:\\no such\\tool.exe"); // unquoted, untested
    EXPECT_EQ(fp.launcher.calls[0].windowStyle, rt::NormalFocus);
    EXPECT_EQ(openedKeys(), QStringList{info::SysInfoKey});
    EXPECT_TRUE(fp.messages.shown.empty());
}

TEST_F(SysInfo, Location2NeedsMsinfo32InItsFolder) {
    struct Case {
        const char* name;
        QString folder; // as stored
        bool fileThere;
        QString command; // empty: the message
    };
    t.file("tools/msinfo32.exe"); // the existence test ignores case, as the DOS view does
    t.file("Shared Tools/MSINFO32.EXE");
    t.folder("empty");
    const Case cases[] = {
        {"folder", dos("tools"), true, '"' + dos("tools") + "\\MSINFO32.EXE\""},
        {"folder ending in a backslash", dos("tools") + "\\", true,
         '"' + dos("tools") + "\\\\MSINFO32.EXE\""},
        {"folder with blanks", dos("Shared Tools"), true,
         '"' + dos("Shared Tools") + "\\MSINFO32.EXE\""},
        {"folder without the tool", dos("empty"), false, {}},
        {"missing folder", dos("gone"), false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fp.launcher.calls.clear();
        fp.messages.shown.clear();
        fp.registry.opens.clear();
        hive(Location2 + "\"MSINFO\"=" + str(c.folder) + "\r\n");
        info::StartSysInfo(fp.platform);
        EXPECT_EQ(openedKeys(), (QStringList{info::SysInfoKey, info::SysInfoFolderKey}));
        if (c.command.isEmpty()) {
            EXPECT_TRUE(fp.launcher.calls.empty());
            EXPECT_EQ(fp.messages.texts(), QStringList{NoSysInfo});
        } else {
            ASSERT_EQ(fp.launcher.calls.size(), 1u);
            EXPECT_EQ(fp.launcher.calls[0].commandLine, c.command);
            EXPECT_EQ(fp.launcher.calls[0].windowStyle, rt::NormalFocus);
            EXPECT_TRUE(fp.messages.shown.empty());
        }
    }
}

// Through the real launcher: the tool in a folder with a blank runs, and not the program
// named by the folder's first word.
TEST_F(SysInfo, Location2InAFolderWithABlankRunsTheTool) {
    const auto script = [&](const QString& rel, const QString& marker) {
        t.file(rel, ("#!/bin/sh\n: > '" + t.path(marker) + "'\n").toUtf8());
        ::chmod(QFile::encodeName(t.path(rel)).constData(), 0755);
    };
    script("Shared Tools/MSINFO32.EXE", "ran-the-tool");
    script("Shared", "ran-the-wrong-program");
    hive(Location2 + "\"MSINFO\"=" + str(dos("Shared Tools")) + "\r\n");
    const std::unique_ptr<rt::Launcher> host = rt::makeHostLauncher(fp.files);
    const rt::Platform& p = fp.platform;
    rt::Platform real{p.files,       p.messages,  p.pointer,        p.programEnd,   p.screen,
                      p.clock,       p.random,    p.media,          *host,          p.registry,
                      p.screenAwake, p.metafiles, p.screenPictures, p.programFolder};
    info::StartSysInfo(real);
    QElapsedTimer clock;
    clock.start();
    while (!QFile::exists(t.path("ran-the-tool")) && clock.elapsed() < 10000)
        QThread::msleep(20);
    EXPECT_TRUE(QFile::exists(t.path("ran-the-tool")));
    QThread::msleep(100);
    EXPECT_FALSE(QFile::exists(t.path("ran-the-wrong-program")));
    EXPECT_TRUE(fp.messages.shown.empty());
}

TEST_F(SysInfo, TheMessageWhenNothingUsableIsFound) {
    struct Case {
        const char* name;
        QByteArray hive;
        bool launches;
    };
    const Case cases[] = {
        {"no hive", {}, false},
        {"keys without their values", Location1 + "\"Other\"=\"x\"\r\n" + Location2, false},
        {"location 1 not a string: an empty command", Location1 + "\"PATH\"=hex:43,3a\r\n", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fp.launcher.calls.clear();
        fp.messages.shown.clear();
        if (c.hive.isEmpty())
            QFile::remove(t.path("registry.reg"));
        else
            hive(c.hive);
        fp.launcher.result = rt::Error{rt::err::BadCall, "empty"}; // as an empty line fails
        info::StartSysInfo(fp.platform);
        EXPECT_EQ(fp.launcher.calls.size(), c.launches ? 1u : 0u);
        if (c.launches) {
            EXPECT_EQ(fp.launcher.calls[0].commandLine, QString());
        }
        ASSERT_EQ(fp.messages.texts(), QStringList{NoSysInfo});
        EXPECT_EQ(fp.messages.shown[0].style, rt::mb::OkOnly);
        EXPECT_EQ(fp.messages.shown[0].title, "Quadrello");
    }
}

TEST_F(SysInfo, ALaunchThatFailsGivesTheMessage) {
    hive(Location1 + "\"PATH\"=\"C:\\\\x\"\r\n");
    fp.launcher.result = rt::Error{rt::err::FileNotFound, "gone"};
    info::StartSysInfo(fp.platform);
    EXPECT_EQ(fp.launcher.calls.size(), 1u);
    EXPECT_EQ(fp.messages.texts(), QStringList{NoSysInfo});
}

struct ValueCase {
    const char* name;
    QByteArray stored; // the value's data in the hive
    bool found;
    QString text; // after the call; the text starts as "before"
};

class GetKeyValue : public SysInfo, public ::testing::WithParamInterface<ValueCase> {};

TEST_P(GetKeyValue, ReadsOneValueAsText) {
    hive("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Test]\r\n\"v\"=" + GetParam().stored + "\r\n");
    QString text = "before";
    EXPECT_EQ(info::GetKeyValue(fp.registry, rt::reg::LocalMachine, "software\\TEST", "V", text),
              GetParam().found);
    EXPECT_EQ(text, GetParam().text);
    ASSERT_EQ(fp.registry.opens.size(), 1u);
    EXPECT_EQ(fp.registry.opens[0].access, 0x20019u); // read access only
    EXPECT_EQ(fp.registry.closes, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Values, GetKeyValue,
    ::testing::Values(
        ValueCase{"string_loses_its_terminating_zero", "\"C:\\\\Tools\\\\info.exe\"", true,
                  "C:\\Tools\\info.exe"},
        ValueCase{"string_stored_without_zero_keeps_all", "hex(1):61,62,63", true, "abc"},
        ValueCase{"string_stored_with_zero", "hex(1):61,62,63,00", true, "abc"},
        ValueCase{"only_the_last_zero_goes", "hex(1):61,00,00", true, QString("a") + QChar(0)},
        ValueCase{"empty_string", "\"\"", true, ""},
        ValueCase{"utf8_string", "\"perché\"", true, "perché"},
        ValueCase{"dword_261_loses_its_zero_top_byte", "dword:00000105", true, "&h015"},
        ValueCase{"dword_all_bytes", "dword:12345678", true, "&h12345678"},
        ValueCase{"dword_zero_low_byte", "dword:0a0b0c00", true, "&hABC0"},
        ValueCase{"dword_zero", "dword:00000000", true, "&h000"},
        ValueCase{"binary_leaves_the_text", "hex:01,02", true, "before"},
        ValueCase{"multi_string_leaves_the_text", "hex(7):61,00,00", true, "before"},
        ValueCase{"longer_than_the_buffer", "\"" + QByteArray(1024, 'x') + "\"", false, ""}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(SysInfo, GetKeyValueFailsOnAMissingKeyOrValue) {
    hive("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Test]\r\n\"v\"=\"x\"\r\n");
    QString text = "before";
    EXPECT_FALSE(
        info::GetKeyValue(fp.registry, rt::reg::LocalMachine, "SOFTWARE\\Nope", "v", text));
    EXPECT_EQ(text, "");
    text = "before";
    EXPECT_FALSE(
        info::GetKeyValue(fp.registry, rt::reg::LocalMachine, "SOFTWARE\\Test", "w", text));
    EXPECT_EQ(text, "");
    EXPECT_EQ(fp.registry.closes, 2); // the failed open's zero handle is closed too
    text = "before";
    EXPECT_TRUE(info::GetKeyValue(fp.registry, rt::reg::LocalMachine, "SOFTWARE\\Test", "v", text));
    EXPECT_EQ(text, "x");
}

} // namespace
