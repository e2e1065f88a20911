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

} // namespace rt
