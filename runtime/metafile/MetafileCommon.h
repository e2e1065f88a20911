#pragma once
// What every metafile renderer shares: the bounds on bitmap sizes (those on the picture's
// own, and checkedSize, come from MetafileHeader.h), and the blank image a picture is
// drawn into (little-endian fields come from <QtEndian>).

#include "MetafileHeader.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QtEndian>

#include <cmath>

namespace rt::mf {

// Bitmaps inside a metafile.
inline constexpr int MaxBitmapSide = 16384;
inline constexpr qint64 MaxBitmapPixels = qint64(1) << 25;

inline bool drawable(QSize size) {
    return size.width() >= 1 && size.height() >= 1 && size.width() <= MaxSide &&
           size.height() <= MaxSide && qint64(size.width()) * size.height() <= MaxPixels;
}

inline Result<QImage> blankImage(QSize size) {
    if (!drawable(size))
        return refusedPicture(QStringLiteral("the picture cannot be drawn at that size"));
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) return refusedPicture(QStringLiteral("the picture is too large"));
    image.fill(Qt::transparent);
    return image;
}

} // namespace rt::mf
