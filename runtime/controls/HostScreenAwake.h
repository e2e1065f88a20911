#pragma once
// The desktop's way of keeping the screen awake during the show.

#include "ScreenAwake.h"

#include <memory>

namespace rt {

// The session's screen saver service (org.freedesktop.ScreenSaver on the session bus)
// and, under X11, the X server's own screen saver, which is suspended. A part that is
// missing (no session bus, no such service, no X server) is passed over in silence.
[[nodiscard]] std::unique_ptr<ScreenAwake> makeHostScreenAwake();

} // namespace rt
