#pragma once
// Windows metafiles (WMF, placeable or not, and EMF) rendered with QPainter.

#include "Result.h"

#include <QByteArray>
#include <QImage>
#include <QSize>

namespace rt {

// The natural size of a metafile in pixels at 96 dpi (its frame at 15 twips per pixel).
[[nodiscard]] Result<QSize> wmfSize(const QByteArray& bytes);
[[nodiscard]] Result<QSize> emfSize(const QByteArray& bytes);

// The metafile drawn into an image of `size` pixels on a transparent background, its
// frame stretched to the size. Fails on a malformed or hostile file, never crashes.
[[nodiscard]] Result<QImage> renderWmf(const QByteArray& bytes, QSize size);
[[nodiscard]] Result<QImage> renderEmf(const QByteArray& bytes, QSize size);

} // namespace rt
