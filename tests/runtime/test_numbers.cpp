// Half-to-even rounding, 16-bit fields, the integer halving rule and the generator.

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
