// The hive-file registry: the export format it reads and the three calls with their
// classic return codes.

#include "QtPrinters.h"
#include "RegistryHive.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>

namespace {

using rt::HKEY;
namespace reg = rt::reg;

const char* const Sample =
    "\xEF\xBB\xBFREGEDIT4\r\n"
    "\r\n"
    "; a comment line\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools\\MSINFO]\r\n"
    "\"PATH\"=\"C:\\\\Program Files\\\\say \\\"hi\\\"\\\\msinfo32.exe\"\r\n"
    "\"Count\"=dword:00000105\r\n"
    "\"Raw\"=hex(1):61,62,63\r\n"
    "\"Long\"=hex:01,02,\\\r\n"
    "  03,04\r\n"
    "@=\"default\"\r\n"
    "\"Empty\"=\"\"\r\n"
    "\"Città\"=\"perché\"\r\n"
    "\"Gone\"=\"x\"\r\n"
    "\"Gone\"=-\r\n"
    "\"Bad\"=dword:xyz\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft Corp]\r\n" // sorts before Microsoft\\...
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Deleted\\Sub]\r\n"
    "\"a\"=\"b\"\r\n"
    "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Deleted]\r\n"
    "; a comment ending in a backslash goes on in no other line \\\r\n"
    "[HKEY_CURRENT_USER\\Software\\Quadrello]\r\n"
    "\"x\"=\"user\"\r\n";

const QString MsInfo = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");

class HiveRegistry : public ::testing::Test {
protected:
    HiveRegistry() : registry(t.path("registry.reg")) { t.file("registry.reg", Sample); }

    // Opens a key of the machine hive for reading; 0 when it fails.
    HKEY open(const QString& key, HKEY root = reg::LocalMachine) {
        HKEY h = 99;
        const long r = registry.RegOpenKeyEx(root, key, 0, reg::KeyRead, h);
        EXPECT_EQ(r == reg::Success, h != 0);
        return h;
    }
    struct Read {
        long result;
        std::uint32_t type;
        QByteArray data;
        std::uint32_t size;
    };
    Read query(HKEY key, const QString& name, std::uint32_t size = 1024) {
        Read r{0, 0, QByteArray(1024, '\0'), size};
        r.result = registry.RegQueryValueEx(key, name, r.type, r.data, r.size);
        r.data.truncate(r.result == reg::Success ? r.size : 0);
        return r;
    }

    TempDir t;
    rt::HiveRegistry registry;
};

TEST_F(HiveRegistry, ReadsTheExportFormat) {
    const HKEY k = open(MsInfo);
    ASSERT_NE(k, 0u);
    const auto path = query(k, "PATH");
    EXPECT_EQ(path.result, reg::Success);
    EXPECT_EQ(path.type, reg::String);
    EXPECT_EQ(path.data,
              QByteArray("C:\\Program Files\\say \"hi\"\\msinfo32.exe", 38).append('\0'));
    EXPECT_EQ(path.size, 39u); // the terminating zero counts

    const auto count = query(k, "count");
    EXPECT_EQ(count.type, reg::Dword);
    EXPECT_EQ(count.data, QByteArray("\x05\x01\x00\x00", 4));

    const auto raw = query(k, "RAW");
    EXPECT_EQ(raw.type, reg::String);
    EXPECT_EQ(raw.data, QByteArray("abc")); // stored without its zero
    EXPECT_EQ(raw.size, 3u);

    const auto bin = query(k, "Long");
    EXPECT_EQ(bin.type, 3u);
    EXPECT_EQ(bin.data, QByteArray("\x01\x02\x03\x04", 4));

    EXPECT_EQ(query(k, "").data, QByteArray("default", 8));
    EXPECT_EQ(query(k, "Empty").data, QByteArray(1, '\0'));
    EXPECT_EQ(query(k, "CITTÀ").data, QByteArray("perch\xC3\xA9", 8));
    EXPECT_EQ(query(k, "Gone").result, reg::NotFound);
    EXPECT_EQ(query(k, "Bad").result, reg::NotFound);
    EXPECT_EQ(registry.RegCloseKey(k), reg::Success);
}

