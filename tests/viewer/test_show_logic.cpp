// The show without widgets: the order of the ticks, the fit, placement, colours, clearing,
// and how the clearing and the slide-in are spread over display frames.

#include "FakePlatform.h"
#include "FrameBudget.h"
#include "Layout.h"
#include "Platform.h"
#include "SlideShow.h"
#include "Transition.h"

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

using viewer::Figure;

namespace {

// A 960 x 720 twip form with a 48-twip caption: the area below it is 960 x 672.
struct FitCase {
    float IW, IH, W, H;
    bool stretched;
};

class FitTable : public testing::TestWithParam<FitCase> {};

TEST_P(FitTable, BelowTheCaptionBand) {
    const FitCase c = GetParam();
    const viewer::Fit f = viewer::fitPicture(c.IW, c.IH, 960, 720, 48);
    EXPECT_NEAR(f.width, c.W, 0.01) << c.IW << "x" << c.IH;
    EXPECT_NEAR(f.height, c.H, 0.01) << c.IW << "x" << c.IH;
    EXPECT_EQ(f.stretched, c.stretched);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FitTable,
    testing::Values(FitCase{480, 320, 480, 320, false}, // fits: natural size
                    FitCase{1600, 480, 960, 288, true}, // too wide
                    FitCase{480, 960, 336, 672, true},  // too high
                    FitCase{960, 720, 896, 672, true},  // as wide as the form: height only
                    FitCase{1600, 1200, 896, 672,
                            true}, // too wide, then still too high: fills the height
                    FitCase{4032, 3024, 896, 672, true}, // a phone photo
                    FitCase{6000, 4000, 960, 640, true}, // a camera photo: the width decides
                    FitCase{3024, 4032, 504, 672, true}, // a portrait phone photo
                    FitCase{960, 672, 960, 672, false},  // exactly the area: not scaled
                    FitCase{10, 10, 10, 10, false}));    // never enlarged

// A list of `pictures` entries, the position to go on from, then for each tick the slot it
// shows (0 the end of the pass, -1 the empty list) and the slot decoded ahead after it
// (0 none).
struct SlideCase {
    int pictures;
    std::int16_t from;
    std::vector<int> shown;
    std::vector<int> ahead;
};

class SlideTable : public testing::TestWithParam<SlideCase> {};

TEST_P(SlideTable, PicturesThenTheEndOfThePass) {
    const SlideCase c = GetParam();
    viewer::ImageList list = viewer::emptyImageList();
    for (int i = 1; i <= c.pictures; ++i)
        list[std::size_t(i)] = QString::number(i);
    viewer::SlideShow show(list, c.from);
    EXPECT_EQ(show.pictureCount(), c.pictures);
    for (std::size_t t = 0; t < c.shown.size(); ++t) {
        const viewer::Tick tick = show.advance();
        const int slot = tick.kind == viewer::Tick::Kind::EmptyList   ? -1
                         : tick.kind == viewer::Tick::Kind::EndOfPass ? 0
                                                                      : tick.entry.toInt();
        EXPECT_EQ(slot, c.shown[t]) << "tick " << t;
        if (slot >= 0) {
            EXPECT_EQ(show.position(), slot);
        }
        EXPECT_EQ(show.upcoming().toInt(), c.ahead[t]) << "tick " << t;
    }
}

constexpr int Last = viewer::ImageListSlots - 1;

INSTANTIATE_TEST_SUITE_P(
    Cases, SlideTable,
    testing::Values(SlideCase{3, 0, {1, 2, 3, 0, 1, 2}, {2, 3, 1, 1, 2, 3}},
                    SlideCase{1, 0, {1, 0, 1, 0}, {1, 1, 1, 1}}, SlideCase{0, 0, {-1, -1}, {0, 0}},
                    // A full list wraps at its last slot.
                    SlideCase{Last, Last - 2, {Last - 1, Last, 0, 1}, {Last, 1, 1, 2}},
                    // Going on from beyond a shorter new list: the end of the pass first.
                    SlideCase{2, 4, {0, 1, 2}, {1, 2, 1}},
                    // The 16-bit position turned negative: still an end of pass, then 1.
                    SlideCase{3, 32767, {0, 1}, {1, 2}}));

TEST(SlideShow, AnEmptyListKeepsCountingThePosition) {
    viewer::SlideShow show;
    show.advance();
    show.advance();
    EXPECT_EQ(show.position(), 2);
    EXPECT_EQ(show.advance().kind, viewer::Tick::Kind::EmptyList);
    EXPECT_EQ(show.position(), 3);
}

// The list fills while the show runs: a tick beyond the walk waits for its slot, the end
// of the pass comes only once the walk is over, and nothing is decoded ahead of the walk.
TEST(SlideShow, ATickBeyondTheWalkWaitsForItsSlot) {
    using Kind = viewer::Tick::Kind;
    viewer::SlideShow show;
    show.restart();
    EXPECT_EQ(show.advance().kind, Kind::Unknown); // nothing found yet: not yet empty
    show.append({"1"});
    EXPECT_EQ(show.settle().entry, "1");
    EXPECT_EQ(show.upcoming(), QString()); // slot 2 may still come
    EXPECT_EQ(show.advance().kind, Kind::Unknown);
    EXPECT_EQ(show.position(), 2);
    show.append({"2", "3"});
    EXPECT_EQ(show.settle().entry, "2");
    EXPECT_EQ(show.upcoming(), "3");
    EXPECT_EQ(show.advance().entry, "3");
    EXPECT_EQ(show.advance().kind, Kind::Unknown);
    show.finish();
    EXPECT_EQ(show.settle().kind, Kind::EndOfPass);
    EXPECT_EQ(show.position(), 0);
    EXPECT_EQ(show.upcoming(), "1");

    // A walk that finds nothing: the tick waiting for slot 1 becomes the empty list, and
    // the position has moved on as for any empty tick.
    show.restart();
    EXPECT_EQ(show.advance().kind, Kind::Unknown);
    show.finish();
    EXPECT_EQ(show.settle().kind, Kind::EmptyList);
    EXPECT_EQ(show.position(), 1);
    // A full list wraps at its last slot, even before the walk says it is over.
    show.restart();
    QStringList all;
    for (int i = 1; i <= Last + 5; ++i)
        all << QString::number(i);
    show.append(all);
    EXPECT_EQ(show.pictureCount(), Last);
    while (show.position() != Last)
        (void)show.advance();
    EXPECT_EQ(show.upcoming(), "1");
    EXPECT_EQ(show.advance().kind, Kind::EndOfPass);
}

TEST(Placement, CentredAcrossAndBelowTheCaption) {
    const viewer::Placement p = viewer::centreBelowCaption(4800, 3000, 14400, 10800, 480);
    EXPECT_EQ(p.left, 4800.0f);
    EXPECT_EQ(p.top, (10800.0f - 480 - 3000) / 2 + 480);
    EXPECT_EQ(viewer::centredCaptionLeft(14400, 2001), 6199.5f); // halves are kept
    // Wider than the screen: the picture starts left of it.
    EXPECT_LT(viewer::centreBelowCaption(20000, 100, 14400, 10800, 480).left, 0.0f);
}

TEST(SlideIn, StepsOf2000FromMinusWidthNotBeyondTheFinalLeft) {
    EXPECT_EQ(viewer::slideInSteps(960, 0), std::vector<float>{-960});
    EXPECT_EQ(viewer::slideInSteps(3000, 2000), (std::vector<float>{-3000, -1000, 1000}));
    EXPECT_EQ(viewer::slideInSteps(1000, 1000), (std::vector<float>{-1000, 1000}));
    EXPECT_TRUE(viewer::slideInSteps(1000, -2000).empty());
}

TEST(BackgroundColour, NoBlueAndNeverPast255) {
    EXPECT_EQ(viewer::backgroundColour(0, 0).red, 0);
    const viewer::Rgb top = viewer::backgroundColour(0.9999999, 0.999);
    EXPECT_EQ(top.red, 255);
    EXPECT_EQ(top.green, 255);
    EXPECT_EQ(viewer::backgroundColour(0.5, 0.25).red, 128);
    EXPECT_EQ(viewer::backgroundColour(0.5, 0.25).green, 64);
    // 256 x r = 2.5 rounds to the even neighbour.
    EXPECT_EQ(viewer::backgroundColour(2.5 / 256, 0).red, 2);
    for (double r = 0; r < 1; r += 0.01)
        EXPECT_EQ(viewer::backgroundColour(r, 1 - r / 2).blue, 0);
    // The draw reseeds from the clock: the same second gives the same colour.
    rt::Random a, b;
    const viewer::Rgb first = viewer::drawBackgroundColour(a, 4000.5);
    (void)b.next();
    const viewer::Rgb again = viewer::drawBackgroundColour(b, 4000.5);
    EXPECT_EQ(first.red, again.red);
    EXPECT_EQ(first.green, again.green);
}

std::vector<Figure> record(float width, int pattern) {
    std::vector<Figure> out;
    viewer::transitionFigures(width, pattern, [&](const Figure& f) { out.push_back(f); });
    return out;
}

std::vector<Figure> drawn(const std::vector<Figure>& all, bool white) {
    std::vector<Figure> out;
    for (const Figure& f : all)
        if (f.kind != Figure::Kind::Pause && f.white == white) out.push_back(f);
    return out;
}

void expectFigure(const Figure& f, Figure::Kind kind, int x1, int y1, int x2, int y2) {
    EXPECT_EQ(int(f.kind), int(kind));
    EXPECT_EQ(f.x1, x1);
    EXPECT_EQ(f.y1, y1);
    EXPECT_EQ(f.x2, x2);
    EXPECT_EQ(f.y2, y2);
}

TEST(Transition, CentresFromTheWidthAlone) {
    EXPECT_EQ(viewer::transitionCentre(960).HW, 480);
    EXPECT_EQ(viewer::transitionCentre(960).HH, 360);
    EXPECT_EQ(viewer::transitionCentre(961).HW, 480);     // 480.5 to even
    EXPECT_EQ(viewer::transitionCentre(963).HW, 482);     // 481.5 to even
    EXPECT_EQ(viewer::transitionCentre(963).HH, 362);     // 361.5 to even
    EXPECT_EQ(viewer::transitionCentre(28800).HW, 14400); // wide screens need no 16-bit limit
}

TEST(Transition, PatternFromOneDraw) {
    EXPECT_EQ(viewer::transitionPattern(0.0), 0);
    EXPECT_EQ(viewer::transitionPattern(0.1999), 0);
    EXPECT_EQ(viewer::transitionPattern(0.2), 1);
    EXPECT_EQ(viewer::transitionPattern(0.9999), 4);
}

TEST(Transition, GrowingSquareOn960) {
    const auto all = record(960, 1);
    const auto white = drawn(all, true);
    ASSERT_EQ(white.size(), 121u); // i = 0, 4, ..., 480
    expectFigure(white.front(), Figure::Kind::Box, 480, 360, 480, 360);
    expectFigure(white.back(), Figure::Kind::Box, 0, -120, 960, 840);
    // White, pause, the same figure in black, step after step.
    ASSERT_EQ(all.size(), 3 * 121u);
    EXPECT_TRUE(all[0].white);
    EXPECT_EQ(int(all[1].kind), int(Figure::Kind::Pause));
    EXPECT_FALSE(all[2].white);
    EXPECT_EQ(all[2].x1, all[0].x1);
}

TEST(Transition, ShrinkingSquaresAreTheSameForPatterns0And2) {
    const auto p0 = drawn(record(960, 0), true);
    const auto p2 = drawn(record(960, 2), true);
    ASSERT_EQ(p0.size(), 121u);
    ASSERT_EQ(p2.size(), p0.size());
    expectFigure(p0.front(), Figure::Kind::Box, 0, -120, 960, 840);
    expectFigure(p0.back(), Figure::Kind::Box, 480, 360, 480, 360);
    for (std::size_t i = 0; i < p0.size(); ++i)
        EXPECT_EQ(p0[i].x1, p2[i].x1);
}

TEST(Transition, LinesRunToTwiceTheVerticalCentreLessOne) {
    const auto apart = record(960, 3);
    ASSERT_EQ(apart.size(), 5 * 121u); // two white lines, a pause, two black lines
    expectFigure(apart[0], Figure::Kind::Line, 480, 0, 480, 719);
    expectFigure(apart[1], Figure::Kind::Line, 480, 0, 480, 719);
    const auto white = drawn(apart, true);
    expectFigure(white[white.size() - 2], Figure::Kind::Line, 0, 0, 0, 719);
    expectFigure(white.back(), Figure::Kind::Line, 960, 0, 960, 719);

    const auto together = drawn(record(960, 4), true);
    expectFigure(together.front(), Figure::Kind::Line, 0, 0, 0, 719);
    expectFigure(together.back(), Figure::Kind::Line, 480, 0, 480, 719);
}

TEST(Transition, OddWidthsStopShortOfTheCentreOrTheEdge) {
    // 963: HW 482, growing steps end at i = 480, shrinking ones at i = 2.
    const auto grow = drawn(record(963, 1), true);
    EXPECT_EQ(grow.size(), 121u);
    expectFigure(grow.back(), Figure::Kind::Box, 2, -118, 962, 842);
    const auto shrink = drawn(record(963, 0), true);
    EXPECT_EQ(shrink.size(), 121u);
    expectFigure(shrink.back(), Figure::Kind::Box, 480, 360, 484, 364);
    // 961 behaves as 960.
    EXPECT_EQ(drawn(record(961, 3), true).size(), 2 * 121u);
}

} // namespace

