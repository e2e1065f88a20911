// Metafiles drawn by our renderers: shapes, pens, brushes, text and bitmaps in exact colours
// where the picture says they are, the frame and natural size of files with and without a
// placeable header, and damaged or hostile files refused (481) quickly and without harm.

#include "Metafile.h"
#include "MetafileHelper.h"
#include "WarmUpPictures.h"

#include "MetafileWriter.h"
#include "PictureFiles.h"
#include "QtPrinters.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QtEndian>

#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

using samples::EmfWriter;
using samples::WmfWriter;

const QColor White(255, 255, 255);
const QColor Red(220, 20, 30);
const QColor Green(30, 160, 60);
const QColor Blue(20, 40, 210);
const QColor Yellow(240, 220, 20);
const QColor Ink(10, 90, 120);

// 1000 x 1000 units at 1000 to the inch, white all over; drawn at 100 x 100 pixels a unit
// is a tenth of a pixel.
WmfWriter canvas() {
    WmfWriter w(1000, 1000, 1000);
    w.colours(White, White, 0);
    w.rectangle({0, 0, 1000, 1000});
    return w;
}

QImage drawn(const QByteArray& bytes, QSize size = QSize(100, 100)) {
    const auto image = rt::renderWmf(bytes, size);
    EXPECT_TRUE(image.ok()) << qPrintable(image.error().description);
    if (!image.ok()) return QImage(size, QImage::Format_ARGB32);
    EXPECT_EQ(image.value().size(), size);
    return image.value();
}

std::string name(const QColor& c) {
    return c.name(QColor::HexArgb).toStdString();
}

// Pixels of exactly `colour` in `area`.
int count(const QImage& image, const QColor& colour, const QRect& area) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (image.pixelColor(x, y) == colour) ++n;
    return n;
}

struct Shape {
    const char* name;
    std::function<void(WmfWriter&)> draw;
    std::vector<std::pair<QPoint, QColor>> expected;
};

void PrintTo(const Shape& s, std::ostream* os) {
    *os << s.name;
}

class Shapes : public ::testing::TestWithParam<Shape> {};

TEST_P(Shapes, LandWhereTheRecordsPutThemInExactColours) {
    WmfWriter w = canvas();
    GetParam().draw(w);
    const QImage image = drawn(w.bytes());
    for (const auto& [at, colour] : GetParam().expected)
        EXPECT_EQ(name(image.pixelColor(at)), name(colour)) << "at " << at.x() << ", " << at.y();
}

const QVector<QPoint> outer{{100, 100}, {900, 100}, {900, 900}, {100, 900}};
const QVector<QPoint> inner{{300, 300}, {700, 300}, {700, 700}, {300, 700}};

