#pragma once
// The pictures the program carries, read from the icon and bitmap files built into the
// program (assets/pictures, drawn by assets/draw). Each call returns the same shared
// picture.

#include <QPixmap>
#include <QPoint>

namespace assets {

// The program icon: 32 x 32, 16 colours, a framed landscape.
[[nodiscard]] QPixmap programIcon();
// The advertising banner bitmaps A, B and C (index 0, 1, 2): 100 x 47, 24-bit colour.
[[nodiscard]] QPixmap banner(int index);
// The Trevisolo icon beside the disclaimer: a die, 32 x 32 (the file has a 16 x 16 one too).
[[nodiscard]] QPixmap trevisoloIcon();
// Pointer icons, 32 x 32, 16 colours: a pencil slanting from top left to its tip at bottom
// right, and a hand pointing upwards with the index finger. Their hot spots are the tips.
[[nodiscard]] QPixmap pencilIcon();
[[nodiscard]] QPoint pencilHotSpot();
[[nodiscard]] QPixmap handIcon();
[[nodiscard]] QPoint handHotSpot();

// The resource path of a picture file ("quadrello.ico", "banner-a.bmp", ...).
[[nodiscard]] QString pictureFile(const QString& name);

} // namespace assets
