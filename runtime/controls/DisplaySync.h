#pragma once
// Waiting for the display server: what a window was given reaches the screen only once the
// server has carried out the requests that carry it.

namespace rt {

// Returns once the display server has carried out every request sent to it so far: a round
// trip to the X server when the program runs under X11 (XWayland included); elsewhere
// there is nothing to wait for.
void waitForDisplay();

} // namespace rt