INSTANTIATE_TEST_SUITE_P(
    Wmf, Shapes,
    ::testing::Values(
        Shape{"rectangle",
              [](WmfWriter& w) {
                  w.colours(Red, Red, 0);
                  w.rectangle({200, 200, 600, 600});
              },
              {{{50, 50}, Red}, {{10, 10}, White}, {{90, 90}, White}}},
        Shape{"ellipse",
              [](WmfWriter& w) {
                  w.colours(Red, Red, 0);
                  w.ellipse({100, 100, 800, 800});
              },
              {{{50, 50}, Red}, {{50, 12}, Red}, {{15, 15}, White}, {{85, 85}, White}}},
        Shape{"polygon",
              [](WmfWriter& w) {
                  w.colours(Red, Red, 0);
                  w.polygon({{500, 100}, {900, 900}, {100, 900}});
              },
              {{{50, 60}, Red}, {{15, 15}, White}, {{85, 15}, White}}},
        Shape{"polygons with a hole (alternate filling)",
              [](WmfWriter& w) {
                  w.colours(Red, Red, 0);
                  w.polyPolygon({outer, inner});
              },
              {{{20, 50}, Red}, {{50, 50}, White}, {{5, 5}, White}}},
        Shape{"polygons filled by winding",
              [](WmfWriter& w) {
                  w.colours(Red, Red, 0);
                  w.polyFillMode(true);
                  w.polyPolygon({outer, inner});
              },
              {{{20, 50}, Red}, {{50, 50}, Red}, {{5, 5}, White}}},
        Shape{"rounded rectangle",
              [](WmfWriter& w) {
                  w.colours(Red, Red, 0);
                  w.roundRect({100, 100, 800, 800}, {400, 400});
              },
              {{{50, 50}, Red}, {{12, 50}, Red}, {{12, 12}, White}, {{87, 87}, White}}},
        Shape{"pie from three to twelve o'clock",
              [](WmfWriter& w) {
                  w.colours(Red, Red, 0);
                  w.pie({0, 0, 1000, 1000}, {1000, 500}, {500, 0});
              },
              {{{75, 25}, Red}, {{25, 25}, White}, {{25, 75}, White}, {{75, 75}, White}}},
        Shape{"chord from three to twelve o'clock",
              [](WmfWriter& w) {
                  w.colours(Red, Red, 0);
                  w.chord({0, 0, 1000, 1000}, {1000, 500}, {500, 0});
              },
              {{{80, 20}, Red}, {{60, 40}, White}, {{25, 75}, White}}},
        Shape{"arc from three to twelve o'clock",
              [](WmfWriter& w) {
                  w.noBrush();
                  w.pen(Red, 60);
                  w.arc({0, 0, 1000, 1000}, {1000, 500}, {500, 0});
              },
              {{{85, 14}, Red}, {{14, 85}, White}, {{50, 50}, White}}},
        Shape{"line",
              [](WmfWriter& w) {
                  w.pen(Red, 60);
                  w.line({0, 500}, {1000, 500});
              },
              {{{50, 50}, Red}, {{50, 30}, White}}},
        Shape{"polyline",
              [](WmfWriter& w) {
                  w.pen(Red, 60);
                  w.polyline({{100, 100}, {900, 100}, {900, 900}});
              },
              {{{50, 10}, Red}, {{90, 50}, Red}, {{50, 50}, White}, {{10, 90}, White}}},
        Shape{"outline in the pen, inside in the brush",
              [](WmfWriter& w) {
                  w.colours(Red, Blue, 80);
                  w.rectangle({200, 200, 600, 600});
              },
              {{{50, 50}, Red}, {{20, 50}, Blue}, {{50, 80}, Blue}, {{10, 10}, White}}},
        Shape{"pen without a brush",
              [](WmfWriter& w) {
                  w.noBrush();
                  w.pen(Blue, 80);
                  w.rectangle({200, 200, 600, 600});
              },
              {{{50, 50}, White}, {{20, 50}, Blue}}}),
    [](const ::testing::TestParamInfo<Shape>& param) {
        std::string n = param.param.name;
        for (char& c : n)
            if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
        return n;
    });

// --- Pens and brushes -------------------------------------------------------------------

TEST(WmfPens, APenThinnerThanAPixelStillShows) {
    WmfWriter w = canvas();
    w.pen(QColor(0, 0, 0), 1); // a tenth of a pixel
    w.line({0, 505}, {1000, 505});
    const QImage image = drawn(w.bytes());
    EXPECT_LT(image.pixelColor(50, 50).red(), 100) << name(image.pixelColor(50, 50));
}

TEST(WmfPens, DashGapsShowTheBackgroundColourOnlyWhenOpaque) {
    for (const bool opaque : {false, true}) {
        SCOPED_TRACE(opaque);
        WmfWriter w = canvas();
        w.backgroundMode(opaque);
        w.backgroundColour(Green);
        w.pen(QColor(0, 0, 0), 1, WmfWriter::Dash);
        w.line({0, 505}, {1000, 505});
        const QImage image = drawn(w.bytes());
        const QRect row(0, 50, 100, 1);
        EXPECT_GT(count(image, QColor(0, 0, 0), row), 30);
        EXPECT_EQ(count(image, White, row) > 5, !opaque);
        EXPECT_EQ(count(image, Green, row) > 5, opaque);
    }
}

TEST(WmfBrushes, HatchesLeaveTheBackgroundOrTheBackgroundColourBetweenLines) {
    for (const bool opaque : {false, true}) {
        SCOPED_TRACE(opaque);
        WmfWriter w = canvas();
        w.backgroundMode(opaque);
        w.backgroundColour(Green);
        w.pen(Red, 0, WmfWriter::NoLine);
        w.brush(Red, WmfWriter::Cross);
        w.rectangle({100, 100, 800, 800});
        const QImage image = drawn(w.bytes());
        const QRect inside(15, 15, 70, 70);
        const QColor gap = opaque ? Green : White;
        const int lines = count(image, Red, inside), gaps = count(image, gap, inside);
        EXPECT_GT(lines, 400);
        EXPECT_GT(gaps, 2000);
        EXPECT_EQ(lines + gaps, inside.width() * inside.height()); // nothing else in between
    }
}

