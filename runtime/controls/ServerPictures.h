#pragma once
// Pictures held by the X server: copied there through shared memory when they are
// decoded, shown by windows of the program's own whose background they are.

#include "ScreenPictures.h"

#include <memory>

namespace rt {

// The X server the application shows its windows on, over a connection of its own (used
// from the decode worker and the GUI thread alike). Null when the application is not on
// X, or the server cannot take pictures through shared memory in the layout of the
// program's pictures (32-bit pixels, 24 bits deep, red, green and blue bytes in order).
[[nodiscard]] std::unique_ptr<ScreenPictures> connectServerPictures();

} // namespace rt
