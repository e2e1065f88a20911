#pragma once
// JPEG files read with libjpeg-turbo: the header (upright size from the EXIF orientation),
// and the pixels decoded at reduced size by the DCT, turned upright, and converted to sRGB
// from an embedded colour profile. Sizes are pixels; "upright" is how the picture is meant
// to be seen, after its EXIF orientation.
//
// A file is refused when the decoder finds it cut short or its data corrupt; what follows
// the end-of-image marker (a phone's motion-photo video, say) is never read, nor anything
// past the first MaxJpegFileBytes bytes (a file whose end marker lies beyond is cut short).

#include "RegularFile.h"
#include "Result.h"

#include <QImage>
#include <QSize>
#include <QString>

namespace rt {

struct JpegHeader {
    QSize stored;        // as the pixels lie in the file
    int orientation = 1; // EXIF orientation, 1 to 8 (1 when absent or out of range)
    [[nodiscard]] QSize upright() const { return orientation >= 5 ? stored.transposed() : stored; }
};

// The most of a JPEG file read.
inline constexpr qint64 MaxJpegFileBytes = qint64(256) << 20;

// The header of a JPEG file.
[[nodiscard]] Result<JpegHeader> readJpegHeader(const RegularFile& file);

// The picture upright in sRGB, scaled to `upright` pixels (the natural size when empty).
// The decode keeps memory bounded: a picture whose reduced decode would still exceed the
// limit is refused rather than allocated. `read`, when given, receives what the decode read
// of the file.
[[nodiscard]] Result<QImage> decodeJpeg(const RegularFile& file, QSize upright = QSize(),
                                        ContentRead* read = nullptr);

// `image` scaled to `size` smoothly. An opaque picture scaled by no less than a half (what
// is left after a reduced decode, usually) is interpolated between its four nearest pixels,
// which at such a ratio still reads every pixel and costs a third of averaging; others, and
// any picture reduced further, have each pixel averaged over the area it covers.
[[nodiscard]] QImage smoothlyScaled(const QImage& image, QSize size);

// A picture stored with EXIF orientation `orientation`, turned the way it is meant to be seen.
[[nodiscard]] QImage orientedUpright(const QImage& stored, int orientation);

} // namespace rt