// --- Frames ------------------------------------------------------------------------------

// The wipe's budget by form width: every step of the pattern is drawn, and the frames
// stay the same at every width (the wipe's length), so a wider form presents more steps a
// frame.
struct WipeBudgetCase {
    int widthPx;
    double hz;
    int steps, perFrame, frames;
};

class WipeBudgetTable : public testing::TestWithParam<WipeBudgetCase> {};

TEST_P(WipeBudgetTable, EveryStepOverTheSameFrames) {
    const WipeBudgetCase c = GetParam();
    const float width = float(c.widthPx * 15);
    const viewer::FrameBudget b = viewer::wipeBudget(width, c.hz);
    EXPECT_EQ(b.steps, c.steps);
    EXPECT_EQ(b.perFrame(), c.perFrame);
    EXPECT_EQ(b.frames, c.frames);
    // The budget counts the pattern's own steps: one pause each, for all five patterns.
    for (int pattern = 0; pattern < 5; ++pattern) {
        int pauses = 0;
        for (const Figure& f : record(width, pattern))
            pauses += f.kind == Figure::Kind::Pause;
        EXPECT_EQ(pauses, b.steps) << "pattern " << pattern;
    }
    // The steps are dealt in order, each frame the floor or the ceiling of the share, and
    // exactly `frames` frames end.
    int ended = 0, inFrame = 0, smallest = b.steps, largest = 0;
    for (int k = 0; k < b.steps; ++k) {
        ++inFrame;
        if (k > 0) {
            EXPECT_LE(b.frameOf(k) - b.frameOf(k - 1), 1);
        }
        if (b.endsFrame(k)) {
            ++ended;
            smallest = std::min(smallest, inFrame);
            largest = std::max(largest, inFrame);
            inFrame = 0;
        }
    }
    EXPECT_EQ(ended, b.frames);
    EXPECT_EQ(largest, b.perFrame());
    EXPECT_GE(smallest, b.steps / b.frames);
    EXPECT_TRUE(b.endsFrame(b.steps - 1));
}

