// The show's side of the metafile helper. Through a stand-in that misbehaves on request:
// every failure costs only its picture (481, in bounded time) and the next picture is
// drawn by a fresh helper. Through the real helper: it is confined, what its libraries do
// to fontconfig stays in it, and real-world drawing (clipping, text) comes back right.

#include "HelperBeside.h"
#include "MetafileHelper.h"
#include "PictureFiles.h"
#include "PictureLoader.h"
#include "QtPrinters.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPainter>
#include <QProcess>
#include <QtEndian>

#include <map>
#include <unistd.h>

namespace {

using rt::MetafileHelper;
using rt::metafile::Kind;

const QString StandIn = QStringLiteral(STANDIN_HELPER);
constexpr rt::HelperDeadlines Quick{2000, 800};
rt::SystemClock machineClock; // the deadlines are real ones

HelperBeside beside; // the real helper, and a loader handed it

TEST(MetafileHelper, EachFailureCostsOnlyItsPictureAndTheNextIsDrawn) {
    MetafileHelper helper(machineClock, StandIn, {}, Quick);
    const QSize size(30, 20);
    const QString stopped = QStringLiteral("the metafile helper stopped");
    const QString late = QStringLiteral("the metafile helper took too long");
    const QString malformed = QStringLiteral("the metafile helper gave a malformed answer");
    const std::pair<const char*, QString> cases[] = {
        {"CRASH", stopped},
        {"HANG", late},
        {"SLOW", late},
        {"HUGE", malformed},
        {"WRONGSIZE", malformed},
        {"JUNK", malformed},
        {"LONGREASON", malformed},
        // The right size announced, another byte count sent: refused on the count, before
        // any pixel is read (neither written past the picture nor waited for).
        {"MORE", malformed},
        {"FEWER", malformed},
    };
    int round = 0;
    for (const auto& [file, reason] : cases) {
        SCOPED_TRACE(file);
        QElapsedTimer clock;
        clock.start();
        const auto failed = helper.render(Kind::Emf, file, size);
        ASSERT_FALSE(failed.ok());
        EXPECT_EQ(failed.error().number, rt::err::InvalidPicture);
        EXPECT_EQ(failed.error().description, reason);
        EXPECT_LT(clock.elapsed(), Quick.answerMs + 1000);
        const auto next = helper.render(Kind::Emf, "fine", size);
        ASSERT_TRUE(next.ok()) << qPrintable(next.error().description);
        EXPECT_EQ(next.value().size(), size);
        EXPECT_EQ(next.value().pixel(29, 19), 0xFF336699u);
        EXPECT_EQ(helper.starts(), 2 + round++); // one helper lost per failure, no more
    }
    // Sizes too.
    EXPECT_FALSE(helper.size(Kind::Wmf, "CRASH").ok());
    const auto size2 = helper.size(Kind::Wmf, "fine");
    ASSERT_TRUE(size2.ok());
    EXPECT_EQ(size2.value(), QSize(10, 20));
}

TEST(MetafileHelper, OneThatDiedBetweenPicturesIsReplacedUnseen) {
    MetafileHelper helper(machineClock, StandIn, {}, Quick);
    EXPECT_TRUE(helper.render(Kind::Wmf, "BYE", QSize(4, 4)).ok());
    const auto next = helper.render(Kind::Wmf, "fine", QSize(4, 4));
    EXPECT_TRUE(next.ok()) << qPrintable(next.error().description);
    EXPECT_EQ(helper.starts(), 2);
}

// The loader measures and draws metafiles with the helper it is handed, and no other.
TEST(MetafileHelper, TheLoaderUsesTheHelperItIsHanded) {
    TempDir dir;
    const QString path = dir.path(QStringLiteral("mappa.wmf"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    // A WMF without a placeable header: its size comes from the helper.
    f.write(QByteArray("\x01\x00\x09\x00\x00\x03\x0c\x00\x00\x00\x00\x00"
                       "\x00\x00\x00\x00\x00\x00\x03\x00\x00\x00\x00\x00",
                       24));
    f.close();
    MetafileHelper standIn(machineClock, StandIn, {}, Quick);
    const rt::PictureLoader loader(standIn);
    const auto header = loader.readHeader(path);
    ASSERT_TRUE(header.ok()) << qPrintable(header.error().description);
    EXPECT_EQ(header.value().natural, QSize(10, 20)); // the stand-in's answer
    const auto image = loader.decode(path, QSize(8, 6));
    ASSERT_TRUE(image.ok()) << qPrintable(image.error().description);
    EXPECT_EQ(image.value().pixel(7, 5), 0xFF336699u);
    EXPECT_EQ(standIn.starts(), 1);
    // Another loader, handed a helper that cannot start, refuses the same file.
    MetafileHelper missing(machineClock, QStringLiteral("/nonexistent/quadrello-metafile"), {},
                           Quick);
    EXPECT_EQ(rt::PictureLoader(missing).decode(path).error().number, rt::err::InvalidPicture);
    EXPECT_EQ(standIn.starts(), 1);
}

TEST(MetafileHelper, OneThatCannotStartRefusesThePictureInTime) {
    const std::pair<const char*, MetafileHelper*> cases[] = {
        {"never greets",
         new MetafileHelper(machineClock, StandIn, {QStringLiteral("--silent")}, Quick)},
        {"missing",
         new MetafileHelper(machineClock, QStringLiteral("/nonexistent/quadrello-metafile"), {},
                            Quick)},
    };
    for (const auto& [what, helper] : cases) {
        SCOPED_TRACE(what);
        QElapsedTimer clock;
        clock.start();
        const auto image = helper->render(Kind::Emf, "fine", QSize(4, 4));
        ASSERT_FALSE(image.ok());
        EXPECT_EQ(image.error().number, rt::err::InvalidPicture);
        EXPECT_LT(clock.elapsed(), Quick.startMs + 1000);
        delete helper;
    }
}

// The helper's self-check: its account of itself, and its table of calls (one line each,
// "call NAME: RESULT"), by name.
struct SelfCheck {
    QString out;
    std::map<QString, QString> calls;
};

SelfCheck checkConfinement(const QStringList& options) {
    QProcess check;
    check.start(HelperBeside::program(),
                QStringList{QStringLiteral("--check-confinement")} + options);
    EXPECT_TRUE(check.waitForFinished(20000));
    SelfCheck c;
    c.out = QString::fromLatin1(check.readAllStandardOutput());
    for (const QString& line : c.out.split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("scratch /tmp/"))) // what it made and could not remove
            QDir(line.mid(8)).removeRecursively();
        if (!line.startsWith(QLatin1String("call "))) continue;
        const qsizetype colon = line.indexOf(QLatin1String(": "));
        c.calls[line.mid(5, colon - 5)] = line.mid(colon + 2);
    }
    return c;
}

TEST(MetafileHelper, IsConfinedOnceStarted) {
    // What an attacker running code in the helper would try first; the check tries more.
    const char* const refused[] = {"chmod",
                                   "fchmod",
                                   "fchmodat",
                                   "fchmodat2",
                                   "chown",
                                   "fchownat",
                                   "setxattr",
                                   "lsetxattr",
                                   "fsetxattr",
                                   "setxattrat",
                                   "removexattr",
                                   "lremovexattr",
                                   "fremovexattr",
                                   "removexattrat",
                                   "utime",
                                   "utimes",
                                   "futimesat",
                                   "utimensat",
                                   "prlimit64 other",
                                   "setpriority other",
                                   "kill other",
                                   "tgkill other",
                                   "kill group",
                                   "fork",
                                   "clone process",
                                   "clone3",
                                   "execve",
                                   "execveat",
                                   "open for writing",
                                   "openat for writing",
                                   "openat creating",
                                   "openat truncating",
                                   "openat2",
                                   "creat",
                                   "mkdir",
                                   "mknod",
                                   "rename",
                                   "unlink",
                                   "truncate",
                                   "mount",
                                   "fsopen",
                                   "open_tree",
                                   "move_mount",
                                   "unshare",
                                   "setns",
                                   "sethostname",
                                   "keyctl",
                                   "add_key",
                                   "io_uring_setup",
                                   "socket unix",
                                   "socket inet",
                                   "socketpair",
                                   "mmap executable",
                                   "mprotect executable",
                                   "ioctl TIOCSTI",
                                   "prctl PR_SET_PTRACER",
                                   "fcntl F_SETOWN other",
                                   "fcntl F_SETOWN_EX other",
                                   "fcntl F_SETSIG",
                                   "fcntl O_ASYNC",
                                   "fcntl F_SETLEASE",
                                   "fcntl F_SETLK",
                                   "fcntl F_OFD_SETLK",
                                   "flock"};
    const char* const ended[] = {"ptrace",          "process_vm_readv", "process_vm_writev", "bpf",
                                 "perf_event_open", "userfaultfd",      "init_module"};
    // With Landlock, and without it: the system-call filter alone refuses the same calls
    // (opening for writing included, which Landlock refuses too).
    for (const bool landlock : {true, false}) {
        SCOPED_TRACE(landlock ? "with Landlock" : "the filter alone");
        const SelfCheck c =
            checkConfinement(landlock ? QStringList() : QStringList{"--no-landlock"});
        const QString& out = c.out;
        EXPECT_TRUE(out.contains(QLatin1String("filter 1"))) << qPrintable(out);
        EXPECT_TRUE(out.contains(QLatin1String("threads 1")))
            << qPrintable(out); // all under Landlock
        // With Landlock the fonts can be read and nothing else; without it nothing can be
        // opened at all once confined.
        EXPECT_TRUE(out.contains(QLatin1String("read outside: refused"))) << qPrintable(out);
        if (!landlock) {
            EXPECT_TRUE(out.contains(QLatin1String("landlock 0"))) << qPrintable(out);
        }
        EXPECT_TRUE(out.contains(out.contains(QLatin1String("landlock 0"))
                                     ? QLatin1String("read fonts: refused")
                                     : QLatin1String("read fonts: allowed")))
            << qPrintable(out);
        // No privileges: no capability in any set, none to be gained, and not root.
        EXPECT_TRUE(out.contains(QLatin1String("capabilities none"))) << qPrintable(out);
        for (const char* set : {"CapInh", "CapPrm", "CapEff", "CapBnd", "CapAmb"})
            EXPECT_TRUE(out.contains(QStringLiteral("status %1:\t0000000000000000").arg(set)))
                << set << "\n"
                << qPrintable(out);
        EXPECT_TRUE(out.contains(QLatin1String("status NoNewPrivs:\t1"))) << qPrintable(out);
        EXPECT_TRUE(out.contains(QLatin1String("status Seccomp:\t2"))) << qPrintable(out);
        if (::getuid() == 0) {
            EXPECT_FALSE(out.contains(QLatin1String("\nuid 0\n"))) << qPrintable(out);
            EXPECT_FALSE(out.contains(QLatin1String("status Uid:\t0"))) << qPrintable(out);
        }
        // Every call of the table refused, those asked for here among them.
        EXPECT_GT(c.calls.size(), std::size(refused) + std::size(ended)) << qPrintable(out);
        for (const auto& [name, result] : c.calls)
            EXPECT_TRUE(result.startsWith(QLatin1String("refused")))
                << qPrintable(name) << ": " << qPrintable(result);
        for (const char* name : refused)
            EXPECT_TRUE(c.calls.count(QLatin1String(name))) << name << " not tried";
        for (const char* name : ended)
            EXPECT_EQ(c.calls.count(QLatin1String(name)) ? c.calls.at(QLatin1String(name))
                                                         : QString(),
                      QLatin1String("refused (ended by SIGSYS)"))
                << name;
    }
}

// --- EMF text, clipping and font lookups through the real helper -------------------------

void put32(QByteArray& b, quint32 v) {
    char field[4];
    qToLittleEndian(v, field);
    b.append(field, 4);
}

// Text in Arial `height` pixels tall, at `at`: characters, or glyph indices (which the
// converter maps back to characters by looking the font up in fontconfig).
void text(samples::EmfWriter& w, QPoint at, const QString& chars, int height, bool glyphs) {
    QByteArray font;
    put32(font, 3); // object slot
    for (const qint32 v : {-height, 0, 0, 0, 400})
        put32(font, quint32(v));
    font.append(QByteArray("\0\0\0\0\0\0\0\0", 8)); // italic ... pitch: ANSI, defaults
    QByteArray face(64, '\0');
    const QString arial = QStringLiteral("Arial");
    for (int i = 0; i < arial.size(); ++i)
        face[2 * i] = char(arial[i].unicode());
    font.append(face);
    w.record(82, font); // EXTCREATEFONTINDIRECTW
    QByteArray select;
    put32(select, 3);
    w.record(37, select);
    QByteArray colour;
    put32(colour, 0);     // black
    w.record(24, colour); // SETTEXTCOLOR
    QByteArray t;
    for (const int v : {0, 0, -1, -1})
        put32(t, quint32(v)); // bounds
    put32(t, 1);              // graphics mode
    put32(t, 0);
    put32(t, 0);
    put32(t, quint32(at.x()));
    put32(t, quint32(at.y()));
    put32(t, quint32(chars.size()));
    put32(t, 76);                // the string, after the fixed part
    put32(t, glyphs ? 0x10 : 0); // options: glyph indices
    for (const int v : {0, 0, -1, -1})
        put32(t, quint32(v));
    put32(t, 0); // no spacing
    QByteArray string;
    for (const QChar c : chars) {
        const int code = glyphs ? c.unicode() - 29 : c.unicode(); // Arial's glyphs: 'A' is 36
        string.append(char(code & 0xFF)).append(char(code >> 8));
    }
    while (string.size() % 4)
        string.append('\0');
    w.record(84, t + string); // EXTTEXTOUTW
}

QImage shown(const QByteArray& bytes, QSize size) {
    TempDir dir;
    const QString path = dir.path(QStringLiteral("picture.emf"));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return {};
    f.write(bytes);
    f.close();
    const auto image = beside.loader.decode(path, size);
    EXPECT_TRUE(image.ok()) << qPrintable(image.error().description);
    return image.ok() ? image.value() : QImage();
}

// Near-black pixels in `area`.
int ink(const QImage& image, const QRect& area) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb c = image.pixel(x, y);
            if (qAlpha(c) > 128 && qRed(c) < 90 && qGreen(c) < 90 && qBlue(c) < 90) ++n;
        }
    return n;
}

