#pragma once
// Pictures held by the X server: copied there through memory shared by file descriptor
// (memfd, MIT-SHM 1.2) when they are decoded, shown by windows of the program's own whose
// background they are.

#include "ScreenPictures.h"

#include <memory>

namespace rt {

// The X server the application shows its windows on, over a connection of its own (used
// from the decode worker and the GUI thread alike). Null, and the program paints its
// pictures for the whole run, when the application is not on X, QT_X11_NO_MITSHM is set,
// the display is reached over the network, the server cannot take shared memory by
// descriptor (a one-pixel picture handed over and read back at connection), or not in
// the layout of the program's pictures (32-bit pixels, 24 bits deep, red, green and blue
// bytes in order). No System V segment is ever made.
[[nodiscard]] std::unique_ptr<ScreenPictures> connectServerPictures();

} // namespace rt