// 31 frames at 60 Hz: the first at once, the last half a second later.
INSTANTIATE_TEST_SUITE_P(Widths, WipeBudgetTable,
                         testing::Values(WipeBudgetCase{1280, 60, 2401, 78, 31},
                                         WipeBudgetCase{1920, 60, 3601, 117, 31},
                                         WipeBudgetCase{2560, 60, 4801, 155, 31},
                                         WipeBudgetCase{3840, 60, 7201, 233, 31},
                                         WipeBudgetCase{1920, 144, 3601, 50, 73},
                                         WipeBudgetCase{1920, 30, 3601, 226, 16},
                                         // a form narrower than its frames: one step each
                                         WipeBudgetCase{4, 60, 8, 1, 8}));

// The slide-in: one step a frame up to 1920 pixels, then frames in proportion.
TEST(SlideInBudget, OneStepAFrameAt1920ThenInProportion) {
    struct Case {
        int steps, widthPx, frames, perFrame;
    };
    for (const Case c :
         {Case{14, 1280, 14, 1}, Case{14, 1920, 14, 1}, Case{19, 2560, 15, 2},
          Case{27, 3840, 14, 2}, Case{28, 3840, 14, 2}, Case{1, 3840, 1, 1}, Case{0, 1920, 0, 0}}) {
        const viewer::FrameBudget b = viewer::slideInBudget(c.steps, float(c.widthPx * 15));
        EXPECT_EQ(b.frames, c.frames) << c.steps << " steps at " << c.widthPx;
        EXPECT_EQ(b.perFrame(), c.perFrame) << c.steps << " steps at " << c.widthPx;
    }
}