TEST_F(HiveRegistry, KeysMatchWithoutRegardToCaseAndParentsExist) {
    EXPECT_NE(open("software\\microsoft\\SHARED TOOLS\\msinfo"), 0u);
    EXPECT_NE(open(MsInfo + "\\"), 0u);
    const HKEY shared = open("SOFTWARE\\Microsoft"); // only implied by the section below it
    ASSERT_NE(shared, 0u);
    const HKEY below = open("Shared Tools\\MSINFO", shared);
    ASSERT_NE(below, 0u);
    EXPECT_EQ(query(below, "PATH").result, reg::Success);
    EXPECT_EQ(query(shared, "PATH").result, reg::NotFound);
    EXPECT_EQ(open("SOFTWARE\\Microsoft\\Shared"), 0u); // a prefix of a name is no key
    EXPECT_EQ(open("SOFTWARE\\Deleted"), 0u);
    EXPECT_EQ(open("SOFTWARE\\Deleted\\Sub"), 0u);
    EXPECT_EQ(open(MsInfo, reg::CurrentUser), 0u);
    EXPECT_NE(open("Software\\Quadrello", reg::CurrentUser), 0u);
    EXPECT_NE(open(""), 0u); // the root itself
}

TEST_F(HiveRegistry, ReturnCodes) {
    HKEY h = 7;
    EXPECT_EQ(registry.RegOpenKeyEx(reg::LocalMachine, "SOFTWARE\\Nope", 0, reg::KeyRead, h),
              reg::NotFound);
    EXPECT_EQ(h, 0u);
    // More than read access is refused, as the machine hive refuses an ordinary user.
    EXPECT_EQ(registry.RegOpenKeyEx(reg::LocalMachine, MsInfo, 0, 0x2003F, h), reg::AccessDenied);
    EXPECT_EQ(registry.RegOpenKeyEx(reg::LocalMachine, MsInfo, 0, 0x0002, h), reg::AccessDenied);
    EXPECT_EQ(registry.RegOpenKeyEx(reg::LocalMachine, MsInfo, 0, 0x0001, h), reg::Success);
    EXPECT_EQ(registry.RegOpenKeyEx(0x12345, MsInfo, 0, reg::KeyRead, h), reg::InvalidHandle);

    const HKEY k = open(MsInfo);
    const auto small = query(k, "PATH", 38); // one byte short of the zero
    EXPECT_EQ(small.result, reg::MoreData);
    EXPECT_EQ(small.size, 39u);
    EXPECT_EQ(small.type, reg::String);
    EXPECT_EQ(query(k, "PATH", 39).result, reg::Success);

    EXPECT_EQ(registry.RegCloseKey(k), reg::Success);
    EXPECT_EQ(query(k, "PATH").result, reg::InvalidHandle);
    EXPECT_EQ(registry.RegCloseKey(k), reg::InvalidHandle);
    EXPECT_EQ(registry.RegCloseKey(0), reg::InvalidHandle);
    EXPECT_EQ(registry.RegCloseKey(reg::LocalMachine), reg::Success);
    EXPECT_NE(open(MsInfo), open(MsInfo)); // each open its own handle
}

TEST_F(HiveRegistry, TheFileIsReadAtEachOpen) {
    const HKEY before = open(MsInfo);
    t.file("registry.reg", "REGEDIT4\r\n");
    EXPECT_EQ(open(MsInfo), 0u);
    EXPECT_EQ(query(before, "PATH").result, reg::Success); // an open key keeps what it saw
    rt::HiveRegistry none(t.path("missing.reg"));
    HKEY h = 0;
    EXPECT_EQ(none.RegOpenKeyEx(reg::LocalMachine, "SOFTWARE", 0, reg::KeyRead, h), reg::NotFound);
}

TEST(Hive, LongContinuedValueIsJoinedInOnePass) {
    // 400 000 continued lines: joined pairwise, they would take many seconds.
    QString text = QStringLiteral("REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"v\"=hex:");
    for (int i = 0; i < 400000; ++i)
        text += QStringLiteral("01,\\\n  ");
    text += QStringLiteral("02\n");
    QElapsedTimer clock;
    clock.start();
    const rt::Hive hive = rt::Hive::parse(text);
    EXPECT_LT(clock.elapsed(), 2000);
    const rt::RegValue* v = hive.value("HKEY_LOCAL_MACHINE\\A", "v");
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->data.size(), 400001);
}

TEST(HostRegistry, IsTheHiveInTheProgramFolder) {
    TempDir t;
    t.file("Registry.REG", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"v\"=dword:00000001\n");
    const rt::DosFileSystem files;
    const auto registry = rt::makeHostRegistry(files, files.toDos(t.path()).value());
    HKEY h = 0;
    EXPECT_EQ(registry->RegOpenKeyEx(reg::LocalMachine, "a", 0, reg::KeyRead, h), reg::Success);
}

} // namespace
