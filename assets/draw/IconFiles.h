#pragma once
// Writers for the two picture formats the program carries: icons (.ico) in the 16
// standard colours with a transparency mask, and uncompressed 24-bit bitmaps (.bmp).

#include <QByteArray>
#include <QColor>
#include <QImage>

#include <array>
#include <vector>

namespace draw {

// The 16 standard colours, in their classic order (black, maroon, green, olive, navy,
// purple, teal, silver, grey, red, lime, yellow, blue, fuchsia, aqua, white).
[[nodiscard]] const std::array<QColor, 16>& standardColours();

// An icon file with one 4-bit image per picture, in the order given. A pixel less than
// half opaque is transparent; every other pixel takes the nearest standard colour.
[[nodiscard]] QByteArray icoFile(const std::vector<QImage>& pictures);

// A bottom-up 24-bit bitmap file; transparency is dropped.
[[nodiscard]] QByteArray bmpFile(const QImage& picture);

} // namespace draw