// What a frame of the slide-in paints: the picture's columns that come in over the left
// edge of the form and the background the picture leaves behind; what was on the screen
// moves.
TEST(SlideInDamage, TheColumnsTheMoveUncovers) {
    const QRect form(0, 0, 1000, 600);
    // Coming in over the edge: only the 100 new columns at the left.
    EXPECT_EQ(viewer::slideInDamage({-500, 100, 400, 300}, {-300, 100, 400, 300}, form),
              QRegion(0, 100, 100, 300));
    // From off the form: what reaches the form.
    EXPECT_EQ(viewer::slideInDamage({-400, 100, 400, 300}, {-267, 100, 400, 300}, form),
              QRegion(0, 100, 133, 300));
    // Inside the form: the background left behind, nothing of the picture.
    EXPECT_EQ(viewer::slideInDamage({100, 100, 400, 300}, {233, 100, 400, 300}, form),
              QRegion(100, 100, 133, 300));
    // Across the edge: the background behind it, then the columns that came in.
    EXPECT_EQ(viewer::slideInDamage({-50, 100, 400, 300}, {83, 100, 400, 300}, form),
              QRegion(0, 100, 133, 300));
    // A move wider than the picture: the picture is moved whole, its old place is
    // background.
    EXPECT_EQ(viewer::slideInDamage({0, 0, 100, 50}, {300, 0, 100, 50}, form),
              QRegion(0, 0, 100, 50));
    // Over the right edge: the background left behind; what moves off is not painted.
    EXPECT_EQ(viewer::slideInDamage({800, 0, 100, 50}, {933, 0, 100, 50}, form),
              QRegion(800, 0, 100, 50));
}

