// Files opened without blocking, refused unless regular, and read within bounds.

#include "RegularFile.h"

#include "QtPrinters.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>

#include <cstring>
#include <functional>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using rt::Beyond;
using rt::RegularFile;

namespace {

constexpr int Refusal = 4242; // the number a caller refuses with, to tell it apart

TEST(RegularFile, OnlyARegularFileOpensAndNothingBlocks) {
    TempDir tmp;
    tmp.file("a.txt", "0123456789");
    tmp.folder("cartella");
    ASSERT_EQ(::mkfifo(QFile::encodeName(tmp.path("fifo")).constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/null"), tmp.path("null")));
    ASSERT_TRUE(QFile::link(tmp.path("a.txt"), tmp.path("link.txt")));
    const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray socketPath = QFile::encodeName(tmp.path("socket"));
    std::strncpy(address.sun_path, socketPath.constData(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);

    struct Case {
        const char* name;
        int number; // 0: opened
        qint64 size;
    };
    const Case cases[] = {
        {"a.txt", 0, 10},
        {"link.txt", 0, 10},
        {"missing", rt::err::FileNotFound, 0},
        {"cartella", Refusal, 0},
        {"fifo", Refusal, 0},
        {"null", Refusal, 0},
        {"socket", Refusal, 0},
        {"a.txt/below", rt::err::FileNotFound, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QElapsedTimer clock;
        clock.start();
        const auto file = RegularFile::open(tmp.path(QLatin1String(c.name)), Refusal);
        EXPECT_LT(clock.elapsed(), 1000);
        EXPECT_EQ(file.ok() ? 0 : file.error().number, c.number);
        if (file.ok()) {
            EXPECT_EQ(file.value().size(), c.size);
        }
    }
    ::close(s);
}

// The limit holds whatever the size says: a file under /proc says 0 and has no end in
// sight, a file may grow after it was opened.
TEST(RegularFile, ReadsStopAtTheLimitWhateverTheSizeSaid) {
    TempDir tmp;
    tmp.file("cento", QByteArray(100, 'c'));
    struct Case {
        qint64 limit;
        Beyond beyond;
        qint64 read; // -1: refused
    };
    const Case cases[] = {
        {100, Beyond::Refuse, 100}, {99, Beyond::Refuse, -1},       {99, Beyond::Cut, 99},
        {0, Beyond::Cut, 0},        {1 << 21, Beyond::Refuse, 100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.limit);
        const auto bytes = rt::readRegularFile(tmp.path("cento"), c.limit, c.beyond, Refusal);
        EXPECT_EQ(bytes.ok() ? bytes.value().size() : -1, c.read);
        if (!bytes.ok()) {
            EXPECT_EQ(bytes.error().number, Refusal);
        }
    }

    const auto pagemap = RegularFile::open(QStringLiteral("/proc/self/pagemap"), Refusal);
    ASSERT_TRUE(pagemap.ok());
    EXPECT_EQ(pagemap.value().size(), 0);
    EXPECT_EQ(pagemap.value().readAll(1 << 20, Beyond::Refuse).error().number, Refusal);
    EXPECT_EQ(pagemap.value().readAll(3 << 20, Beyond::Cut).value().size(), 3 << 20);

    const auto growing = RegularFile::open(tmp.path("cento"), Refusal);
    ASSERT_TRUE(growing.ok());
    tmp.file("cento", QByteArray(1000, 'c')); // rewritten in place, ten times as long
    EXPECT_EQ(growing.value().size(), 100);
    EXPECT_EQ(growing.value().readAll(500, Beyond::Refuse).error().number, Refusal);
    EXPECT_EQ(growing.value().readAll(500, Beyond::Cut).value().size(), 500);
}

TEST(RegularFile, DigestOfTheStartOfARegularFileOnly) {
    TempDir tmp;
    tmp.file("a", "abcdefghij");
    ASSERT_EQ(::mkfifo(QFile::encodeName(tmp.path("fifo")).constData(), 0600), 0);
    EXPECT_EQ(rt::digestOfStart(tmp.path("a"), 4), rt::digestOf("abcd"));
    EXPECT_EQ(rt::digestOfStart(tmp.path("a"), 0), rt::digestOf(""));
    EXPECT_TRUE(rt::digestOfStart(tmp.path("a"), 11).isEmpty()); // holds fewer
    EXPECT_TRUE(rt::digestOfStart(tmp.path("fifo"), 4).isEmpty());
    EXPECT_TRUE(rt::digestOfStart(tmp.path("missing"), 4).isEmpty());
}

} // namespace