TEST(MetafileHelper, FontLookupsOfTheConverterLeaveTheShowsFontsAlone) {
    samples::EmfWriter w(200, 60);
    w.colours(Qt::white, Qt::white, 0);
    w.rectangle({0, 0, 200, 60});
    text(w, {10, 10}, QStringLiteral("AAAA"), 30, true);
    const int startsBefore = beside.helper.starts();
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const QImage image = shown(w.bytes(), QSize(200, 60));
        ASSERT_FALSE(image.isNull());
        EXPECT_GT(ink(image, {0, 0, 200, 60}), 50); // the text is there
    }
    EXPECT_LE(beside.helper.starts() - startsBefore, 1); // the same helper throughout
    // The show's own text and a JPEG after it.
    QImage caption(200, 40, QImage::Format_RGB32);
    caption.fill(Qt::white);
    QPainter p(&caption);
    p.setFont(QFont(QStringLiteral("Arial"), 20));
    p.setPen(Qt::black);
    p.drawText(caption.rect(), Qt::AlignCenter, QStringLiteral("vacanze\\mare01.jpg"));
    p.end();
    EXPECT_GT(ink(caption, caption.rect()), 50);
    TempDir dir;
    const QString jpeg = dir.path(QStringLiteral("mare01.jpg"));
    QFile f(jpeg);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(pictures::encoded(pictures::halves(), "JPEG", 95));
    f.close();
    EXPECT_TRUE(beside.loader.decode(jpeg, QSize(64, 48)).ok());
}

TEST(MetafileHelper, ClippingAndTextAreDrawnWhereTheFileSays) {
    // A red page clipped to its left half, with black text at the top left.
    samples::EmfWriter w(200, 100);
    QByteArray clip;
    for (const int v : {0, 0, 100, 100})
        put32(clip, quint32(v));
    w.record(30, clip); // INTERSECTCLIPRECT
    w.colours(QColor(220, 20, 30), QColor(220, 20, 30), 0);
    w.rectangle({0, 0, 200, 100});
    text(w, {5, 5}, QStringLiteral("Mare"), 24, false);
    const QImage image = shown(w.bytes(), QSize(200, 100));
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(QColor(image.pixel(50, 80)), QColor(220, 20, 30));
    EXPECT_EQ(qAlpha(image.pixel(150, 50)), 0); // outside the clip: nothing drawn
    EXPECT_GT(ink(image, {0, 0, 100, 40}), 30); // the text, in its corner
    EXPECT_EQ(ink(image, {0, 50, 200, 50}), 0);
}

} // namespace
