// The show's side of the metafile helper. Through a stand-in that misbehaves on request:
// every failure costs only its picture (481, in bounded time) and the next picture is
// drawn by a fresh helper. Through the real helper: it is confined, what its libraries do
// to fontconfig stays in it, and real-world drawing (clipping, text) comes back right.

#include "MetafileHelper.h"
#include "PictureFiles.h"
#include "PictureLoader.h"
#include "QtPrinters.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QProcess>
#include <QtEndian>

namespace {

using rt::MetafileHelper;
using rt::metafile::Kind;

const QString StandIn = QStringLiteral(STANDIN_HELPER);
constexpr rt::HelperDeadlines Quick{2000, 800};

QString realHelper() {
    return QCoreApplication::applicationDirPath() + QStringLiteral("/quadrello-metafile");
}

TEST(MetafileHelper, EachFailureCostsOnlyItsPictureAndTheNextIsDrawn) {
    MetafileHelper helper(StandIn, {}, Quick);
    const QSize size(30, 20);
    int round = 0;
    for (const char* file : {"CRASH", "HANG", "SLOW", "HUGE", "WRONGSIZE", "JUNK", "LONGREASON"}) {
        SCOPED_TRACE(file);
        QElapsedTimer clock;
        clock.start();
        const auto failed = helper.render(Kind::Emf, file, size);
        ASSERT_FALSE(failed.ok());
        EXPECT_EQ(failed.error().number, rt::err::InvalidPicture);
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
    MetafileHelper helper(StandIn, {}, Quick);
    EXPECT_TRUE(helper.render(Kind::Wmf, "BYE", QSize(4, 4)).ok());
    const auto next = helper.render(Kind::Wmf, "fine", QSize(4, 4));
    EXPECT_TRUE(next.ok()) << qPrintable(next.error().description);
    EXPECT_EQ(helper.starts(), 2);
}

TEST(MetafileHelper, OneThatCannotStartRefusesThePictureInTime) {
    const std::pair<const char*, MetafileHelper*> cases[] = {
        {"never greets", new MetafileHelper(StandIn, {QStringLiteral("--silent")}, Quick)},
        {"missing",
         new MetafileHelper(QStringLiteral("/nonexistent/quadrello-metafile"), {}, Quick)},
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

TEST(MetafileHelper, IsConfinedOnceStarted) {
    QProcess check;
    check.start(realHelper(), {QStringLiteral("--check-confinement")});
    ASSERT_TRUE(check.waitForFinished(10000));
    const QString out = QString::fromLatin1(check.readAllStandardOutput());
    EXPECT_TRUE(out.contains(QLatin1String("filter 1"))) << qPrintable(out);
    for (const char* line :
         {"create: refused", "make folder: refused", "execute: refused", "read fonts: allowed"})
        EXPECT_TRUE(out.contains(QLatin1String(line))) << line << "\n" << qPrintable(out);
    if (!out.contains(QLatin1String("landlock 0"))) {
        EXPECT_TRUE(out.contains(QLatin1String("read outside: refused"))) << qPrintable(out);
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
    const auto image = rt::PictureLoader::decode(path, size);
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
    const int startsBefore = MetafileHelper::shared().starts();
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const QImage image = shown(w.bytes(), QSize(200, 60));
        ASSERT_FALSE(image.isNull());
        EXPECT_GT(ink(image, {0, 0, 200, 60}), 50); // the text is there
    }
    EXPECT_LE(MetafileHelper::shared().starts() - startsBefore, 1); // the same helper throughout
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
    EXPECT_TRUE(rt::PictureLoader::decode(jpeg, QSize(64, 48)).ok());
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
