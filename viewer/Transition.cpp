// The figures of the clearing, in twips, from the form's width and one random draw.

#include "Transition.h"

#include "Numbers.h"

namespace viewer {

int transitionPattern(double r) {
    return int(5.0 * r);
}

Centre transitionCentre(float formWidth) {
    const int HW = int(rt::roundHalfEven(formWidth / 2.0f));
    const int HH = int(rt::roundHalfEven(float(HW) / 4.0f * 3.0f));
    return {HW, HH};
}

void transitionFigures(float formWidth, int pattern,
                       const std::function<void(const Figure&)>& emit) {
    const auto [HW, HH] = transitionCentre(formWidth);
    const bool growing = pattern == 1 || pattern == 3;
    const int step = growing ? 4 : -4;
    const Figure pause{Figure::Kind::Pause};
    // The test comes before each step.
    for (int i = growing ? 0 : HW; growing ? i <= HW : i >= 0; i += step) {
        if (pattern <= 2) {
            const Figure box{Figure::Kind::Box, HW - i, HH - i, HW + i, HH + i, true};
            emit(box);
            emit(pause);
            Figure black = box;
            black.white = false;
            emit(black);
        } else {
            const Figure left{Figure::Kind::Line, HW - i, 0, HW - i, 2 * HH - 1, true};
            const Figure right{Figure::Kind::Line, HW + i, 0, HW + i, 2 * HH - 1, true};
            emit(left);
            emit(right);
            emit(pause);
            Figure blackLeft = left, blackRight = right;
            blackLeft.white = blackRight.white = false;
            emit(blackLeft);
            emit(blackRight);
        }
    }
}

} // namespace viewer
