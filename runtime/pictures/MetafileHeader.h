#pragma once
// The natural size of a metafile from the fixed fields of its header, where it has them:
// an EMF's frame, a placeable WMF's box. Plain arithmetic on a few bytes, read in the
// show's own process; any other WMF is measured by the metafile helper.

#include "MetafileProtocol.h"
#include "Result.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QSize>

#include <optional>

namespace rt {

// A size worked out in pixels, rounded; refused when it is empty, not finite, or more than
// MaxSide a side.
[[nodiscard]] Result<QSize> checkedSize(double w, double h);

// Pixels at 96 dpi: the frame at 15 twips per pixel.
[[nodiscard]] Result<QSize> emfSize(const QByteArray& bytes);
// A placeable WMF begins with this key (little-endian), then its box and units per inch.
inline constexpr quint32 PlaceableWmfKey = 0x9AC6CDD7;
struct PlaceableWmfHeader {
    static constexpr int Bytes = 22;              // the standard header follows
    int left = 0, top = 0, right = 0, bottom = 0; // the box, in metafile units
    int inch = 0;                                 // metafile units per inch
};
// Nothing when the file does not begin with the key; refused when it is cut short.
[[nodiscard]] std::optional<Result<PlaceableWmfHeader>> placeableWmfHeader(QByteArrayView bytes);

// Nothing when the file has no placeable header.
[[nodiscard]] std::optional<Result<QSize>> placeableWmfSize(const QByteArray& bytes);

} // namespace rt
