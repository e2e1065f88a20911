#pragma once
// What every metafile renderer shares: the bounds on picture and bitmap sizes, and the
// blank image a picture is drawn into (little-endian fields come from <QtEndian>).

#include "MetafileHeader.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QtEndian>

#include <cmath>

namespace rt::mf {

inline Error invalid(const QString& why) {
    return Error{err::InvalidPicture, why};
}

// Pictures larger than this many pixels a side are refused, whatever their header says.
inline constexpr int MaxSide = 32767;
// Nor is an image of more pixels than this drawn, whatever size is asked for.
inline constexpr qint64 MaxPixels = qint64(1) << 26;

// Bitmaps inside a metafile.
inline constexpr int MaxBitmapSide = 16384;
inline constexpr qint64 MaxBitmapPixels = qint64(1) << 25;

inline Result<QSize> checkedSize(double w, double h) {
    if (!std::isfinite(w) || !std::isfinite(h) || w < 1 || h < 1 || w > MaxSide || h > MaxSide)
        return invalid(QStringLiteral("the picture's frame is empty or too large"));
    return QSize(int(std::lround(w)), int(std::lround(h)));
}

inline bool drawable(QSize size) {
    return size.width() >= 1 && size.height() >= 1 && size.width() <= MaxSide &&
           size.height() <= MaxSide && qint64(size.width()) * size.height() <= MaxPixels;
}

inline Result<QImage> blankImage(QSize size) {
    if (!drawable(size)) return invalid(QStringLiteral("the picture cannot be drawn at that size"));
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) return invalid(QStringLiteral("the picture is too large"));
    image.fill(Qt::transparent);
    return image;
}

} // namespace rt::mf
