// The steps of the clearing and of the slide-in dealt to display frames, and their pacing.

#include "FrameBudget.h"

#include "Transition.h"

#include <algorithm>
#include <cmath>

namespace viewer {

int FrameBudget::frameOf(int k) const {
    return int(std::int64_t(k) * frames / steps);
}

bool FrameBudget::endsFrame(int k) const {
    return k == steps - 1 || frameOf(k + 1) != frameOf(k);
}

int FrameBudget::perFrame() const {
    return frames == 0 ? 0 : (steps + frames - 1) / frames;
}

namespace {
FrameBudget dealt(int steps, std::int64_t frames) {
    if (steps <= 0) return {0, 0};
    return {steps, int(std::clamp<std::int64_t>(frames, 1, steps))};
}
} // namespace

FrameBudget wipeBudget(float formWidth, double refreshHz) {
    // i runs over 0, 4, ... up to HW (or down from HW): HW / 4 + 1 steps either way.
    const int steps = transitionCentre(formWidth).HW / 4 + 1;
    return dealt(steps, std::llround(WipeSeconds * refreshHz) + 1);
}

FrameBudget slideInBudget(int steps, float formWidth) {
    const double share = std::min(1.0, double(SlideInOneStepWidth) / double(formWidth));
    return dealt(steps, std::int64_t(std::ceil(steps * share)));
}

QRegion slideInDamage(const QRect& before, const QRect& after, const QRect& form) {
    // What was on the screen moves with the picture; what it moves in from outside the
    // form has to be painted as well.
    const QRect visibleBefore = before & form;
    const QRect moved = visibleBefore.translated(after.topLeft() - before.topLeft()) & form;
    return ((QRegion(after) - moved) + (QRegion(before) - after)) & form;
}

FramePacer::Instant FramePacer::due() const {
    if (starts_ == 0) return clock_.monotonic();
    return std::max(firstStart_ + interval_ * starts_, lastStart_ + interval_ / 2);
}

void FramePacer::waitForDue() {
    clock_.sleepUntil(due());
    started(clock_.monotonic());
}

void FramePacer::started(Instant at) {
    if (starts_ == 0) firstStart_ = at;
    lastStart_ = at;
    ++starts_;
}

void FramePacer::presented(Instant at) {
    if (frames_ == 0) {
        first_ = at;
    } else {
        const auto gap = at - last_;
        longest_ = std::max<std::chrono::nanoseconds>(longest_, gap);
        if (gap * 2 >= interval_ * 3) ++late_;
        if (gap * 2 >= interval_ * 5) ++veryLate_;
    }
    last_ = at;
    ++frames_;
}

} // namespace viewer
