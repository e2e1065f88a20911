#pragma once
// The animated clearing between two pictures: one of five patterns wipes the screen to
// black behind a moving white edge. A square frame grows from the centre (pattern 1) or
// shrinks towards it (0 and 2), or a pair of vertical lines moves apart (3) or together
// (4). Coordinates are twips on the form; the vertical centre is derived from the
// width, as on a 4:3 screen.

#include <functional>

namespace viewer {

struct Figure {
    enum class Kind { Box, Line, Pause };
    Kind kind;
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0; // corners of a box, ends of a line
    bool white = false;                 // white, else black
};

// The pattern for a draw r in [0, 1).
[[nodiscard]] int transitionPattern(double r);

// The centres: HW = half the form's width rounded half-even; HH = HW / 4 * 3 rounded
// half-even.
struct Centre {
    int HW, HH;
};
[[nodiscard]] Centre transitionCentre(float formWidth);

// Emits the figures of a pattern in order: per step a white figure, a pause, the same
// figure in black (two lines each for patterns 3 and 4).
void transitionFigures(float formWidth, int pattern,
                       const std::function<void(const Figure&)>& emit);

} // namespace viewer
