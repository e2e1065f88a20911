#pragma once
// The viewer's layout arithmetic, in twips and single precision, apart from any widget.

#include "Numbers.h"

#include <algorithm>
#include <vector>

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
                                             float labelWidth, float labelHeight, float imageWidth,
                                             float imageHeight) {
    StartLayout l{};
    l.imageTop = (screenHeight - labelHeight - imageHeight) / 2.0f + labelHeight;
    l.imageLeft = float(rt::halfOf(screenWidth - imageWidth));
    l.labelTop = l.imageTop - labelHeight - 104.0f;
    l.labelLeft = float(rt::halfOf(screenWidth - labelWidth));
    return l;
}

// A picture's size on screen, in twips.
struct Fit {
    float width;
    float height;
    bool stretched; // false: the natural size
};

// Fits a picture of natural size IW x IH below the caption band of a form FW x FH with a
// caption LH high: narrowed to the form's width when wider, then, when still higher than
// the area, scaled by the area's height over its current height, so that it ends exactly
// as high as the area with its aspect kept. Pictures are never enlarged; the comparisons
// are strict.
[[nodiscard]] inline Fit fitPicture(float IW, float IH, float FW, float FH, float LH) {
    Fit f{IW, IH, false};
    const float area = FH - LH;
    const float RW = IW / FW;
    if (IW > FW) {
        f.stretched = true;
        f.height = IH / RW;
        f.width = IW / RW;
    }
    if (f.height > area) {
        // The ratio is taken from the height the picture has now, not from its natural
        // height: a photo both too wide and too high would otherwise be divided by both
        // ratios and end up far smaller than the screen.
        const float RH = f.height / area;
        f.stretched = true;
        f.height = f.height / RH;
        f.width = f.width / RH;
    }
    return f;
}

// Where a picture W x H stands on a screen SW x SH: centred across, and centred down in
// the area below a caption LH high.
struct Placement {
    float left;
    float top;
};
[[nodiscard]] inline Placement centreBelowCaption(float W, float H, float SW, float SH, float LH) {
    return {(SW - W) / 2.0f, (SH - LH - H) / 2.0f + LH};
}

// The left edge of a caption `labelWidth` wide centred on a form `formWidth` wide.
[[nodiscard]] inline float centredCaptionLeft(float formWidth, float labelWidth) {
    return (formWidth - labelWidth) / 2.0f;
}

// The background colour of a picture tick from two draws in [0, 1): red and green
// 256 x r rounded half-even (256 taken as 255), blue always 0.
struct Rgb {
    int red, green, blue;
};
[[nodiscard]] inline Rgb backgroundColour(double r1, double r2) {
    const auto channel = [](double r) { return std::min(255, int(rt::roundHalfEven(256.0 * r))); };
    return {channel(r1), channel(r2), 0};
}

// A picture tick's colour: the generator reseeded from the time of day, then red and
// green from its next two draws. Two ticks in the same clock reading get the same colour.
template <class Generator>
[[nodiscard]] Rgb drawBackgroundColour(Generator& random, double secondsSinceMidnight) {
    random.seed(secondsSinceMidnight);
    const double red = random.next();
    const double green = random.next();
    return backgroundColour(red, green);
}

// The slide-in moves the picture this many twips a frame.
inline constexpr float SlideInStep = 2000.0f;

// The left edges of the slide-in of a picture W twips wide towards its final left X:
// -W, -W + 2000, ... while not beyond X.
[[nodiscard]] inline std::vector<float> slideInSteps(float W, float X) {
    std::vector<float> steps;
    for (float x = -W; x <= X; x += SlideInStep)
        steps.push_back(x);
    return steps;
}

} // namespace viewer
