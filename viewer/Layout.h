#pragma once
// The viewer's layout arithmetic, in twips and single precision, apart from any widget.

#include "Numbers.h"

namespace viewer {

// Where the start screen puts the picture and the caption.
struct StartLayout {
    float imageTop;
    float imageLeft;
    float labelTop;
    float labelLeft;
};

// The picture centred in the part of the screen below the caption band, the caption
// 104 twips above it and centred on the form. `labelWidth` is the caption's width
// after its text was set.
[[nodiscard]] inline StartLayout startLayout(float screenWidth, float screenHeight,
                                             float labelWidth, float labelHeight,
                                             float imageWidth, float imageHeight) {
    StartLayout l{};
    l.imageTop = (screenHeight - labelHeight - imageHeight) / 2.0f + labelHeight;
    l.imageLeft = float(rt::halfOf(screenWidth - imageWidth));
    l.labelTop = l.imageTop - labelHeight - 104.0f;
    l.labelLeft = float(rt::halfOf(screenWidth - labelWidth));
    return l;
}

} // namespace viewer
