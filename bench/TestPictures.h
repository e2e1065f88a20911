#pragma once
// Pictures for the benchmarks: camera-like JPEGs made on the spot, each with a broad band
// of one solid colour across its middle, so that a probe looking at the centre of the
// screen can tell which picture is shown.

#include <QColor>
#include <QImage>
#include <QSize>
#include <QString>

#include <vector>

namespace bench {

// Smooth colour gradients with a fine grain, so that the JPEG decodes about as a camera
// photo does (a flat picture decodes much faster than a real one); the rows from 35 % to
// 65 % of the height are `band`, solid.
[[nodiscard]] QImage photoLike(QSize size, QColor band, quint32 seed);

// Writes a baseline (or progressive) JPEG at the given quality. Returns whether it was written.
bool saveJpeg(const QImage& image, const QString& path, int quality = 90, bool progressive = false);

// Band colours that cannot be mistaken for one another, for white or black, or for the
// show's background (which never has blue): every one has a strong blue, and any two
// differ by at least 80 in some channel.
[[nodiscard]] const std::vector<QColor>& bandColours();

// The sizes used: 24 MP (6000 x 4000), 2 MP (1600 x 1200) and a 100 MP panorama.
inline constexpr QSize Size24MP{6000, 4000};
inline constexpr QSize Size2MP{1600, 1200};
inline constexpr QSize Size100MP{20000, 5000};

} // namespace bench
