// Half-to-even rounding, 16-bit fields, the integer halving rule, the generator, and the
// monitor a window is on.

#include "Numbers.h"
#include "Platform.h"

#include <gtest/gtest.h>

#include <set>

namespace {

TEST(Numbers, RoundHalfEven) {
    struct Case {
        double in, out;
    } cases[] = {{2.5, 2},     {3.5, 4},     {7.5, 8},        {-2.5, -2},  {-3.5, -4},
                 {0.5, 0},     {1.5, 2},     {2.4999, 2},     {2.5001, 3}, {-0.4, 0},
                 {720.5, 720}, {721.5, 722}, {32767.0, 32767}};
    for (const Case& c : cases)
        EXPECT_EQ(rt::roundHalfEven(c.in), c.out) << c.in;
}

TEST(Numbers, Int16FieldRejectsWhatDoesNotFit) {
    EXPECT_EQ(rt::toInt16(32767.4), 32767);
    EXPECT_EQ(rt::toInt16(-32768.5), -32768); // halves to even stay inside
    EXPECT_EQ(rt::toInt16(32767.5), std::nullopt);
    EXPECT_EQ(rt::toInt16(-32769), std::nullopt);
    EXPECT_EQ(rt::toInt16(1e300), std::nullopt);
    EXPECT_EQ(rt::toInt16(std::numeric_limits<double>::infinity()), std::nullopt);
    EXPECT_EQ(rt::toInt16(std::numeric_limits<double>::quiet_NaN()), std::nullopt);
}

TEST(Numbers, HalfOfRoundsThenTruncates) {
    EXPECT_EQ(rt::halfOf(721), 360);
    EXPECT_EQ(rt::halfOf(720.5), 360);
    EXPECT_EQ(rt::halfOf(721.5), 361);
    EXPECT_EQ(rt::halfOf(-3), -1); // toward zero
    EXPECT_EQ(rt::halfOf(960 - 240), 360);
}

TEST(Random, UniformInUnitIntervalAndSeeded) {
    rt::Random a, b;
    a.seed(43200.25);
    b.seed(43200.25);
    std::set<int> buckets;
    double sum = 0;
    for (int i = 0; i < 10000; ++i) {
        const double x = a.next();
        ASSERT_GE(x, 0.0);
        ASSERT_LT(x, 1.0);
        EXPECT_EQ(x, b.next());
        buckets.insert(int(x * 10));
        sum += x;
    }
    EXPECT_EQ(buckets.size(), 10u);
    EXPECT_NEAR(sum / 10000, 0.5, 0.02);
    // Seeds a moment apart give unrelated first draws.
    rt::Random c;
    c.seed(43200.30);
    a.seed(43200.25);
    EXPECT_GT(std::abs(a.next() - c.next()), 1e-6);
}

} // namespace

namespace {

// A window is on the monitor that holds most of it; one on none of them is on the primary.
TEST(Monitors, TheOneHoldingMostOfTheWindow) {
    const QList<QRect> laptopBeside4k{{0, 0, 1920, 1080}, {1920, 0, 3840, 2160}};
    const QList<QRect> stacked{{0, 0, 1280, 1024}, {0, 1024, 1280, 1024}};
    struct Case {
        QList<QRect> monitors;
        QRect window;
        int primary, expected;
    };
    const Case cases[] = {
        {laptopBeside4k, {3586, 882, 508, 396}, 1, 1},  // wholly on the 4K one
        {laptopBeside4k, {1000, 300, 508, 396}, 1, 0},  // dragged to the laptop
        {laptopBeside4k, {1663, 870, 514, 420}, 1, 1},  // across: 257 columns each, the
        {laptopBeside4k, {1663, 870, 514, 420}, 0, 1},  // laptop's 210 rows fewer
        {laptopBeside4k, {1663, 100, 514, 420}, 1, 0},  // 257 columns each, all rows: first
        {laptopBeside4k, {1600, 100, 514, 420}, 1, 0},  // more on the laptop
        {laptopBeside4k, {1700, 100, 514, 420}, 0, 1},  // more on the 4K one
        {laptopBeside4k, {-900, -900, 300, 300}, 1, 1}, // on none: the primary
        {laptopBeside4k, {1920, 2000, 300, 300}, 0, 1}, // below the laptop, on the 4K one
        {stacked, {100, 900, 400, 300}, 0, 1},          // 124 rows above, 176 below
        {stacked, {100, 900, 400, 248}, 1, 0},          // 124 rows each: the first
        {{}, {0, 0, 10, 10}, -1, -1},                   // no monitor at all
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.window.x() << "," << c.window.y());
        EXPECT_EQ(rt::monitorHolding(c.window, c.monitors, c.primary), c.expected);
    }
}

} // namespace