// --- Text -------------------------------------------------------------------------------

TEST(WmfText, IsDrawnInItsColourAboveTheBaselineFromItsStart) {
    WmfWriter w = canvas();
    w.backgroundMode(false);
    w.text({100, 700}, "HH", 400, Ink); // 80 pixels tall at 200 x 200, baseline at 140
    const QImage image = drawn(w.bytes(), QSize(200, 200));
    EXPECT_GT(count(image, Ink, QRect(18, 70, 160, 72)), 300);
    EXPECT_EQ(count(image, Ink, QRect(0, 0, 200, 60)), 0);   // above the capitals
    EXPECT_EQ(count(image, Ink, QRect(0, 145, 200, 55)), 0); // below the baseline
    EXPECT_EQ(count(image, Ink, QRect(0, 0, 16, 200)), 0);   // before its start
}

TEST(WmfText, TurnsWithTheFontEscapement) {
    WmfWriter w = canvas();
    w.backgroundMode(false);
    w.text({500, 900}, "HH", 300, Ink, "Arial", 900); // reads upwards from (100, 180)
    const QImage image = drawn(w.bytes(), QSize(200, 200));
    EXPECT_GT(count(image, Ink, QRect(40, 60, 61, 121)), 200);
    EXPECT_EQ(count(image, Ink, QRect(103, 0, 97, 200)), 0); // right of the baseline
    EXPECT_EQ(count(image, Ink, QRect(0, 184, 200, 16)), 0); // below its start
}

TEST(WmfText, AnOpaqueBackgroundFillsBehindTheText) {
    WmfWriter w = canvas();
    w.backgroundMode(true);
    w.backgroundColour(Yellow);
    w.text({100, 700}, "HH", 400, Ink);
    const QImage image = drawn(w.bytes(), QSize(200, 200));
    EXPECT_GT(count(image, Yellow, QRect(18, 60, 160, 95)), 2000);
    EXPECT_GT(count(image, Ink, QRect(18, 60, 160, 95)), 300);
    EXPECT_EQ(name(image.pixelColor(190, 10)), name(White));
}

// --- Bitmaps ----------------------------------------------------------------------------

QImage quadrants() {
    QImage q(2, 2, QImage::Format_RGB32);
    q.setPixelColor(0, 0, Red);
    q.setPixelColor(1, 0, Green);
    q.setPixelColor(0, 1, Blue);
    q.setPixelColor(1, 1, Yellow);
    return q;
}

TEST(WmfBitmaps, AreStretchedOverTheirRectangle) {
    WmfWriter w = canvas();
    w.bitmap({200, 200, 600, 600}, quadrants());
    const QImage image = drawn(w.bytes());
    EXPECT_EQ(name(image.pixelColor(30, 30)), name(Red));
    EXPECT_EQ(name(image.pixelColor(70, 30)), name(Green));
    EXPECT_EQ(name(image.pixelColor(30, 70)), name(Blue));
    EXPECT_EQ(name(image.pixelColor(70, 70)), name(Yellow));
    EXPECT_EQ(name(image.pixelColor(10, 10)), name(White));
}

TEST(WmfBitmaps, OneThatDoesNotFitItsDataIsLeftOutAndTheRestDrawn) {
    WmfWriter w = canvas();
    w.bitmap({200, 200, 600, 600}, quadrants());
    w.colours(Red, Red, 0);
    w.rectangle({0, 0, 100, 100});
    QByteArray bytes = w.bytes();
    const qsizetype header = bytes.indexOf(QByteArray("\x28\0\0\0\x02\0\0\0", 8)); // 40, width 2
    ASSERT_GT(header, 0);
    bytes[header + 5] = char(0xEA); // 60002 pixels wide, with the data of two
    bytes[header + 4] = char(0x62);
    const QImage image = drawn(bytes);
    EXPECT_EQ(name(image.pixelColor(50, 50)), name(White));
    EXPECT_EQ(name(image.pixelColor(5, 5)), name(Red));
}

// --- Frame and natural size ---------------------------------------------------------------

// The same records as kept in memory: no placeable header, so no frame of their own.
QByteArray withoutPlaceableHeader(const WmfWriter& w) {
    return w.bytesWithoutPlaceableHeader();
}

