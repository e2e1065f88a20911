#pragma once
// How the steps of an animation are dealt to display frames, and how the frames are paced.
//
// The clearing and the slide-in keep every one of their steps, in order; what depends on
// the screen is only how many steps one frame presents. A wipe is given a fixed number of
// frames (its length at the display's refresh rate), whatever the width: a wider form has
// more steps, so each frame presents more of them. A slide-in presents one step a frame
// on a form 1920 pixels wide and proportionally more on a wider one, so that a picture
// that fills the screen slides in in the same time at every width.

#include "Clock.h"

#include <QRect>
#include <QRegion>

#include <chrono>
#include <cstdint>

namespace viewer {

// A wipe lasts this long: the first frame at once, the last one this much later.
inline constexpr double WipeSeconds = 0.5;
// The form width (twips) at which a slide-in presents one step a frame: 1920 pixels.
inline constexpr float SlideInOneStepWidth = 1920.0f * 15.0f;

struct FrameBudget {
    int steps = 0;  // every step is drawn
    int frames = 0; // the display frames that present them, 1 to `steps`

    // The frame (from 0) that presents step k (from 0): the steps are dealt out in order,
    // as evenly as they go, each frame getting the floor or the ceiling of steps / frames.
    [[nodiscard]] int frameOf(int k) const;
    // Whether a frame is presented after step k: the last step of its frame.
    [[nodiscard]] bool endsFrame(int k) const;
    // The most steps one frame presents.
    [[nodiscard]] int perFrame() const;
};

// The steps of a wipe across a form `formWidth` twips wide (one per 4 twips of half the
// width), spread over WipeSeconds of display frames at `refreshHz`.
[[nodiscard]] FrameBudget wipeBudget(float formWidth, double refreshHz);

// A slide-in of `steps` steps on a form `formWidth` twips wide: one step a frame up to
// 1920 pixels, then frames in proportion to 1920 pixels over the width (rounded up).
[[nodiscard]] FrameBudget slideInBudget(int steps, float formWidth);

// What a frame of the slide-in must paint once the picture has moved from `before` to
// `after` (pixels, on a form `form`) and what was on the screen has moved with it: the
// columns of the picture that were not on the screen, and the background it uncovered.
[[nodiscard]] QRegion slideInDamage(const QRect& before, const QRect& after, const QRect& form);

// Paces frames one display interval apart on the clock's monotonic time, and keeps count
// of how they came. A frame is late when it follows the previous one by 1.5 intervals or
// more (it missed a refresh), very late from 2.5 intervals (it missed two).
class FramePacer {
public:
    using Instant = std::chrono::nanoseconds; // on the clock's monotonic time
    FramePacer(rt::Clock& clock, std::chrono::nanoseconds interval)
        : clock_(clock), interval_(interval) {}

    // When the next frame is due to start: at once for the first, then one interval after
    // the previous due time, counted from the first frame's start so that a late frame is
    // made up by the next ones; never sooner than half an interval after the previous
    // frame started.
    [[nodiscard]] Instant due() const;
    // Waits until the next frame is due, and starts it.
    void waitForDue();
    // A frame began to be put on the screen at `at`.
    void started(Instant at);
    // The frame reached the screen at `at`; without it, now.
    void presented(Instant at);
    void presented() { presented(clock_.monotonic()); }

    [[nodiscard]] int frames() const { return frames_; }
    [[nodiscard]] int late() const { return late_; }
    [[nodiscard]] int veryLate() const { return veryLate_; }
    // The longest time between two frames, and from the first frame to the last.
    [[nodiscard]] std::chrono::nanoseconds longestGap() const { return longest_; }
    [[nodiscard]] std::chrono::nanoseconds span() const { return last_ - first_; }
    [[nodiscard]] std::chrono::nanoseconds interval() const { return interval_; }

private:
    rt::Clock& clock_;
    std::chrono::nanoseconds interval_;
    int starts_ = 0, frames_ = 0, late_ = 0, veryLate_ = 0;
    std::chrono::nanoseconds longest_{0};
    Instant firstStart_{}, lastStart_{};
    Instant first_{}, last_{};
};

} // namespace viewer
