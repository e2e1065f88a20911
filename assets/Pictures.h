#pragma once
// The pictures the program carries: drawn here, in code, so no binary asset is needed.
// Each call paints a fresh picture of the documented size.

#include <QPixmap>

namespace assets {

// The program icon: 32 x 32, a framed landscape picture in the 16 classic colours.
[[nodiscard]] QPixmap programIcon();
// The advertising banner bitmaps A, B and C (index 0, 1, 2): 100 x 47, 24-bit colour.
[[nodiscard]] QPixmap banner(int index);
// The icon beside the disclaimer: 32 x 32, a game die.
[[nodiscard]] QPixmap trevisoloIcon();
// Pointer icons, 32 x 32: a pencil slanting from top left to its tip at bottom right,
// and a hand pointing upwards with the index finger. Their hot spots are the tips.
[[nodiscard]] QPixmap pencilIcon();
[[nodiscard]] QPoint pencilHotSpot();
[[nodiscard]] QPixmap handIcon();
[[nodiscard]] QPoint handHotSpot();

} // namespace assets
