#pragma once
// Windows metafiles (WMF, placeable or not, and EMF) measured and drawn with QPainter.
// Used by the metafile helper only: the show never runs this code in its own process.

#include "MetafileHeader.h"
#include "Result.h"

#include <QByteArray>
#include <QImage>
#include <QSize>

namespace rt {

// The natural size of a WMF in pixels at 96 dpi (its frame at 15 twips per pixel); the
// EMF's comes from its header (MetafileHeader.h).
[[nodiscard]] Result<QSize> wmfSize(const QByteArray& bytes);

// The metafile drawn into an image of `size` pixels on a transparent background, its
// frame stretched to the size. Fails on a malformed or hostile file, never crashes.
[[nodiscard]] Result<QImage> renderWmf(const QByteArray& bytes, QSize size);
[[nodiscard]] Result<QImage> renderEmf(const QByteArray& bytes, QSize size);

} // namespace rt
