#pragma once
// The keyboard focus handed from one window to the next under Wayland. A compositor gives
// the focus to a window that asks for it only with an activation token, one it issued for
// a window that had the focus and the user's last input (xdg-activation). The dialog's
// token, asked for while its OK is being pressed, lets the show that follows take the
// focus on any compositor, strict ones included.

#include <QString>

#include <optional>

class QWindow;

namespace rt {

// A token for `window` (shown, under Wayland) and the last input event the program
// received, from the compositor; none on another platform, without the protocol, or when
// the compositor has not answered within `waitMs`.
[[nodiscard]] std::optional<QString> activationTokenFor(QWindow& window, int waitMs = 1000);

// The token kept for the next window of the program that asks for the focus: Qt's Wayland
// platform presents the one it finds in XDG_ACTIVATION_TOKEN (where a launcher leaves its
// own) and forgets it.
void handActivationOn(const QString& token);

} // namespace rt