TEST(WmfFrame, WithoutAPlaceableHeaderTheWindowAndMappingModeGiveTheSize) {
    struct Case {
        const char* what;
        int mode; // 0: none set (pixels)
        QSize window;
        QSize natural;
    };
    const Case cases[] = {
        {"pixels", 0, {300, 200}, {300, 200}},
        {"anisotropic, 1440 to the inch", 8, {2880, 1440}, {192, 96}},
        {"tenths of a millimetre", 2, {508, 254}, {192, 96}},
        {"twips", 6, {1440, 720}, {96, 48}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WmfWriter w(c.window.width(), c.window.height());
        if (c.mode) w.raw(0x0103, QByteArray(1, char(c.mode)) + QByteArray(1, '\0')); // SETMAPMODE
        w.colours(Blue, Blue, 0);
        w.rectangle({0, 0, c.window.width(), c.window.height()});
        w.colours(Red, Red, 0);
        w.rectangle({0, 0, c.window.width() / 2, c.window.height()});
        const QByteArray bytes = withoutPlaceableHeader(w);
        const auto size = rt::wmfSize(bytes);
        ASSERT_TRUE(size.ok()) << qPrintable(size.error().description);
        EXPECT_EQ(size.value(), c.natural);
        const QImage image = drawn(bytes, c.natural);
        EXPECT_EQ(name(image.pixelColor(c.natural.width() / 4, c.natural.height() / 2)), name(Red));
        EXPECT_EQ(name(image.pixelColor(c.natural.width() * 3 / 4, c.natural.height() / 2)),
                  name(Blue));
    }
}

TEST(WmfFrame, WithoutAWindowEitherTheDrawingsBoundsAreTheFrame) {
    WmfWriter w(1000, 1000);
    w.colours(Red, Red, 0);
    w.rectangle({100, 100, 300, 200});
    QByteArray bytes = withoutPlaceableHeader(w);
    bytes.remove(18, 20); // the two window records the writer starts with
    const auto size = rt::wmfSize(bytes);
    ASSERT_TRUE(size.ok()) << qPrintable(size.error().description);
    EXPECT_NEAR(size.value().width(), 300, 2);
    EXPECT_NEAR(size.value().height(), 200, 2);
    const QImage image = drawn(bytes, QSize(60, 40));
    EXPECT_EQ(name(image.pixelColor(30, 20)), name(Red));
    EXPECT_EQ(name(image.pixelColor(3, 3)), name(Red));
}

TEST(WmfFrame, AWindowWithYUpwardsIsDrawnTheRightWayUp) {
    WmfWriter w(1000, 1000);
    w.raw(0x0103, QByteArray("\x08\0", 2));           // anisotropic
    w.raw(0x020B, QByteArray("\xE8\x03\x00\x00", 4)); // window origin (0, 1000)
    w.raw(0x020C, QByteArray("\x18\xFC\xE8\x03", 4)); // window extent (1000, -1000)
    w.colours(Blue, Blue, 0);
    w.rectangle({0, 0, 1000, 1000});
    w.colours(Red, Red, 0);
    w.rectangle({0, 800, 1000, 200}); // y from 800 to 1000: the top
    const QImage image = drawn(withoutPlaceableHeader(w));
    EXPECT_EQ(name(image.pixelColor(50, 8)), name(Red));
    EXPECT_EQ(name(image.pixelColor(50, 90)), name(Blue));
}

// Coordinates far outside the frame cost Qt time in proportion; they must not hold up the
// drawing, nor lose the part of the shape that shows.
TEST(WmfFrame, ShapesReachingFarOutsideAreDrawnQuickly) {
    WmfWriter w(100, 100, 100);
    w.colours(Red, Red, 40);
    for (int i = 0; i < 40; ++i) {
        w.polygon({{50, 50}, {32000, 100}, {100, 32000}});
        w.polyline({{-32000, -32000}, {50, 10}, {32000, -32000}});
        w.ellipse({-32000, -32000, 32000, 32000});
    }
    QElapsedTimer clock;
    clock.start();
    const QImage image = drawn(w.bytes(), QSize(400, 400));
    EXPECT_LT(clock.elapsed(), 3000);
    EXPECT_EQ(name(image.pixelColor(300, 300)), name(Red));
}

// --- Damaged and hostile files --------------------------------------------------------------

using pictures::put16;
using pictures::put32;
QByteArray words(std::initializer_list<int> values) {
    QByteArray b;
    for (const int v : values)
        writers::append16(b, v);
    return b;
}

// Offsets of the records of a placeable WMF, its end record included.
std::vector<qsizetype> wmfRecords(const QByteArray& b) {
    std::vector<qsizetype> at;
    for (qsizetype p = 22 + 18; p + 6 <= b.size();) {
        at.push_back(p);
        const quint32 size = qFromLittleEndian<quint32>(b.constData() + p);
        p += qsizetype(size) * 2;
    }
    return at;
}

QByteArray withObjects(QByteArray b, int objects) {
    put16(b, 22 + 10, objects);
    return b;
}

struct Hostile {
    const char* what;
    QByteArray bytes;
};

void PrintTo(const Hostile& h, std::ostream* os) {
    *os << h.what;
}

std::vector<Hostile> hostileWmfs() {
    std::vector<Hostile> all;
    WmfWriter base = canvas();
    base.colours(Red, Blue, 10);
    base.polygon({{100, 100}, {900, 100}, {500, 900}});
    const QByteArray good = base.bytes();
    const std::vector<qsizetype> records = wmfRecords(good);
    const qsizetype polygon = records[records.size() - 2];

    for (const quint32 size : {0u, 2u, 4u, 1000u, 0x80000000u}) {
        QByteArray b = good;
        put32(b, polygon, size);
        all.push_back({"a polygon record of the wrong length", b});
    }
    all.push_back({"no end record", good.left(good.size() - 6)});
    QByteArray version = good;
    put16(version, 22 + 4, 0x0200);
    all.push_back({"an unknown version", version});
    QByteArray noInch = good;
    put16(noInch, 14, 0);
    all.push_back({"no units per inch", noInch});
    QByteArray flat = good;
    put16(flat, 10, 0);
    all.push_back({"an empty frame", flat});
    all.push_back({"fewer object slots than objects", withObjects(good, 1)});

    WmfWriter points = canvas();
    points.raw(0x0324, words({1000, 100, 100, 900, 100, 500, 900})); // 1000 points, 3 given
    all.push_back({"a polygon with fewer points than it counts", points.bytes()});

    // A font deleted while still selected, its slot taken by a pen: the player would read
    // the pen's memory as the font's name when it draws the text.
    WmfWriter reused = canvas();
    reused.raw(0x02FB,
               words({-100, 0, 0, 0, 400, 0, 0, 0, 0, 'A' | 'r' << 8, 'i' | 'a' << 8, 'l'}));
    reused.raw(0x012D, words({2}));                   // select the font
    reused.raw(0x01F0, words({2}));                   // delete it
    reused.raw(0x02FA, words({0, 10, 0, 0x00FF, 0})); // a pen in its slot
    reused.raw(0x0521, words({2, 'H' | 'i' << 8, 500, 100}));
    all.push_back({"an object slot reused while selected", withObjects(reused.bytes(), 3)});

    WmfWriter saved = canvas();
    for (int i = 0; i < 1100; ++i)
        saved.raw(0x001E, {}); // SAVEDC
    all.push_back({"1100 saved states", saved.bytes()});
    WmfWriter clipped = canvas();
    for (int i = 0; i < 5000; ++i)
        clipped.raw(0x0415, words({i % 900 + 10, i % 900 + 10, i % 900, i % 900}));
    all.push_back({"5000 excluded clip rectangles", clipped.bytes()});
    WmfWriter divided = canvas();
    divided.raw(0x0410, words({0, 1, 0, 1})); // SCALEWINDOWEXT by 1/0
    all.push_back({"a window scaled by 1/0", divided.bytes()});

    WmfWriter mode(100, 100);
    mode.raw(0x0103, words({99}));
    mode.colours(Red, Red, 0);
    mode.rectangle({0, 0, 50, 50});
    all.push_back({"an unknown mapping mode", mode.bytesWithoutPlaceableHeader()});
    return all;
}

class HostileWmf : public ::testing::TestWithParam<Hostile> {};

TEST_P(HostileWmf, IsRefusedQuickly) {
    QElapsedTimer clock;
    clock.start();
    const auto image = rt::renderWmf(GetParam().bytes, QSize(120, 90));
    ASSERT_FALSE(image.ok());
    EXPECT_EQ(image.error().number, rt::err::InvalidPicture);
    EXPECT_LT(clock.elapsed(), 3000);
}

INSTANTIATE_TEST_SUITE_P(Wmf, HostileWmf, ::testing::ValuesIn(hostileWmfs()),
                         [](const ::testing::TestParamInfo<Hostile>& param) {
                             return std::to_string(param.index);
                         });

TEST(Metafiles, AreNotDrawnAtAbsurdSizes) {
    for (const QSize size : {QSize(0, 10), QSize(10, -1), QSize(40000, 10), QSize(20000, 20000)}) {
        SCOPED_TRACE(size.width());
        EXPECT_EQ(rt::renderWmf(pictures::wmf(), size).error().number, rt::err::InvalidPicture);
        EXPECT_EQ(rt::renderEmf(pictures::emf(), size).error().number, rt::err::InvalidPicture);
    }
}

// --- EMF ----------------------------------------------------------------------------------

TEST(Emf, BitmapsAreStretchedOverTheirRectangle) {
    EmfWriter w(100, 100);
    w.colours(White, White, 0);
    w.rectangle({0, 0, 100, 100});
    w.bitmap({20, 20, 60, 60}, quadrants());
    const auto image = rt::renderEmf(w.bytes(), QSize(100, 100));
    ASSERT_TRUE(image.ok()) << qPrintable(image.error().description);
    EXPECT_EQ(name(image.value().pixelColor(30, 30)), name(Red));
    EXPECT_EQ(name(image.value().pixelColor(70, 30)), name(Green));
    EXPECT_EQ(name(image.value().pixelColor(30, 70)), name(Blue));
    EXPECT_EQ(name(image.value().pixelColor(70, 70)), name(Yellow));
    EXPECT_EQ(name(image.value().pixelColor(10, 10)), name(White));
}

// A monochrome pattern brush whose pixels index the palette (as Office writes them) has no
// colour table in its header: it is drawn, as long as the table the converter may still
// read lies within the record.
TEST(Emf, APatternBrushIndexingThePaletteNeedsNoColourTableInItsRecord) {
    const auto brush = [](int rows) {
        QByteArray p;
        for (const quint32 v : {1u, 2u, 36u, 40u, 76u, quint32(4 * rows)}) // DIB_PAL_INDICES
            samples::detail::put32(p, v);
        samples::detail::put32(p, 0); // four bytes before the header, as Office leaves them
        for (const quint32 v : {40u, 8u, quint32(rows)}) // 8 pixels wide: two colours
            samples::detail::put32(p, v);
        samples::detail::put16(p, 1); // planes
        samples::detail::put16(p, 1); // bits a pixel
        for (int i = 0; i < 6; ++i)
            samples::detail::put32(p, 0);
        p.append(QByteArray(4 * rows, '\0'));
        EmfWriter e(10, 10);
        e.record(93, p); // CREATEMONOBRUSH
        return rt::renderEmf(e.bytes(), QSize(10, 10)).ok();
    };
    EXPECT_TRUE(brush(2));  // the two colours the converter may read: the record's last 8 bytes
    EXPECT_FALSE(brush(1)); // they would end 4 bytes beyond it
}

// An EMF that Office made from an older drawing may hold nothing but that drawing's WMF in
// a comment: it is drawn from the WMF then. An EMF that draws is drawn from its own
// records, whatever a comment carries; a comment whose WMF does not fit in it carries none.
TEST(Emf, OneThatDrawsNothingIsDrawnFromTheWmfItsCommentCarries) {
    WmfWriter wmf = canvas();
    wmf.colours(Red, Red, 0);
    wmf.rectangle({250, 250, 500, 500});
    const QByteArray nested = wmf.bytesWithoutPlaceableHeader();
    // The comment as Office writes it, but with a metafile size beyond the record.
    const auto overrunning = [&](EmfWriter& e) {
        EmfWriter whole(1, 1);
        whole.windowsMetafile(nested);
        QByteArray record = whole.bytes().mid(108); // after the header: the comment, then EOF
        record.truncate(qFromLittleEndian<quint32>(record.constData() + 4));
        qToLittleEndian<quint32>(quint32(nested.size() + 4), record.data() + 32);
        e.record(70, record.mid(8));
    };
    const struct {
        const char* name;
        std::function<void(EmfWriter&)> write;
        QColor centre;
    } cases[] = {
        {"nothing but the comment", [&](EmfWriter& e) { e.windowsMetafile(nested); }, Red},
        {"a drawing too",
         [&](EmfWriter& e) {
             e.windowsMetafile(nested);
             e.colours(Blue, Blue, 0);
             e.rectangle({0, 0, 100, 100});
         },
         Blue},
        {"a comment that overruns its record", overrunning, QColor(Qt::transparent)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EmfWriter e(100, 100);
        c.write(e);
        const auto image = rt::renderEmf(e.bytes(), QSize(100, 100));
        ASSERT_TRUE(image.ok()) << qPrintable(image.error().description);
        EXPECT_EQ(name(image.value().pixelColor(50, 50)), name(c.centre));
    }
}

// The helper's warm-up pictures reach what the confinement would refuse to load later:
// libwmf's text (the word, in black) and the EMF library's bitmaps (the red dot, stretched).
TEST(WarmUp, ThePicturesDrawTheirTextAndTheirBitmap) {
    const QImage wmf = drawn(rt::mf::warmUpWmf(), QSize(200, 100));
    EXPECT_GT(count(wmf, QColor(0, 0, 0), QRect(2, 2, 196, 96)), 200); // inside the outline
    const auto emf = rt::renderEmf(rt::mf::warmUpEmf(), QSize(40, 20));
    ASSERT_TRUE(emf.ok()) << qPrintable(emf.error().description);
    EXPECT_GE(count(emf.value(), QColor(255, 0, 0), QRect(0, 0, 40, 20)), 64);
}

TEST(Emf, ShapesReachingFarOutsideAreDrawnQuickly) {
    EmfWriter w(64, 48);
    w.colours(Red, Red, 3);
    for (int i = 0; i < 40; ++i) {
        w.polygon({{-32000, -32000}, {32000, -32000}, {0, 32000}});
        w.polyline({{-32000, 30000}, {32, 24}, {32000, 30000}});
    }
    QElapsedTimer clock;
    clock.start();
    const auto image = rt::renderEmf(w.bytes(), QSize(640, 480));
    ASSERT_TRUE(image.ok()) << qPrintable(image.error().description);
    EXPECT_LT(clock.elapsed(), 3000);
    EXPECT_EQ(name(image.value().pixelColor(320, 100)), name(Red));
}

// Offsets of the records of an EMF, the header first.
std::vector<qsizetype> emfRecords(const QByteArray& b) {
    std::vector<qsizetype> at;
    for (qsizetype p = 0; p + 8 <= b.size();) {
        at.push_back(p);
        const quint32 size = qFromLittleEndian<quint32>(b.constData() + p + 4);
        if (size < 8) break;
        p += size;
    }
    return at;
}

std::vector<Hostile> hostileEmfs() {
    std::vector<Hostile> all;
    EmfWriter base(100, 100);
    base.colours(White, White, 0);
    base.polygon({{10, 10}, {90, 10}, {50, 90}});
    base.bitmap({20, 20, 60, 60}, quadrants());
    const QByteArray good = base.bytes();
    const std::vector<qsizetype> r = emfRecords(good);
    const qsizetype polygon = r[r.size() - 3], bitmap = r[r.size() - 2];

    QByteArray count = good;
    put32(count, polygon + 24, 0x10000000);
    all.push_back({"a polygon counting more points than it holds", count});
    for (const quint32 size : {6u, 10u, 0x7FFFFFF8u}) {
        QByteArray b = good;
        put32(b, polygon + 4, size);
        all.push_back({"a record of the wrong length", b});
    }
    all.push_back({"no end record", good.left(good.size() - 20)});
    for (const qsizetype cut : {good.size() / 3, good.size() * 2 / 3, good.size() - 4})
        all.push_back({"cut short", good.left(cut)});
    QByteArray wide = good;
    put32(wide, bitmap + 80 + 4, 60000);
    all.push_back({"a bitmap 60000 pixels wide", wide});
    QByteArray pixels = good;
    put32(pixels, bitmap + 60, 0x7FFFFFFF);
    all.push_back({"bitmap pixels beyond the record", pixels});
    QByteArray rle = good;
    put32(rle, bitmap + 80 + 16, 1);
    all.push_back({"a run-length bitmap", rle});
    QByteArray twice = good;
    twice.insert(r[1], good.left(108));
    all.push_back({"a second header", twice});
    return all;
}

class HostileEmf : public ::testing::TestWithParam<Hostile> {};

TEST_P(HostileEmf, IsRefusedQuickly) {
    QElapsedTimer clock;
    clock.start();
    const auto image = rt::renderEmf(GetParam().bytes, QSize(120, 90));
    ASSERT_FALSE(image.ok());
    EXPECT_EQ(image.error().number, rt::err::InvalidPicture);
    EXPECT_LT(clock.elapsed(), 3000);
}

INSTANTIATE_TEST_SUITE_P(Emf, HostileEmf, ::testing::ValuesIn(hostileEmfs()),
                         [](const ::testing::TestParamInfo<Hostile>& param) {
                             return std::to_string(param.index);
                         });

// --- Time --------------------------------------------------------------------------------

// Well-formed files can still ask for more drawing than a slide show can wait for: the
// helper drawing them is stopped when its time is up, and the picture is refused.
TEST(Metafiles, DrawingStopsWhenTheTimeIsUp) {
    WmfWriter wmf(1000, 1000, 100);
    wmf.colours(Red, Blue, 30);
    EmfWriter emf(1000, 1000);
    emf.colours(Red, Blue, 3);
    for (int i = 0; i < 200000; ++i) {
        wmf.ellipse({i % 7, i % 5, 1000, 1000});
        emf.ellipse({i % 7, i % 5, 1000, 1000});
    }
    rt::SystemClock machineClock;
    rt::MetafileHelper helper(machineClock,
                              QCoreApplication::applicationDirPath() +
                                  QStringLiteral("/quadrello-metafile"),
                              {}, {5000, 3000});
    const std::pair<rt::metafile::Kind, QByteArray> files[] = {
        {rt::metafile::Kind::Wmf, wmf.bytes()}, {rt::metafile::Kind::Emf, emf.bytes()}};
    for (const auto& [kind, bytes] : files) {
        SCOPED_TRACE(int(kind));
        QElapsedTimer clock;
        clock.start();
        const auto image = helper.render(kind, bytes, QSize(1000, 1000));
        EXPECT_LT(clock.elapsed(), 5000);
        ASSERT_FALSE(image.ok());
        EXPECT_EQ(image.error().number, rt::err::InvalidPicture);
    }
    // And the next picture is drawn.
    EXPECT_TRUE(helper.render(rt::metafile::Kind::Wmf, canvas().bytes(), QSize(50, 50)).ok());
}

// --- Random damage ------------------------------------------------------------------------

// Damage of every kind to a file using most record kinds: each result is a picture or 481,
// never a crash, never slow. The seed is fixed so that a failure can be replayed.
void sweep(const QByteArray& good,
           const std::function<rt::Result<QImage>(const QByteArray&)>& render) {
    std::mt19937 random(20240611);
    const auto below = [&](qsizetype n) {
        return qsizetype(random() % quint32(std::max<qsizetype>(n, 1)));
    };
    for (int i = 0; i < 240; ++i) {
        QByteArray b = good;
        switch (i % 3) {
        case 0:
            for (int n = 1 + int(below(6)); n > 0; --n)
                b[below(b.size())] = char(random());
            break;
        case 1: {
            const quint32 extremes[] = {0, 1, 3, 8, 0x7FFF, 0x8000, 0xFFFF, 0x7FFFFFFF, 0xFFFFFFFF};
            put32(b, below(b.size() - 3), extremes[below(9)]);
            break;
        }
        default:
            b = b.left(below(b.size()));
            break;
        }
        SCOPED_TRACE(i);
        QElapsedTimer clock;
        clock.start();
        const auto image = render(b);
        if (!image.ok()) {
            EXPECT_EQ(image.error().number, rt::err::InvalidPicture);
        }
        EXPECT_LT(clock.elapsed(), 3000);
    }
}

TEST(RandomDamage, WmfIsDrawnOrRefused) {
    WmfWriter w = canvas();
    w.colours(Red, Blue, 20);
    w.polygon({{100, 100}, {900, 100}, {500, 900}});
    w.polyPolygon({outer, inner});
    w.pie({0, 0, 1000, 1000}, {1000, 500}, {500, 0});
    w.brush(Green, WmfWriter::DiagonalCross);
    w.roundRect({100, 600, 400, 900}, {100, 100});
    w.pen(Red, 1, WmfWriter::DashDot);
    w.line({0, 0}, {1000, 1000});
    w.text({100, 500}, "Quadrello", 120, Ink);
    w.bitmap({600, 600, 900, 900}, quadrants());
    sweep(w.bytes(), [](const QByteArray& b) { return rt::renderWmf(b, QSize(120, 120)); });
}

TEST(RandomDamage, EmfIsDrawnOrRefused) {
    EmfWriter w(100, 100);
    w.colours(Red, Blue, 2);
    w.rectangle({0, 0, 100, 100});
    w.ellipse({10, 10, 80, 60});
    w.polygon({{10, 10}, {90, 10}, {50, 90}});
    w.polyline({{0, 0}, {100, 100}, {0, 100}});
    w.bitmap({20, 20, 60, 60}, quadrants());
    sweep(w.bytes(), [](const QByteArray& b) { return rt::renderEmf(b, QSize(120, 120)); });
}

} // namespace