// Frames are due one interval apart on the clock, counted from the first one's start; the
// pacer sleeps until a frame is due and not when it is past; a frame that reaches the
// screen 1.5 intervals or more after the previous one is late, 2.5 or more very late.
TEST(FramePacer, DueTimesAndLateFrames) {
    using namespace std::chrono;
    FakeClock clock;
    viewer::FramePacer p(clock, milliseconds(16));
    const nanoseconds t0 = clock.now;
    EXPECT_EQ(p.due(), t0);
    p.waitForDue(); // the first frame at once
    EXPECT_EQ(clock.now, t0);
    p.presented(t0 + milliseconds(5));
    EXPECT_EQ(p.due(), t0 + milliseconds(16));
    clock.now = t0 + milliseconds(17);
    p.waitForDue(); // a little late: started at once, made up by the next due time
    EXPECT_EQ(clock.now, t0 + milliseconds(17));
    p.presented(t0 + milliseconds(22));
    EXPECT_EQ(p.due(), t0 + milliseconds(32));
    p.started(t0 + milliseconds(41));
    clock.now = t0 + milliseconds(46);
    p.presented();                             // 24 ms after the previous one: late
    EXPECT_EQ(p.due(), t0 + milliseconds(49)); // never sooner than half an interval after
    p.waitForDue();
    EXPECT_EQ(clock.now, t0 + milliseconds(49)); // slept until it was due
    p.presented(t0 + milliseconds(54));
    p.started(t0 + milliseconds(90));
    p.presented(t0 + milliseconds(94)); // 40 ms: very late
    EXPECT_EQ(p.frames(), 5);
    EXPECT_EQ(p.late(), 2);
    EXPECT_EQ(p.veryLate(), 1);
    EXPECT_EQ(p.longestGap(), milliseconds(40));
    EXPECT_EQ(p.span(), milliseconds(89));
}
