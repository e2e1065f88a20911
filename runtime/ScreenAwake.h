#pragma once
// Keeps the screen awake while the show has it: the desktop's screen saver and idle
// blanking are held off from hold() until release().

#include <memory>

namespace rt {

class ScreenAwake {
public:
    virtual ~ScreenAwake() = default;
    // Held again while held, or released while not held: nothing happens.
    virtual void hold() = 0;
    virtual void release() = 0;
};

// The session's screen saver service (org.freedesktop.ScreenSaver on the session bus)
// and, under X11, the X server's own screen saver, which is suspended. A part that is
// missing (no session bus, no such service, no X server) is passed over in silence.
[[nodiscard]] std::unique_ptr<ScreenAwake> makeHostScreenAwake();

} // namespace rt
