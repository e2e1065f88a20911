#pragma once
// Pictures with an embedded ICC colour profile converted to sRGB with Little CMS, so that
// what the screen shows is what the camera or the editor meant. A picture without a
// profile is taken as sRGB already.

#include <QByteArray>
#include <QImage>

namespace rt {

// Converts an RGB32 picture from the RGB profile `icc` to sRGB in place. False, with the
// picture untouched, when the profile cannot be read or is not an RGB profile.
bool convertRgbToSrgb(QImage& image, const QByteArray& icc);

// Turns CMYK pixels (four bytes a pixel, `inverted` as Adobe writes them) into an RGB32
// picture in sRGB: through the CMYK profile `icc` when there is one that reads, otherwise
// by the plain complement.
[[nodiscard]] QImage cmykToSrgb(const uchar* cmyk, int width, int height, qsizetype stride,
                                bool inverted, const QByteArray& icc);

} // namespace rt
