#pragma once
// An SVG document (the EMF converter's output) drawn into an image of `size` pixels.

#include "MetafileCommon.h"

namespace rt::mf {

// The document's numbers pulled in to `limit` and its scales to 16, for speed.
[[nodiscard]] QByteArray boundedSvg(const QByteArray& svg, double limit);
[[nodiscard]] Result<QImage> renderSvg(const QByteArray& svg, QSize natural, QSize size);

} // namespace rt::mf
