#pragma once
// The natural size of a metafile from the fixed fields of its header, where it has them:
// an EMF's frame, a placeable WMF's box. Plain arithmetic on a few bytes, read in the
// show's own process; any other WMF is measured by the metafile helper.

#include "Result.h"

#include <QByteArray>
#include <QSize>

#include <optional>

namespace rt {

// Pixels at 96 dpi: the frame at 15 twips per pixel.
[[nodiscard]] Result<QSize> emfSize(const QByteArray& bytes);
// Nothing when the file has no placeable header.
[[nodiscard]] std::optional<Result<QSize>> placeableWmfSize(const QByteArray& bytes);

} // namespace rt
